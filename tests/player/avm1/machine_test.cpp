// The script machine's semantics, through assembled action blocks run on a root timeline:
// conversions and comparisons per SWF version, closures, DefineFunction2 registers,
// exceptions, for..in order and property flags, getters, setters, watchers, __resolve, with.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/assembler.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

using Lines = std::vector<std::string>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Arguments go on the stack last one first, then their count.
std::vector<PushValue> CallOperands(const std::vector<PushValue>& args) {
  std::vector<PushValue> v(args.rbegin(), args.rend());
  v.emplace_back(static_cast<std::int32_t>(args.size()));
  return v;
}

// fn(args...), the result left on the stack.
Asm& CallNamed(Asm& a, const std::string& fn, const std::vector<PushValue>& args = {}) {
  std::vector<PushValue> v = CallOperands(args);
  v.emplace_back(fn);
  return a.Push(v).CallFunction();
}

// obj.method(args...) for a variable obj, the result left on the stack.
Asm& CallOn(Asm& a, const std::string& obj, const std::string& method, const std::vector<PushValue>& args = {}) {
  std::vector<PushValue> v = CallOperands(args);
  v.emplace_back(obj);
  return a.Push(v).GetVariable().Push(method).CallMethod();
}

Asm& SetVar(Asm& a, const std::string& name, const PushValue& value) { return a.Push(name, value).SetVariable(); }
Asm& CopyVar(Asm& a, const std::string& to, const std::string& from) {
  return a.Push(to, from).GetVariable().SetVariable();
}
Asm& TraceVar(Asm& a, const std::string& name) { return a.Push(name).GetVariable().Trace(); }
Asm& Member(Asm& a, const std::string& obj, const std::string& name) {
  return a.Push(obj).GetVariable().Push(name).GetMember();
}
Asm& TraceMember(Asm& a, const std::string& obj, const std::string& name) { return Member(a, obj, name).Trace(); }
Asm& SetMember(Asm& a, const std::string& obj, const std::string& name, const PushValue& value) {
  return a.Push(obj).GetVariable().Push(name, value).SetMember();
}
// obj[name] = the value of variable `from`.
Asm& SetMemberFromVar(Asm& a, const std::string& obj, const std::string& name, const std::string& from) {
  return a.Push(obj).GetVariable().Push(name, from).GetVariable().SetMember();
}
Asm& NewEmpty(Asm& a, const std::string& name) { return a.Push(name, 0).InitObject().SetVariable(); }
Asm& Say(Asm& a, const std::string& text) { return a.Push(text).Trace(); }

// ASSetPropFlags(obj, names, set, 0).
Asm& PropFlags(Asm& a, const std::string& obj, const PushValue& names, int set) {
  a.Push(0, static_cast<std::int32_t>(set), names).Push(obj).GetVariable();
  return a.Push(4, "ASSetPropFlags").CallFunction().Pop();
}

// for (k in obj) trace(k), with labels made from `tag`.
Asm& TraceKeys(Asm& a, const std::string& obj, const std::string& tag) {
  a.Push(obj).GetVariable().Enumerate2();
  a.Label(tag + "-next").StoreRegister(0).Push(nullptr).Equals2().If(tag + "-done");
  a.Push(Reg{0}).Trace().Jump(tag + "-next");
  return a.Label(tag + "-done");
}

// obj.addProperty(name, getterVar, setterVar or null), the result left on the stack.
Asm& AddProperty(Asm& a, const std::string& obj, const std::string& name, const std::string& getter,
                 const std::string& setter) {
  if (setter.empty()) a.Push(nullptr);
  else a.Push(setter).GetVariable();
  a.Push(getter).GetVariable();
  return a.Push(name, 3, obj).GetVariable().Push("addProperty").CallMethod();
}

// name = function(params) { body }
Asm& DefineVar(Asm& a, const std::string& name, const std::vector<std::string>& params, const Asm::Block& body) {
  a.Push(name);
  a.DefineFunction("", params, body);
  return a.SetVariable();
}

// name = {valueOf: function() { trace(tag + ".valueOf"); return result; }}
void DefineValueOf(Asm& a, const std::string& name, const std::string& tag, const PushValue& result) {
  a.Push(name, "valueOf");
  a.DefineFunction("", {}, [&](Asm& f) { f.Push(tag + ".valueOf").Trace().Push(result).Return(); });
  a.Push(1).InitObject().SetVariable();
}

Lines RunLines(ClipRig& rig, const Asm& a) {
  rig.lines.clear();
  rig.Run(a.Bytes());
  return rig.lines;
}

// ---- conversions and comparisons ----

TEST(MachineConversionTest, UndefinedInAStringIsEmptyBeforeSeven) {
  for (const int version : {6, 7}) {
    ClipRig rig(version);
    Asm a;
    a.Push("a", Undefined{}).Add2().Trace();
    a.Push("b", "nothing").GetVariable().StringAdd().Trace();
    a.Push(Undefined{}).ToString().Trace();
    a.Push(Undefined{}).Trace();  // trace itself always names it
    const bool seven = version >= 7;
    EXPECT_EQ(RunLines(rig, a), (Lines{seven ? "aundefined" : "a", seven ? "bundefined" : "b", seven ? "undefined" : "",
                                       "undefined"}))
        << "SWF " << version;
    EXPECT_EQ(rig.vm.ToString(Value::Undefined()), seven ? "undefined" : "") << "SWF " << version;
  }
}

TEST(MachineConversionTest, UndefinedIsZeroBeforeSevenAndNaNFrom) {
  for (const int version : {6, 7}) {
    ClipRig rig(version);
    Asm a;
    a.Push(Undefined{}, 1).Add2().Trace();
    a.Push("nothing").GetVariable().Push(1).Add().Trace();
    a.Push(Undefined{}).ToNumber().Trace();
    a.Push(Undefined{}, 2).Multiply().Trace();
    const bool seven = version >= 7;
    EXPECT_EQ(RunLines(rig, a), seven ? (Lines{"NaN", "NaN", "NaN", "NaN"}) : (Lines{"1", "1", "0", "0"}))
        << "SWF " << version;
  }
  ClipRig eight(8);
  Asm a;
  a.Push(nullptr, 1).Add2().Trace();
  a.Push(nullptr, Undefined{}).Add2().Trace();
  EXPECT_EQ(RunLines(eight, a), (Lines{"NaN", "NaN"}));
}

