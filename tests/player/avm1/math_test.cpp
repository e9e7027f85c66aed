// Math: the constants, argument conversion as the reference player does it (two arguments
// converted whatever the function, missing ones NaN), min and max, and the C library's pow.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Object* MathObject(Rig& rig) { return rig.vm.global()->Get("Math").object; }

double Apply(Rig& rig, const char* name, std::vector<Value> args = {}) {
  const Value r = rig.vm.CallMethod(MathObject(rig), name, args);
  EXPECT_TRUE(r.IsNumber()) << name;
  return r.number;
}

// An object whose valueOf says its number and notes that it was asked.
Value Noisy(Rig& rig, double n, std::vector<std::string>& log) {
  Object* o = rig.vm.NewObject();
  o->DefineNative("valueOf", [n, &log](Call&) {
    log.push_back(std::to_string(static_cast<int>(n)));
    return Value::Num(n);
  });
  return Value::Obj(o);
}

TEST(MathTest, ConstantsAreFixedAndHidden) {
  Rig rig;
  Object* math = MathObject(rig);
  ASSERT_NE(math, nullptr);
  EXPECT_EQ(math->Proto(), rig.vm.objectProto);
  EXPECT_EQ(math->Get("PI").number, std::numbers::pi);
  EXPECT_EQ(math->Get("E").number, std::numbers::e);
  EXPECT_DOUBLE_EQ(math->Get("SQRT1_2").number, std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(math->Get("LOG2E").number, 1 / std::log(2.0));
  EXPECT_DOUBLE_EQ(math->Get("LN10").number, std::log(10.0));
  math->Set("PI", Value::Num(3));
  EXPECT_EQ(math->Get("PI").number, std::numbers::pi);
  EXPECT_FALSE(math->Delete("PI"));
  EXPECT_TRUE(math->EnumerableKeys().empty());
}

TEST(MathTest, MissingArgumentsAreNaNButUndefinedFollowsTheVersion) {
  Rig v6(6), v7(7);
  EXPECT_TRUE(std::isnan(Apply(v6, "abs")));
  EXPECT_TRUE(std::isnan(Apply(v6, "atan2", {Value::Num(1)})));
  EXPECT_EQ(Apply(v6, "cos", {Value::Undefined()}), 1);
  EXPECT_EQ(Apply(v6, "acos", {Value::Null()}), std::numbers::pi / 2);
  EXPECT_EQ(Apply(v6, "atan2", {Value::Num(2), Value::Null()}), std::numbers::pi / 2);
  EXPECT_EQ(Apply(v6, "max", {Value::Undefined(), Value::Num(2)}), 2);
  EXPECT_TRUE(std::isnan(Apply(v7, "cos", {Value::Undefined()})));
  EXPECT_TRUE(std::isnan(Apply(v7, "abs", {Value::Null()})));
  EXPECT_TRUE(std::isnan(Apply(v7, "max", {Value::Undefined(), Value::Num(2)})));
}

TEST(MathTest, EveryFunctionConvertsItsFirstTwoArgumentsInOrder) {
  Rig rig;
  for (const char* name : {"abs", "sin", "round", "atan2", "min", "random"}) {
    std::vector<std::string> log;
    const std::vector<Value> args = {Noisy(rig, 3, log), Noisy(rig, 2, log), Noisy(rig, 1, log)};
    rig.vm.CallMethod(MathObject(rig), name, args);
    EXPECT_EQ(log, (std::vector<std::string>{"3", "2"})) << name;
  }
  std::vector<std::string> log;
  EXPECT_EQ(Apply(rig, "abs", {Noisy(rig, -2, log), Noisy(rig, 1, log)}), 2);
  EXPECT_EQ(Apply(rig, "pow", {Noisy(rig, 3, log), Noisy(rig, 2, log), Noisy(rig, 1, log)}), 9);
  EXPECT_TRUE(std::isnan(Apply(rig, "min", {Noisy(rig, 1, log)})));
  EXPECT_EQ(log.size(), 5u);
}

TEST(MathTest, AThrowingConversionStopsTheRest) {
  Rig rig;
  Object* a = rig.vm.NewObject();
  a->DefineNative("valueOf", [](Call&) -> Value { throw ScriptThrow{Value::Str("A")}; });
  std::vector<std::string> log;
  const std::vector<Value> args = {Value::Obj(a), Noisy(rig, 2, log)};
  try {
    rig.vm.CallMethod(MathObject(rig), "min", args);
    ADD_FAILURE() << "min swallowed the throw";
  } catch (const ScriptThrow& t) {
    EXPECT_EQ(t.value.string, "A");
  }
  EXPECT_TRUE(log.empty());
}

TEST(MathTest, MinAndMaxLookAtTwoNumbers) {
  Rig rig;
  EXPECT_EQ(Apply(rig, "min"), INFINITY);
  EXPECT_EQ(Apply(rig, "max"), -INFINITY);
  EXPECT_TRUE(std::isnan(Apply(rig, "max", {Value::Num(1)})));
  EXPECT_EQ(Apply(rig, "min", {Value::Num(3), Value::Num(2), Value::Num(1)}), 2);
  EXPECT_EQ(Apply(rig, "max", {Value::Num(3), Value::Num(2), Value::Num(9)}), 3);
  EXPECT_EQ(Apply(rig, "min", {Value::Str("10"), Value::Str("2")}), 2);
  EXPECT_EQ(Apply(rig, "max", {Value::Str("10"), Value::Str("2")}), 10);
  EXPECT_TRUE(std::isnan(Apply(rig, "min", {Value::Num(1), Value::Str("a")})));
  EXPECT_TRUE(std::isnan(Apply(rig, "max", {Value::Num(NAN), Value::Num(1)})));
  EXPECT_TRUE(std::signbit(Apply(rig, "min", {Value::Num(0), Value::Num(-0.0)})));
  EXPECT_FALSE(std::signbit(Apply(rig, "max", {Value::Num(-0.0), Value::Num(0)})));
}

TEST(MathTest, RoundingAndPowers) {
  Rig rig;
  EXPECT_EQ(Apply(rig, "round", {Value::Num(12.5)}), 13);
  EXPECT_EQ(Apply(rig, "round", {Value::Num(-12.5)}), -12);
  EXPECT_EQ(Apply(rig, "round", {Value::Num(-23.7)}), -24);
  EXPECT_EQ(Apply(rig, "floor", {Value::Num(-12.5)}), -13);
  EXPECT_EQ(Apply(rig, "ceil", {Value::Num(-12.5)}), -12);
  EXPECT_EQ(Apply(rig, "round", {Value::Num(-INFINITY)}), -INFINITY);
  // One to any power is one, even a missing power.
  EXPECT_EQ(Apply(rig, "pow", {Value::Bool(true)}), 1);
  EXPECT_TRUE(std::isnan(Apply(rig, "pow", {Value::Num(2)})));
  EXPECT_EQ(Apply(rig, "pow", {Value::Num(2), Value::Num(10)}), 1024);
  EXPECT_EQ(Apply(rig, "log", {Value::Bool(false)}), -INFINITY);
  EXPECT_TRUE(std::isnan(Apply(rig, "sqrt", {Value::Num(-1)})));
  EXPECT_EQ(Apply(rig, "exp", {Value::Num(-INFINITY)}), 0);
  EXPECT_DOUBLE_EQ(Apply(rig, "atan2", {Value::Num(1), Value::Num(1)}), std::numbers::pi / 4);
}

TEST(MathTest, RandomIsBelowOneAndDrawsFromTheMachine) {
  Rig a, b;
  a.vm.random.seed(42);
  b.vm.random.seed(42);
  for (int i = 0; i < 100; ++i) {
    const double x = Apply(a, "random");
    EXPECT_GE(x, 0);
    EXPECT_LT(x, 1);
    EXPECT_EQ(x, Apply(b, "random"));
  }
  b.vm.random.seed(7);
  EXPECT_NE(Apply(a, "random"), Apply(b, "random"));
}

}  // namespace
}  // namespace quillon::player::avm1::testing
