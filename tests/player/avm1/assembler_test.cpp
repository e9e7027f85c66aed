// The test assembler against the action record layout: code, 16-bit little-endian length, payload.
#include "avm1/assembler.h"

#include <gtest/gtest.h>

namespace quillon::player::avm1::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(AssemblerTest, ShortActionsAreOneByteAndTheBlockEnds) {
  EXPECT_EQ(Asm().Op(kAdd2).Trace().NextFrame().Extends().Bytes(), (Bytes{0x47, 0x26, 0x04, 0x69, 0x00}));
  EXPECT_EQ(Asm().Stop().Code(), (Bytes{0x07}));
  EXPECT_THROW(Asm().Op(kPush), std::logic_error);
}

TEST(AssemblerTest, PushEncodesEveryValueType) {
  const Bytes got = Asm().Push("ab", 1.5f, nullptr, Undefined{}, Reg{3}, true, 0.1, -2, Const{7}, Const{300}, Const16{2}).Code();
  const Bytes want{0x96, 37, 0,
                   0, 'a', 'b', 0,                                 // string
                   1, 0x00, 0x00, 0xC0, 0x3F,                      // float 1.5
                   2,                                              // null
                   3,                                              // undefined
                   4, 3,                                           // register 3
                   5, 1,                                           // true
                   6, 0x99, 0x99, 0xB9, 0x3F, 0x9A, 0x99, 0x99, 0x99,  // 0.1, high word first
                   7, 0xFE, 0xFF, 0xFF, 0xFF,                      // integer -2
                   8, 7,                                           // constant 7
                   9, 0x2C, 0x01,                                  // constant 300
                   9, 2, 0};                                       // constant 2, 16-bit form
  EXPECT_EQ(got, want);
}

TEST(AssemblerTest, ConstantPoolAndStringOperands) {
  EXPECT_EQ(Asm().ConstantPool({"a", "bc"}).Code(), (Bytes{0x88, 7, 0, 2, 0, 'a', 0, 'b', 'c', 0}));
  EXPECT_EQ(Asm().GetURL("u", "_top").Code(), (Bytes{0x83, 7, 0, 'u', 0, '_', 't', 'o', 'p', 0}));
  EXPECT_EQ(Asm().SetTarget("mc").GotoLabel("x").Code(),
            (Bytes{0x8B, 3, 0, 'm', 'c', 0, 0x8C, 2, 0, 'x', 0}));
}

TEST(AssemblerTest, SmallPayloadActions) {
  EXPECT_EQ(Asm().GotoFrame(300).Code(), (Bytes{0x81, 2, 0, 0x2C, 0x01}));
  EXPECT_EQ(Asm().GotoFrame2(false).Code(), (Bytes{0x9F, 1, 0, 0}));
  EXPECT_EQ(Asm().GotoFrame2(true, 5).Code(), (Bytes{0x9F, 3, 0, 3, 5, 0}));
  EXPECT_EQ(Asm().GetURL2(kSendPost, true, false).GetURL2(kSendGet, false, true).Code(),
            (Bytes{0x9A, 1, 0, 0x82, 0x9A, 1, 0, 0x41}));
  EXPECT_EQ(Asm().StoreRegister(2).StrictMode(true).Call().Code(),
            (Bytes{0x87, 1, 0, 2, 0x89, 1, 0, 1, 0x9E, 0, 0}));
}

TEST(AssemblerTest, BranchesCountFromTheEndOfTheBranch) {
  Asm a;
  a.Label("top").Push(true).If("end").Jump("top").Label("end").Stop();
  EXPECT_EQ(a.Code(), (Bytes{0x96, 2, 0, 5, 1,   // 0: push true
                             0x9D, 2, 0, 5, 0,   // 5: if, ends at 10, +5 to 15
                             0x99, 2, 0, 0xF1, 0xFF,  // 10: jump, ends at 15, -15 to 0
                             0x07}));
  EXPECT_THROW(Asm().Jump("nowhere").Code(), std::logic_error);
  EXPECT_THROW(Asm().Label("x").Label("x"), std::logic_error);
}