TEST(MachineConversionTest, StringsToBooleanAreNumericBeforeSevenAndNonEmptyFrom) {
  for (const int version : {6, 7}) {
    ClipRig rig(version);
    Asm a;
    for (const char* s : {"abc", "0", "2", "", "0x0"}) a.Push(s).Not().Trace();
    a.Push("yes").If("taken").Push("not taken").Trace().Jump("end").Label("taken").Push("taken").Trace().Label("end");
    const Lines want = version >= 7 ? Lines{"false", "false", "false", "true", "false", "taken"}
                                    : Lines{"true", "true", "false", "true", "true", "not taken"};
    EXPECT_EQ(RunLines(rig, a), want) << "SWF " << version;
    EXPECT_EQ(rig.vm.ToBool(Value::Str("false")), version >= 7) << "SWF " << version;
    EXPECT_TRUE(rig.vm.ToBool(Value::Str("3")));
  }
}

TEST(MachineConversionTest, NamesIgnoreCaseBeforeSeven) {
  for (const int version : {6, 7}) {
    ClipRig rig(version);
    Asm a;
    SetVar(a, "Score", 5);
    TraceVar(a, "score");
    NewEmpty(a, "o");
    SetMember(a, "o", "Name", "x");
    TraceMember(a, "o", "NAME");
    a.DefineFunction("Greet", {}, [](Asm& f) { f.Push("hi").Return(); });
    CallNamed(a, "greet").Trace();
    const Lines want = version >= 7 ? Lines{"undefined", "undefined", "undefined"} : Lines{"5", "x", "hi"};
    EXPECT_EQ(RunLines(rig, a), want) << "SWF " << version;
  }
}

TEST(MachineConversionTest, LooseEqualityAcrossTypes) {
  ClipRig rig(7);
  Machine& vm = rig.vm;
  const Value t = Value::Bool(true), f = Value::Bool(false), u = Value::Undefined(), n = Value::Null();
  const Value clip = Value::Obj(rig.root), global = Value::Obj(vm.global());
  auto S = [](const char* s) { return Value::Str(s); };
  auto N = [](double d) { return Value::Num(d); };
  struct Case {
    Value a, b;
    bool equal;
  };
  const Case cases[] = {
      {t, N(1), true},           {t, S("1"), true},        {t, S("true"), false},    {f, S("0"), true},
      {f, S("0.000"), true},     {f, S("False"), false},   {t, N(2), false},         {S("1"), N(1), true},
      {N(0), S("0.000"), true},  {S("0"), S("0.000"), false}, {S("True"), t, false}, {u, n, true},
      {u, N(0), false},          {n, N(0), false},         {n, f, false},            {u, N(kNaN), false},
      {N(kNaN), N(kNaN), true},  {N(kNaN), N(kInf), false}, {N(kInf), N(kInf), true}, {N(-kInf), N(kInf), false},
      {global, u, true},         {global, n, true},        {clip, clip, true},       {clip, global, false},
      {clip, u, false},          {clip, N(0), false},      {global, N(0), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vm.LooseEquals(c.a, c.b), c.equal) << vm.ToString(c.a) << " == " << vm.ToString(c.b);
    EXPECT_EQ(vm.LooseEquals(c.b, c.a), c.equal) << vm.ToString(c.b) << " == " << vm.ToString(c.a);
  }

  // Through the action: an object against a primitive asks valueOf, two objects are the same
  // object or not.
  Asm a;
  DefineValueOf(a, "x", "one", 1);
  DefineValueOf(a, "y", "two", "1");
  a.Push("x").GetVariable().Push(true).Equals2().Trace();
  a.Push("1").Push("x").GetVariable().Equals2().Trace();
  a.Push("x").GetVariable().Push("x").GetVariable().Equals2().Trace();
  a.Push("x").GetVariable().Push("y").GetVariable().Equals2().Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"one.valueOf", "true", "one.valueOf", "true", "true", "false"}));
}

TEST(MachineConversionTest, TheNumericEqualsActionComparesNumbers) {
  ClipRig rig(8);
  Asm a;
  a.Push("100", "100ABC").Equals().Trace();
  a.Push("0x10", "16").Equals().Trace();
  a.Push("010", "8").Equals().Trace();
  a.Push("true", "0x1").Equals().Trace();
  a.Push(Undefined{}, 0).Equals().Trace();
  a.Push(nullptr, 0).Equals().Trace();
  a.Push("Infinity").Push(kInf).Equals().Trace();
  a.Push(kNaN, kNaN).Equals().Trace();
  a.Push(3, "3.0").Equals().Trace();
  // Objects convert too, the right one first.
  DefineValueOf(a, "x", "one", 1);
  DefineValueOf(a, "y", "two", "1");
  a.Push("x").GetVariable().Push("y").GetVariable().Equals().Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"false", "true", "true", "false", "false", "false", "false", "false", "true",
                                     "two.valueOf", "one.valueOf", "true"}));
}

TEST(MachineConversionTest, StrictEqualityNeedsTheSameType) {
  ClipRig rig(8);
  Asm a;
  a.Push(2, 2).StrictEquals().Trace();
  a.Push(true, true).StrictEquals().Trace();
  a.Push("abc", "abc").StrictEquals().Trace();
  a.Push(Undefined{}, Undefined{}).StrictEquals().Trace();
  a.Push(nullptr, nullptr).StrictEquals().Trace();
  a.Push(kNaN, kNaN).StrictEquals().Trace();  // unlike ECMAScript
  a.Push(1, "1").StrictEquals().Trace();
  a.Push(nullptr, Undefined{}).StrictEquals().Trace();
  a.Push(1, true).StrictEquals().Trace();
  a.Push(0).InitObject().Push(0).InitObject().StrictEquals().Trace();
  NewEmpty(a, "o");
  a.Push("o").GetVariable().Push("o").GetVariable().StrictEquals().Trace();
  EXPECT_EQ(RunLines(rig, a),
            (Lines{"true", "true", "true", "true", "true", "true", "false", "false", "false", "false", "true"}));
}

TEST(MachineConversionTest, TypeOfNamesEveryKind) {
  ClipRig rig(8);
  Asm a;
  a.Push(1.5).TypeOf().Trace();
  a.Push(true).TypeOf().Trace();
  a.Push(nullptr).TypeOf().Trace();
  a.Push(Undefined{}).TypeOf().Trace();
  a.Push("s").TypeOf().Trace();
  a.Push(0).InitObject().TypeOf().Trace();
  a.Push("_root").GetVariable().TypeOf().Trace();
  a.DefineFunction("", {}, {});
  a.TypeOf().Trace();
  a.Push("x", 1, "String").NewObject().TypeOf().Trace();
  EXPECT_EQ(RunLines(rig, a),
            (Lines{"number", "boolean", "null", "undefined", "string", "object", "movieclip", "function", "object"}));
}

// name = {valueOf: function() { trace("name.valueOf"); return <result>; },
//         toString: function() { trace("name.toString"); }}
void Valued(Asm& a, const std::string& name, const Asm::Block& result) {
  a.Push(name, "valueOf");
  a.DefineFunction("", {}, [&](Asm& f) {
    f.Push(name + ".valueOf").Trace();
    result(f);
    f.Return();
  });
  a.Push("toString");
  a.DefineFunction("", {}, [&](Asm& f) { f.Push(name + ".toString").Trace(); });
  a.Push(2).InitObject().SetVariable();
}

Asm& TraceSum(Asm& a, const std::string& x, const std::string& y) {
  return a.Push(x).GetVariable().Push(y).GetVariable().Add2().Trace();
}

TEST(MachineConversionTest, AddAsksOnlyValueOfRightOperandFirst) {
  ClipRig rig(8);
  Asm a;
  SetVar(a, "s", "abc");
  SetVar(a, "one", 1);
  NewEmpty(a, "obj");
  CopyVar(a, "root", "_root");
  Valued(a, "v1", [](Asm& f) { f.Push(1); });
  Valued(a, "v2", [](Asm& f) { f.Push("xyz"); });
  TraceSum(a, "obj", "one");
  TraceSum(a, "obj", "s");
  TraceSum(a, "s", "obj");
  TraceSum(a, "root", "one");
  TraceSum(a, "root", "s");
  TraceSum(a, "v1", "s");
  TraceSum(a, "v1", "one");
  TraceSum(a, "v1", "v2");
  TraceSum(a, "v2", "v1");
  EXPECT_EQ(RunLines(rig, a), (Lines{"NaN", "[object Object]abc", "abc[object Object]", "NaN", "_level0abc",
                                     "v1.valueOf", "1abc", "v1.valueOf", "2", "v2.valueOf", "v1.valueOf", "1xyz",
                                     "v1.valueOf", "v2.valueOf", "xyz1"}));
}

TEST(MachineConversionTest, AddKeepsTheOperandWhenValueOfGivesAnObject) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "obj");
  Valued(a, "v2", [](Asm& f) { f.Push("xyz"); });
  Valued(a, "v3", [](Asm& f) { f.Push(0).InitObject(); });
  // The string side converts v3 itself: its toString runs, and gives nothing a string could show.
  TraceSum(a, "v3", "v2");
  // The number side asks v3's valueOf once more.
  TraceSum(a, "v3", "obj");
  EXPECT_EQ(RunLines(rig, a), (Lines{"v2.valueOf", "v3.valueOf", "v3.toString", "[type Object]xyz", "v3.valueOf",
                                     "v3.valueOf", "NaN"}));
}

TEST(MachineConversionTest, ConversionsFindMethodsThroughGettersButNotResolve) {
  ClipRig rig(8);
  Asm a;
  // valueOf and toString as getter properties: the getter runs, then what it gave.
  NewEmpty(a, "o");
  DefineVar(a, "valueGetter", {}, [](Asm& f) {
    f.Push("valueOf property").Trace();
    f.DefineFunction("", {}, [](Asm& m) { m.Push("valueOf called").Trace().Push(1).Return(); });
    f.Return();
  });
  DefineVar(a, "stringGetter", {}, [](Asm& f) {
    f.Push("toString property").Trace();
    f.DefineFunction("", {}, [](Asm& m) { m.Push("toString called").Trace().Push("[as string]").Return(); });
    f.Return();
  });
  AddProperty(a, "o", "valueOf", "valueGetter", "").Pop();
  AddProperty(a, "o", "toString", "stringGetter", "").Pop();
  SetMember(a, "o", "__proto__", nullptr);
  a.Push(0).Push("o").GetVariable().Add2().Trace();
  TraceVar(a, "o");
  // Without them a __resolve is not asked.
  NewEmpty(a, "r");
  a.Push("r").GetVariable().Push("__resolve");
  a.DefineFunction("", {"name"}, [](Asm& f) {
    f.Push("resolve ", "name").GetVariable().Add2().Trace();
    f.DefineFunction("", {}, [](Asm& m) { m.Push("resolved").Return(); });
    f.Return();
  });
  a.SetMember();
  SetMember(a, "r", "__proto__", nullptr);
  a.Push(0).Push("r").GetVariable().Add2().Trace();
  TraceVar(a, "r");
  EXPECT_EQ(RunLines(rig, a), (Lines{"valueOf property", "valueOf called", "1", "toString property", "toString called",
                                     "[as string]", "NaN", "[type Object]"}));
}