TEST(AssemblerTest, WaitSkipCountsActionsUpToTheLabel) {
  Asm a;
  a.WaitForFrame(5, "ready").Play().Push("a", "b").Label("ready").Stop();
  const Bytes code = a.Code();
  ASSERT_GE(code.size(), 6u);
  EXPECT_EQ(Bytes(code.begin(), code.begin() + 6), (Bytes{0x8A, 3, 0, 5, 0, 2}));
  EXPECT_EQ(Asm().WaitForFrame2(std::uint8_t{4}).Code(), (Bytes{0x8D, 1, 0, 4}));
}

TEST(AssemblerTest, DefineFunctionSizesItsBody) {
  Asm a;
  a.DefineFunction("f", {"a"}, [](Asm& body) { body.Push("x").Trace(); });
  EXPECT_EQ(a.Code(), (Bytes{0x9B, 8, 0, 'f', 0, 1, 0, 'a', 0, 7, 0,  // body of 7 bytes follows
                             0x96, 3, 0, 0, 'x', 0, 0x26}));
}

TEST(AssemblerTest, DefineFunction2LaysOutRegistersAndFlags) {
  Asm a;
  a.DefineFunction2("g", 4, kPreloadThis | kSuppressArguments | kPreloadGlobal, {{"x", 2}, {"y", 0}},
                    [](Asm& body) { body.Return(); });
  EXPECT_EQ(a.Code(), (Bytes{0x8E, 15, 0, 'g', 0, 2, 0,  // name, two parameters
                             4, 0x09, 0x01,              // 4 registers; this, no arguments; _global
                             2, 'x', 0, 0, 'y', 0,       // x in register 2, y by name
                             1, 0, 0x3E}));
  // The short form takes the register count from the highest parameter register.
  const Bytes shortForm = Asm().DefineFunction2("", {{"a", 3}}, {}).Code();
  ASSERT_GE(shortForm.size(), 9u);
  EXPECT_EQ(shortForm[6], 4);
  EXPECT_EQ(shortForm[7], 0);
  EXPECT_EQ(shortForm[8], 0);
}

TEST(AssemblerTest, TrySizesEachBlock) {
  Asm named;
  named.Try([](Asm& t) { t.Push("x").Throw(); }, "e", [](Asm& c) { c.Pop(); }, [](Asm& f) { f.Stop().Play(); });
  EXPECT_EQ(named.Code(), (Bytes{0x8F, 9, 0, 0x03, 7, 0, 1, 0, 2, 0, 'e', 0,  // catch and finally
                                 0x96, 3, 0, 0, 'x', 0, 0x2A, 0x17, 0x07, 0x06}));
  Asm inRegister;
  inRegister.Try([](Asm& t) { t.Stop(); }, Reg{1}, [](Asm& c) { c.Play(); });
  EXPECT_EQ(inRegister.Code(), (Bytes{0x8F, 8, 0, 0x05, 1, 0, 1, 0, 0, 0, 1, 0x07, 0x06}));
  Asm finallyOnly;
  finallyOnly.TryFinally([](Asm& t) { t.Stop(); }, [](Asm& f) { f.Play(); });
  EXPECT_EQ(finallyOnly.Code(), (Bytes{0x8F, 8, 0, 0x02, 1, 0, 0, 0, 1, 0, 0, 0x07, 0x06}));
}

TEST(AssemblerTest, WithAndBranchesOutOfNestedBodies) {
  Asm a;
  a.With([](Asm& w) { w.Jump("out"); }).Label("out");
  EXPECT_EQ(a.Code(), (Bytes{0x94, 2, 0, 5, 0, 0x99, 2, 0, 0, 0}));
}

}  // namespace
}  // namespace quillon::player::avm1::testing