// Known gap: SWF 5 strings are kept as bytes; decoding them also needs byte-free String lengths.
TEST(MachineConversionTest, SwfFiveStringsAreLatinOne) {
  ClipRig rig(5);
  Asm a;
  a.ConstantPool({"string", "test\xC5test"});
  a.Push(Const{0}, Const{1}).SetVariable();
  TraceVar(a, "string");
  TraceMember(a, "string", "length");
  a.Push("caf\xE9").Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"test\xC3\x85test", "9", "caf\xC3\xA9"}));

  ClipRig six(6);
  Asm b;
  b.Push("caf\xC3\xA9").Trace();
  b.Push("caf\xC3\xA9").StringLength().Trace();
  EXPECT_EQ(RunLines(six, b), (Lines{"caf\xC3\xA9", "4"}));
}

// ---- functions ----

TEST(MachineFunctionTest, AReturnedFunctionKeepsTheOuterLocals) {
  ClipRig rig(8);
  Asm a;
  a.DefineFunction("makeCounter", {}, [](Asm& f) {
    f.Push("count", 0).DefineLocal();
    f.DefineFunction("", {}, [](Asm& inner) {
      inner.Push("count", "count").GetVariable().Push(1).Add2().SetVariable();
      inner.Push("count").GetVariable().Return();
    });
    f.Return();
  });
  a.DefineFunction("makeGetter", {"n"}, [](Asm& f) {
    f.DefineFunction("", {}, [](Asm& inner) { inner.Push("n").GetVariable().Return(); });
    f.Return();
  });
  a.Push("c1", 0, "makeCounter").CallFunction().SetVariable();
  a.Push("c2", 0, "makeCounter").CallFunction().SetVariable();
  a.Push("g").Push(5, 1, "makeGetter").CallFunction().SetVariable();
  CallNamed(a, "c1").Trace();
  CallNamed(a, "c1").Trace();
  CallNamed(a, "c2").Trace();
  CallNamed(a, "g").Trace();
  TraceVar(a, "count");
  TraceVar(a, "n");
  EXPECT_EQ(RunLines(rig, a), (Lines{"1", "2", "1", "5", "undefined", "undefined"}));
}

TEST(MachineFunctionTest, VarStaysLocalAndUndeclaredNamesReachTheTimeline) {
  ClipRig rig(8);
  Asm a;
  SetVar(a, "x", "timeline");
  a.DefineFunction("f", {}, [](Asm& f) {
    f.Push("local", 1).DefineLocal();
    f.Push("fresh").DefineLocal2();
    f.Push("leak", 2).SetVariable();
    f.Push("x", "changed").SetVariable();
  });
  a.DefineFunction("outer", {}, [](Asm& f) {
    f.Push("v", 1).DefineLocal();
    f.Push("inner");
    f.DefineFunction("", {}, [](Asm& inner) { inner.Push("v", 2).SetVariable(); });
    f.DefineLocal();
    CallNamed(f, "inner").Pop();
    f.Push("v").GetVariable().Return();
  });
  CallNamed(a, "f").Pop();
  TraceVar(a, "local");
  TraceVar(a, "leak");
  TraceVar(a, "x");
  CallNamed(a, "outer").Trace();
  TraceVar(a, "v");
  EXPECT_EQ(RunLines(rig, a), (Lines{"undefined", "2", "changed", "2", "undefined"}));
  EXPECT_TRUE(rig.root->HasOwn("leak"));
  EXPECT_FALSE(rig.root->HasOwn("local"));
  EXPECT_FALSE(rig.root->HasOwn("fresh"));
  EXPECT_FALSE(rig.root->HasOwn("v"));

  // At the timeline, var declares on the clip: `var a;` leaves an own undefined property.
  Asm b;
  b.Push("declared").DefineLocal2();
  SetVar(b, "kept", "k");
  b.Push("kept").DefineLocal2();
  TraceVar(b, "kept");
  EXPECT_EQ(RunLines(rig, b), (Lines{"k"}));
  EXPECT_TRUE(rig.root->HasOwn("declared"));
}

TEST(MachineFunctionTest, Function2ParametersLiveInRegisters) {
  ClipRig rig(8);
  Asm a;
  a.DefineFunction2("sub", {{"a", 1}, {"b", 2}}, [](Asm& f) { f.Push(Reg{1}, Reg{2}).Subtract().Return(); });
  a.DefineFunction2("byName", {{"p", 0}}, [](Asm& f) { f.Push("p").GetVariable().Return(); });
  a.DefineFunction2("inRegister", {{"q", 1}}, [](Asm& f) { f.Push("q").GetVariable().Return(); });
  CallNamed(a, "sub", {10, 3}).Trace();
  CallNamed(a, "sub", {10}).Trace();
  CallNamed(a, "byName", {"named"}).Trace();
  CallNamed(a, "inRegister", {"hidden"}).Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"7", "NaN", "named", "undefined"}));
}

TEST(MachineFunctionTest, Function2PreloadsFillConsecutiveRegisters) {
  ClipRig rig(8);
  TimelineClip* parent = rig.vm.Make<TimelineClip>(rig.root, "a");
  TimelineClip* clip = rig.vm.Make<TimelineClip>(parent, "b");
  const std::uint16_t all = kPreloadThis | kPreloadArguments | kPreloadSuper | kPreloadRoot | kPreloadParent | kPreloadGlobal;
  Asm a;
  a.Push("o", "tag", "me", 1).InitObject().SetVariable();
  a.Push("o").GetVariable().Push("m");
  a.DefineFunction2("", 7, all, {}, [](Asm& f) {
    f.Push(Reg{1}, "tag").GetMember().Trace();
    f.Push(Reg{2}, "length").GetMember().Trace();
    f.Push(Reg{2}, "0").GetMember().Trace();
    f.Push(Reg{4}).Trace();
    f.Push(Reg{5}).Trace();
    f.Push(Reg{6}).Push("_global").GetVariable().StrictEquals().Trace();
  });
  a.SetMember();
  CallOn(a, "o", "m", {"x"}).Pop();
  rig.Run(a.Bytes(), clip);
  EXPECT_EQ(rig.lines, (Lines{"me", "1", "x", "_level0", "_level0.a", "true"}));

  // Without this and arguments, _root moves down to register 1.
  Asm b;
  b.DefineFunction2("g", 3, kPreloadRoot | kPreloadGlobal, {}, [](Asm& f) {
    f.Push(Reg{1}).Trace();
    f.Push(Reg{2}).Push("_global").GetVariable().StrictEquals().Trace();
  });
  CallNamed(b, "g").Pop();
  EXPECT_EQ(RunLines(rig, b), (Lines{"_level0", "true"}));
}

TEST(MachineFunctionTest, Function2PreloadedSuperReachesTheParentClass) {
  ClipRig rig(8);
  Asm a;
  DefineVar(a, "A", {}, {});
  Member(a, "A", "prototype").Push("hi");
  a.DefineFunction("", {}, [](Asm& f) { f.Push("A.hi").Return(); });
  a.SetMember();
  DefineVar(a, "B", {}, {});
  a.Push("B").GetVariable().Push("A").GetVariable().Extends();
  Member(a, "B", "prototype").Push("hi");
  a.DefineFunction2("", 3, kPreloadThis | kPreloadSuper, {}, [](Asm& f) {
    f.Push("B>").Push(0, Reg{2}, "hi").CallMethod().Add2().Return();
  });
  a.SetMember();
  a.Push("b", 0, "B").NewObject().SetVariable();
  CallOn(a, "b", "hi").Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"B>A.hi"}));
}

TEST(MachineFunctionTest, Function2SuppressedNamesAreUndefined) {
  ClipRig rig(8);
  Asm a;
  a.Push("o", "tag", "me", 1).InitObject().SetVariable();
  a.Push("o").GetVariable().Push("plain");
  a.DefineFunction2("", 1, 0, {}, [](Asm& f) {
    f.Push("this").GetVariable().Push("tag").GetMember().Trace();
    f.Push("arguments").GetVariable().Push("length").GetMember().Trace();
  });
  a.SetMember();
  a.Push("o").GetVariable().Push("bare");
  a.DefineFunction2("", 1, kSuppressThis | kSuppressArguments | kSuppressSuper, {}, [](Asm& f) {
    f.Push("this").GetVariable().TypeOf().Trace();
    f.Push("arguments").GetVariable().TypeOf().Trace();
    f.Push("super").GetVariable().TypeOf().Trace();
  });
  a.SetMember();
  CallOn(a, "o", "plain", {5}).Pop();
  CallOn(a, "o", "bare", {5}).Pop();
  EXPECT_EQ(RunLines(rig, a), (Lines{"me", "1", "undefined", "undefined", "undefined"}));
}

TEST(MachineFunctionTest, RegistersBeyondTheCountAreTheTimelines) {
  ClipRig rig(8);
  Asm a;
  for (std::uint8_t r = 0; r < 4; ++r) a.Push(static_cast<std::int32_t>(r)).StoreRegister(r).Pop();
  // Three registers of its own, the parameter in register 2: register 3 is the timeline's.
  a.DefineFunction2("f", 3, 0, {{"a", 2}}, [](Asm& f) {
    for (std::uint8_t r = 0; r < 4; ++r) f.Push(Reg{r}).Trace();
    for (std::uint8_t r = 0; r < 4; ++r) f.Push(9).StoreRegister(r).Pop();
  });
  CallNamed(a, "f", {66}).Pop();
  for (std::uint8_t r = 0; r < 4; ++r) a.Push(Reg{r}).Trace();
  // One register of its own: what it would preload into registers 1 and 2 is dropped.
  a.DefineFunction2("g", 1, kPreloadRoot | kPreloadArguments, {}, [](Asm& f) {
    for (std::uint8_t r = 0; r < 4; ++r) f.Push(Reg{r}).Trace();
    for (std::uint8_t r = 0; r < 4; ++r) f.Push(8).StoreRegister(r).Pop();
  });
  CallNamed(a, "g").Pop();
  for (std::uint8_t r = 0; r < 4; ++r) a.Push(Reg{r}).Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"undefined", "undefined", "66", "3", "0", "1", "2", "9",  //
                                     "undefined", "1", "2", "9", "0", "8", "8", "8"}));
}

TEST(MachineFunctionTest, ScriptsOfOneFrameShareTheStack) {
  ClipRig rig(8);
  rig.vm.BeginFrame();
  Asm first;
  first.Push("from the first");
  rig.Run(first.Bytes());
  Asm second;
  second.Trace();
  rig.Run(second.Bytes());
  rig.vm.BeginFrame();
  rig.Run(first.Bytes());
  rig.vm.BeginFrame();
  rig.Run(second.Bytes());
  EXPECT_EQ(rig.lines, (Lines{"from the first", "undefined"}));
}

// ---- exceptions ----

TEST(MachineExceptionTest, AThrowInANestedCallIsCaughtWithItsValue) {
  ClipRig rig(8);
  Asm a;
  a.DefineFunction("thrower", {}, [](Asm& f) {
    f.Push("in thrower").Trace().Push("an error!").Throw();
    f.Push("thrower went on").Trace();
  });
  a.DefineFunction("middle", {}, [](Asm& f) {
    CallNamed(f, "thrower").Pop();
    f.Push("middle went on").Trace();
  });
  a.Try(
      [](Asm& t) {
        t.Push("try").Trace();
        CallNamed(t, "middle").Pop();
        t.Push("try went on").Trace();
      },
      "e", [](Asm& c) { c.Push("caught ", "e").GetVariable().Add2().Trace(); },
      [](Asm& f) { f.Push("finally").Trace(); });
  a.Push("after").Trace();
  // Into a register, and an object keeps its identity.
  NewEmpty(a, "thing");
  a.Try([](Asm& t) { t.Push("thing").GetVariable().Throw(); }, Reg{1},
        [](Asm& c) { c.Push(Reg{1}).Push("thing").GetVariable().StrictEquals().Trace(); });
  EXPECT_EQ(RunLines(rig, a), (Lines{"try", "in thrower", "caught an error!", "finally", "after", "true"}));
}

TEST(MachineExceptionTest, FinallyRunsOnEveryWayOut) {
  ClipRig rig(8);
  Asm a;
  a.TryFinally([](Asm& t) { t.Push("body").Trace(); }, [](Asm& f) { f.Push("finally").Trace(); });
  a.Push("next").Trace();
  // A throw with no catch here: finally runs, the caller catches.
  a.DefineFunction("f", {}, [](Asm& f) {
    f.TryFinally([](Asm& t) { t.Push("x").Throw(); }, [](Asm& fin) { fin.Push("f finally").Trace(); });
    f.Push("f went on").Trace();
  });
  a.Try([](Asm& t) { CallNamed(t, "f").Pop(); }, "e", [](Asm& c) { c.Push("outer ", "e").GetVariable().Add2().Trace(); });
  // A return from the try body.
  a.DefineFunction("r", {}, [](Asm& f) {
    f.TryFinally([](Asm& t) { t.Push("r body").Trace().Push("from try").Return(); },
                 [](Asm& fin) { fin.Push("r finally").Trace(); });
    f.Push("r went on").Trace().Push("late").Return();
  });
  CallNamed(a, "r").Trace();
  // A throw from the catch body.
  a.DefineFunction("g", {}, [](Asm& f) {
    f.Try([](Asm& t) { t.Push("e1").Throw(); }, "e", [](Asm& c) { c.Push("e").GetVariable().Throw(); },
          [](Asm& fin) { fin.Push("g finally").Trace(); });
  });
  a.Try([](Asm& t) { CallNamed(t, "g").Pop(); }, "e2",
        [](Asm& c) { c.Push("bubbled ", "e2").GetVariable().Add2().Trace(); });
  // A return from the catch body.
  a.DefineFunction("h", {}, [](Asm& f) {
    f.Try([](Asm& t) { t.Push("err").Throw(); }, "e", [](Asm& c) { c.Push("e").GetVariable().Return(); },
          [](Asm& fin) { fin.Push("h finally").Trace(); });
    f.Push("h went on").Trace();
  });
  CallNamed(a, "h").Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"body", "finally", "next", "f finally", "outer x", "r body", "r finally",
                                     "from try", "g finally", "bubbled e1", "h finally", "err"}));
}

TEST(MachineExceptionTest, ACatchStartsWithTheStackCutBackToTheTry) {
  ClipRig rig(8);
  Asm a;
  a.Push("not preserved");
  a.Try([](Asm& t) { t.Push("preserved").Push("error").Throw(); }, "e", [](Asm& c) { c.PushDuplicate().Trace(); });
  a.Trace();
  // Without a throw what the body pushed stays.
  a.Push("below");
  a.Try([](Asm& t) { t.Push("preserved"); }, "e", [](Asm& c) { c.PushDuplicate().Trace(); });
  a.Trace().Pop();
  // Only cut back: what the body popped is not brought back.
  a.Push(1, 2, 3);
  a.Try([](Asm& t) { t.Pop().Push("error").Throw(); }, "e", [](Asm& c) { c.PushDuplicate().Trace(); });
  a.Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"not preserved", "not preserved", "preserved", "2", "2"}));
}

TEST(MachineExceptionTest, AnUncaughtThrowIsReportedAndStopsOnlyItsBlock) {
  ClipRig rig(8);
  Asm first;
  first.Push("before").Trace().Push("Oh no!").Throw().Push("after").Trace();
  rig.Run(first.Bytes());
  Asm second;
  second.Push("next").Trace();
  rig.Run(second.Bytes());
  EXPECT_EQ(rig.lines, (Lines{"before", "Warning: Uncaught exception, Oh no!", "next"}));

  // From inside a call, through a finally.
  Asm third;
  third.DefineFunction("deep", {}, [](Asm& f) { f.Push("deep").Throw(); });
  third.TryFinally([](Asm& t) { CallNamed(t, "deep").Pop(); }, [](Asm& f) { f.Push("cleanup").Trace(); });
  third.Push("went on").Trace();
  EXPECT_EQ(RunLines(rig, third), (Lines{"cleanup", "Warning: Uncaught exception, deep"}));
  Asm fourth;
  CallNamed(fourth, "deep").Pop();
  fourth.Push("unreached").Trace();
  EXPECT_EQ(RunLines(rig, fourth), (Lines{"Warning: Uncaught exception, deep"}));
}

// ---- enumeration and property flags ----

TEST(MachineEnumerationTest, ForInListsNewestFirstInheritedBeforeOwn) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "obj");
  SetMember(a, "obj", "x", "test x");
  SetMember(a, "obj", "y", "test y");
  TraceKeys(a, "obj", "plain");
  NewEmpty(a, "proto");
  SetMember(a, "proto", "p1", 1);
  SetMember(a, "proto", "p2", 2);
  NewEmpty(a, "child");
  SetMemberFromVar(a, "child", "__proto__", "proto");
  SetMember(a, "child", "a", 1);
  SetMember(a, "child", "b", 2);
  SetMember(a, "child", "p1", "own");  // listed once
  Say(a, "--");
  TraceKeys(a, "child", "chain");
  EXPECT_EQ(RunLines(rig, a), (Lines{"y", "x", "--", "p2", "p1", "b", "a"}));
}

TEST(MachineEnumerationTest, ObjectsFromInitObjectAndNewListOnlyWhatWasSet) {
  ClipRig rig(6);
  Asm a;
  a.Push("lit", "x", 1, "y", 2, "z", 3, 3).InitObject().SetVariable();
  TraceKeys(a, "lit", "lit");
  a.Push("made", 0, "Object").NewObject().SetVariable();
  SetMember(a, "made", "x", 1);
  SetMember(a, "made", "y", 2);
  TraceKeys(a, "made", "made");
  EXPECT_EQ(RunLines(rig, a), (Lines{"x", "y", "z", "y", "x"}));
}

TEST(MachineEnumerationTest, HiddenIsSkippedReadOnlyAndUndeletableAreListed) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "o");
  SetMember(a, "o", "a", 1);
  SetMember(a, "o", "b", 2);
  SetMember(a, "o", "c", 3);
  SetMember(a, "o", "d", 4);
  PropFlags(a, "o", "b", kDontEnum);
  PropFlags(a, "o", "c", kReadOnly);
  PropFlags(a, "o", "d", kDontDelete);
  TraceKeys(a, "o", "keys");
  TraceMember(a, "o", "b");
  SetMember(a, "o", "c", 99);
  TraceMember(a, "o", "c");
  a.Push("o").GetVariable().Push("d").Delete().Trace();
  TraceMember(a, "o", "d");
  a.Push("o").GetVariable().Push("a").Delete().Trace();
  TraceMember(a, "o", "a");
  a.Push("o").GetVariable().Push("b").Delete().Trace();
  // A null list sets the flags of every property.
  SetMember(a, "o", "e", 5);
  PropFlags(a, "o", nullptr, kDontEnum);
  TraceKeys(a, "o", "none");
  Say(a, "end");
  EXPECT_EQ(RunLines(rig, a),
            (Lines{"d", "c", "a", "2", "3", "false", "4", "true", "undefined", "true", "end"}));
}

TEST(MachineEnumerationTest, VersionFlagsHideFromSomeVersions) {
  for (const int version : {5, 6, 7}) {
    ClipRig rig(version);
    Asm a;
    NewEmpty(a, "o");
    SetMember(a, "o", "p5", "five");
    SetMember(a, "o", "p6", "six");
    SetMember(a, "o", "p7", "seven");
    PropFlags(a, "o", "p5", 0x80);
    PropFlags(a, "o", "p6", 0x100);
    PropFlags(a, "o", "p7", 0x1000);
    for (const char* p : {"p5", "p6", "p7"}) Member(a, "o", p).TypeOf().Trace();
    const Lines want = version == 5   ? Lines{"undefined", "string", "undefined"}
                       : version == 6 ? Lines{"string", "undefined", "undefined"}
                                      : Lines{"string", "string", "undefined"};
    EXPECT_EQ(RunLines(rig, a), want) << "SWF " << version;
  }
}

TEST(MachineEnumerationTest, AVersionHiddenPropertyIsStillOwnedListedAndAssignable) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "o");
  SetMember(a, "o", "prop", "prop");
  PropFlags(a, "o", "prop", 0x4000);
  Member(a, "o", "prop").TypeOf().Trace();
  CallOn(a, "o", "hasOwnProperty", {"prop"}).Trace();
  TraceKeys(a, "o", "keys");
  SetMember(a, "o", "prop", "reset");
  TraceMember(a, "o", "prop");
  EXPECT_EQ(RunLines(rig, a), (Lines{"undefined", "true", "prop", "reset"}));
}

TEST(MachineEnumerationTest, AnInheritedSetterHiddenByVersionIsNotCalled) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "proto");
  NewEmpty(a, "o");
  SetMemberFromVar(a, "o", "__proto__", "proto");
  DefineVar(a, "getter", {}, [](Asm& f) { f.Push("getter called").Trace().Push("getter").Return(); });
  DefineVar(a, "setter", {"v"}, [](Asm& f) { f.Push("setter called").Trace(); });
  AddProperty(a, "proto", "prop", "getter", "setter").Pop();
  TraceMember(a, "o", "prop");
  SetMember(a, "o", "prop", 20);
  Say(a, "hide");
  PropFlags(a, "proto", "prop", 0x4000);
  Member(a, "o", "prop").TypeOf().Trace();
  SetMember(a, "o", "prop", 20);
  TraceMember(a, "o", "prop");
  EXPECT_EQ(RunLines(rig, a), (Lines{"getter called", "getter", "setter called", "hide", "undefined", "20"}));
}

// ---- getters, setters, watchers, __resolve, with ----

TEST(MachinePropertyTest, AddPropertyNeedsANameAGetterAndASetterOrNull) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "foo");
  SetMember(a, "foo", "_bar", 10);
  DefineVar(a, "getBar", {}, [](Asm& f) { f.Push("this").GetVariable().Push("_bar").GetMember().Return(); });
  DefineVar(a, "setBar", {"n"}, [](Asm& f) { f.Push("this").GetVariable().Push("_bar", "n").GetVariable().SetMember(); });
  CallOn(a, "foo", "addProperty", {""}).Trace();
  CallOn(a, "foo", "addProperty", {"bar"}).Trace();
  a.Push("getBar").GetVariable().Push("bar", 2, "foo").GetVariable().Push("addProperty").CallMethod().Trace();
  AddProperty(a, "foo", "bar", "getBar", "").Trace();
  TraceMember(a, "foo", "bar");
  SetMember(a, "foo", "bar", 0);  // no setter: the assignment does nothing
  TraceMember(a, "foo", "bar");
  AddProperty(a, "foo", "bar", "getBar", "setBar").Trace();
  SetMember(a, "foo", "bar", 0);
  TraceMember(a, "foo", "bar");
  TraceMember(a, "foo", "_bar");
  EXPECT_EQ(RunLines(rig, a), (Lines{"false", "false", "false", "true", "10", "10", "true", "0", "0"}));
}

TEST(MachinePropertyTest, InheritedGettersAndSettersRunOnTheInstance) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "P");
  DefineVar(a, "who", {}, [](Asm& f) { f.Push("this").GetVariable().Push("name").GetMember().Return(); });
  DefineVar(a, "getW", {}, [](Asm& f) { f.Push("this").GetVariable().Push("_w").GetMember().Return(); });
  DefineVar(a, "setW", {"v"}, [](Asm& f) {
    f.Push("this").GetVariable().Push("_w", "v").GetVariable().Push(2).Multiply().SetMember();
  });
  AddProperty(a, "P", "who", "who", "").Pop();
  AddProperty(a, "P", "w", "getW", "setW").Pop();
  NewEmpty(a, "inst");
  SetMemberFromVar(a, "inst", "__proto__", "P");
  SetMember(a, "inst", "name", "inst");
  TraceMember(a, "inst", "who");
  SetMember(a, "inst", "w", 4);
  TraceMember(a, "inst", "w");
  TraceMember(a, "inst", "_w");
  Member(a, "P", "_w").TypeOf().Trace();
  CallOn(a, "inst", "hasOwnProperty", {"w"}).Trace();
  EXPECT_EQ(RunLines(rig, a), (Lines{"inst", "8", "8", "undefined", "false"}));
}

TEST(MachinePropertyTest, AWatcherSeesEachAssignmentAndChoosesTheValue) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "o");
  a.Push("ud");
  a.DefineFunction("", {"name", "oldV", "newV", "data"}, [](Asm& f) {
    f.Push("name").GetVariable().Push(":").Add2().Push("oldV").GetVariable().Add2().Push(">").Add2();
    f.Push("newV").GetVariable().Add2().Push(":").Add2().Push("data").GetVariable().Add2().Trace();
    f.Push("newV").GetVariable().Push(2).Multiply().Return();
  });
  a.Push("p", 3, "o").GetVariable().Push("watch").CallMethod().Trace();
  SetMember(a, "o", "p", 5);
  TraceMember(a, "o", "p");
  SetMember(a, "o", "p", 1);
  TraceMember(a, "o", "p");
  CallOn(a, "o", "unwatch", {"p"}).Trace();
  SetMember(a, "o", "p", 7);
  TraceMember(a, "o", "p");
  CallOn(a, "o", "unwatch", {"p"}).Trace();
  EXPECT_EQ(RunLines(rig, a),
            (Lines{"true", "p:undefined>5:ud", "10", "p:10>1:ud", "2", "true", "7", "false"}));
}

TEST(MachinePropertyTest, ResolveAnswersOnlyMissingNames) {
  ClipRig rig(8);
  Asm a;
  NewEmpty(a, "o");
  SetMember(a, "o", "have", "own");
  a.Push("o").GetVariable().Push("__resolve");
  a.DefineFunction("", {"name"}, [](Asm& f) {
    f.Push("resolve ", "name").GetVariable().Add2().Trace();
    f.Push("R:", "name").GetVariable().Add2().Return();
  });
  a.SetMember();
  TraceMember(a, "o", "have");
  TraceMember(a, "o", "missing");
  CallOn(a, "o", "hasOwnProperty", {"missing"}).Trace();
  // A method found through __resolve runs with the object as this.
  NewEmpty(a, "o2");
  a.Push("o2").GetVariable().Push("__resolve");
  a.DefineFunction("", {"name"}, [](Asm& f) {
    f.DefineFunction("", {}, [](Asm& m) { m.Push("this").GetVariable().Push("o2").GetVariable().StrictEquals().Return(); });
    f.Return();
  });
  a.SetMember();
  CallOn(a, "o2", "anything").Trace();
  // An inherited __resolve serves instances.
  DefineVar(a, "P", {}, {});
  Member(a, "P", "prototype").Push("__resolve");
  a.DefineFunction("", {"n"}, [](Asm& f) { f.Push("proto:", "n").GetVariable().Add2().Return(); });
  a.SetMember();
  Member(a, "P", "prototype").Push("onProto", "on proto").SetMember();
  a.Push("inst", 0, "P").NewObject().SetVariable();
  TraceMember(a, "inst", "onProto");
  TraceMember(a, "inst", "zzz");
  EXPECT_EQ(RunLines(rig, a), (Lines{"own", "resolve missing", "R:missing", "false", "true", "on proto", "proto:zzz"}));
}

TEST(MachinePropertyTest, WithPutsAnObjectOnTheScopeChain) {
  ClipRig rig(8);
  Asm a;
  a.Push("o", "p", 1, 1).InitObject().SetVariable();
  a.Push("o").GetVariable().With([](Asm& w) {
    TraceVar(w, "p");
    SetVar(w, "p", 2);
    SetVar(w, "fresh", 3);
  });
  TraceMember(a, "o", "p");
  Member(a, "o", "fresh").TypeOf().Trace();
  TraceVar(a, "fresh");
  // Getters and setters of the object serve the names.
  NewEmpty(a, "o2");
  DefineVar(a, "getX", {}, [](Asm& f) { f.Push("this").GetVariable().Push("x").GetMember().Return(); });
  DefineVar(a, "setX", {"v"}, [](Asm& f) { f.Push("this").GetVariable().Push("x", "v").GetVariable().SetMember(); });
  AddProperty(a, "o2", "prop", "getX", "setX").Pop();
  SetVar(a, "prop", 1);
  a.Push("o2").GetVariable().With([](Asm& w) {
    w.Push("prop").GetVariable().TypeOf().Trace();
    SetVar(w, "prop", 2);
    TraceVar(w, "prop");
  });
  TraceMember(a, "o2", "x");
  TraceVar(a, "prop");
  // A function made inside keeps the object in its scope.
  SetVar(a, "name", "root");
  a.Push("o3", "name", "object", 1).InitObject().SetVariable();
  a.Push("o3").GetVariable().With([](Asm& w) {
    w.Push("_root").GetVariable().Push("f");
    w.DefineFunction("", {}, [](Asm& f) {
      TraceVar(f, "name");
      SetVar(f, "name", "foo");
    });
    w.SetMember();
  });
  CallNamed(a, "f").Pop();
  TraceVar(a, "name");
  TraceMember(a, "o3", "name");
  // A string is wrapped; undefined skips the body.
  a.Push("STRING").With([](Asm& w) { TraceVar(w, "length"); });
  a.Push(Undefined{}).With([](Asm& w) { Say(w, "unreachable"); });
  Say(a, "end");
  EXPECT_EQ(RunLines(rig, a), (Lines{"1", "2", "undefined", "3", "undefined", "2", "2", "1", "object", "root", "foo",
                                     "6", "end"}));
}

}  // namespace
}  // namespace quillon::player::avm1::testing
