// Array: the constructor's forms, elements and length as properties, every prototype method,
// sorting (its comparison order, options and misbehaving comparators) and the methods on plain
// objects.
#include "avm1/classes/array.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Value N(double n) { return Value::Num(n); }
Value S(const char* s) { return Value::Str(s); }

Value ArrayClass(Rig& rig) { return rig.vm.global()->Get("Array"); }

Value New(Rig& rig, std::vector<Value> args = {}) { return rig.vm.Construct(ArrayClass(rig), args); }

Value Invoke(Rig& rig, const Value& self, const char* method, std::vector<Value> args = {}) {
  return rig.vm.CallMethod(self.object, method, args);
}

std::string Text(Rig& rig, const Value& v) { return rig.vm.ToString(v); }

double Length(Rig& rig, const Value& v) { return rig.vm.ToNumber(v.object->Get("length")); }

int Flag(Rig& rig, const char* name) { return static_cast<int>(ArrayClass(rig).object->Get(name).number); }

TEST(ArrayTest, ConstructorForms) {
  Rig rig;
  const Value empty = New(rig);
  ASSERT_TRUE(empty.IsObject());
  EXPECT_NE(dynamic_cast<ArrayObject*>(empty.object), nullptr);
  EXPECT_EQ(empty.object->Proto(), rig.vm.arrayProto);
  EXPECT_EQ(rig.vm.arrayProto->Proto(), rig.vm.objectProto);
  EXPECT_EQ(Length(rig, empty), 0);
  EXPECT_EQ(Text(rig, empty), "");

  const Value five = New(rig, {N(5)});
  EXPECT_EQ(Length(rig, five), 5);
  EXPECT_EQ(Text(rig, five), "undefined,undefined,undefined,undefined,undefined");
  EXPECT_FALSE(five.object->HasOwn("0"));

  // Only a number argument is a length.
  const Value text = New(rig, {S("3")});
  EXPECT_EQ(Length(rig, text), 1);
  EXPECT_EQ(Text(rig, text), "3");
  EXPECT_EQ(Text(rig, New(rig, {Value::Null()})), "null");
  EXPECT_EQ(Length(rig, New(rig, {Value::Undefined()})), 1);

  // A negative length is kept as given, with nothing to show.
  const Value negative = New(rig, {N(-1)});
  EXPECT_EQ(Length(rig, negative), -1);
  EXPECT_EQ(Text(rig, negative), "");
  EXPECT_EQ(Invoke(rig, negative, "push", {S("x")}).number, 1);
  EXPECT_EQ(Length(rig, negative), 1);

  const Value several = New(rig, {N(1), N(2), Value::Bool(true)});
  EXPECT_EQ(Text(rig, several), "1,2,true");
}

TEST(ArrayTest, CalledAsAFunctionMakesANewArray) {
  Rig rig;
  const Value a = New(rig, {S("a")});
  const Value args[] = {S("b")};
  const Value b = rig.vm.CallValue(ArrayClass(rig), a, args);
  EXPECT_EQ(Text(rig, a), "a");
  ASSERT_TRUE(b.IsObject());
  EXPECT_NE(b.object, a.object);
  EXPECT_EQ(Text(rig, b), "b");
  EXPECT_EQ(Text(rig, rig.vm.CallValue(ArrayClass(rig), {}, {})), "");
}

TEST(ArrayTest, SuperCallFillsTheSubclassInstance) {
  Rig rig;
  Object* instance = rig.vm.NewObject();
  Object* middle = rig.vm.NewObject();
  middle->SetProto(rig.vm.arrayProto);
  instance->SetProto(middle);
  const Value args[] = {S("foo"), S("bar")};
  rig.vm.CallValue(ArrayClass(rig), Value::Obj(instance), args);
  EXPECT_EQ(Length(rig, Value::Obj(instance)), 2);
  EXPECT_EQ(Text(rig, Invoke(rig, Value::Obj(instance), "shift")), "foo");
  EXPECT_EQ(Length(rig, Value::Obj(instance)), 1);
  EXPECT_EQ(Text(rig, Value::Obj(instance)), "bar");
}

TEST(ArrayTest, ElementsAndLengthAreProperties) {
  Rig rig;
  const Value v = New(rig, {N(1)});
  Object* a = v.object;
  a->Set("0", S("a"));
  a->Set("1", S("b"));
  EXPECT_EQ(Length(rig, v), 2);
  a->Set("-1", S("irrelevant"));
  a->Set("foo", S("irrelephant"));
  a->Set("01", S("not an index"));
  EXPECT_EQ(Length(rig, v), 2);
  EXPECT_EQ(Text(rig, a->Get("-1")), "irrelevant");
  a->Set("4", S("e"));
  EXPECT_EQ(Text(rig, v), "a,b,undefined,undefined,e");
  EXPECT_TRUE(a->HasOwn("0"));
  EXPECT_FALSE(a->HasOwn("3"));
  EXPECT_TRUE(a->HasOwn("4"));
  bool found = true;
  EXPECT_TRUE(a->Get("3", &found).IsUndefined());
  EXPECT_FALSE(found);

  // for..in: present elements newest first (ascending writes), never the gaps or length.
  std::vector<std::string> keys;
  a->SpecialKeys(keys);
  EXPECT_EQ(keys, (std::vector<std::string>{"4", "1", "0"}));

  a->Set("length", N(2));
  EXPECT_EQ(Text(rig, v), "a,b");
  EXPECT_FALSE(a->HasOwn("4"));
  a->Set("length", S("4"));
  EXPECT_EQ(Length(rig, v), 4);
  EXPECT_FALSE(a->HasOwn("2"));

  EXPECT_TRUE(a->Delete("0"));
  EXPECT_FALSE(a->HasOwn("0"));
  EXPECT_FALSE(a->Delete("0"));
  EXPECT_EQ(Length(rig, v), 4);
  EXPECT_FALSE(a->Delete("length"));

  // Far names stay ordinary properties instead of allocating the gap.
  a->Set("99999999999", N(1));
  EXPECT_EQ(Length(rig, v), 4);
  EXPECT_EQ(a->Get("99999999999").number, 1);
}

TEST(ArrayTest, GettersOnElementsShadowButMethodsUseTheStorage) {
  Rig rig;
  Function* ten = rig.vm.NewNative([](Call&) { return Value::Num(10); });
  const Value a = New(rig, {N(3)});
  EXPECT_TRUE(a.object->AddProperty("length", ten, nullptr));
  EXPECT_EQ(Length(rig, a), 10);
  EXPECT_EQ(Invoke(rig, a, "push", {N(1)}).number, 4);

  const Value b = New(rig, {N(1), N(2), N(3)});
  EXPECT_TRUE(b.object->AddProperty("2", ten, nullptr));
  EXPECT_EQ(b.object->Get("2").number, 10);
  EXPECT_EQ(Invoke(rig, b, "pop").number, 3);
}

TEST(ArrayTest, PushPopShiftUnshift) {
  Rig rig;
  const Value a = New(rig, {N(1), N(2)});
  EXPECT_EQ(Invoke(rig, a, "push", {N(3), N(4)}).number, 4);
  EXPECT_EQ(Invoke(rig, a, "pop").number, 4);
  EXPECT_EQ(Invoke(rig, a, "shift").number, 1);
  EXPECT_EQ(Text(rig, a), "2,3");
  EXPECT_EQ(Invoke(rig, a, "unshift", {N(42), N(43)}).number, 4);
  EXPECT_EQ(Text(rig, a), "42,43,2,3");

  const Value none = New(rig);
  EXPECT_TRUE(Invoke(rig, none, "pop").IsUndefined());
  EXPECT_TRUE(Invoke(rig, none, "shift").IsUndefined());
  EXPECT_EQ(Length(rig, none), 0);

  // Moving the elements writes every one of them: the gaps become undefined elements.
  const Value gappy = New(rig);
  gappy.object->Set("3", N(3));
  EXPECT_TRUE(Invoke(rig, gappy, "shift").IsUndefined());
  EXPECT_EQ(Length(rig, gappy), 3);
  EXPECT_TRUE(gappy.object->HasOwn("0"));
  EXPECT_EQ(gappy.object->Get("2").number, 3);
  const Value gappy2 = New(rig);
  gappy2.object->Set("1", N(1));
  EXPECT_EQ(Invoke(rig, gappy2, "unshift", {N(0)}).number, 3);
  EXPECT_TRUE(gappy2.object->HasOwn("1"));
}

TEST(ArrayTest, SliceTakesRelativeBounds) {
  Rig rig;
  const Value a = New(rig, {S("a"), S("b"), S("c"), S("d"), S("e")});
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice")), "a,b,c,d,e");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(3)})), "d,e");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(1), N(3)})), "b,c");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(0), N(-3)})), "a,b");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(3), N(2)})), "");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(-2), N(4)})), "d");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(1), S("3")})), "b,c");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(1), Value::Undefined()})), "b,c,d,e");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(1), Value::Null()})), "");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "slice", {N(-100), N(100)})), "a,b,c,d,e");
  EXPECT_EQ(Text(rig, a), "a,b,c,d,e");
}

TEST(ArrayTest, SpliceInAllForms) {
  Rig rig;
  const Value a = New(rig, {N(0), N(1), N(2), N(3), N(4), N(5)});
  EXPECT_TRUE(Invoke(rig, a, "splice").IsUndefined());
  EXPECT_EQ(Length(rig, a), 6);
  EXPECT_EQ(Text(rig, Invoke(rig, a, "splice", {N(1), N(2)})), "1,2");
  EXPECT_EQ(Text(rig, a), "0,3,4,5");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "splice", {N(-2), N(1), S("x"), S("y")})), "4");
  EXPECT_EQ(Text(rig, a), "0,3,x,y,5");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "splice", {N(1), N(-5), S("z")})), "");
  EXPECT_EQ(Text(rig, a), "0,z,3,x,y,5");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "splice", {N(100), N(1), S("end")})), "");
  EXPECT_EQ(Text(rig, a), "0,z,3,x,y,5,end");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "splice", {N(3)})), "x,y,5,end");
  EXPECT_EQ(Text(rig, a), "0,z,3");
}

TEST(ArrayTest, ConcatFlattensOneLevel) {
  Rig rig;
  const Value inner = New(rig, {N(4), N(5)});
  const Value second = New(rig, {N(3), inner});
  const Value a = New(rig, {S("1")});
  const Value r = Invoke(rig, a, "concat", {N(2), second, S("s")});
  EXPECT_EQ(Length(rig, r), 5);
  EXPECT_EQ(r.object->Get("3").object, inner.object);
  EXPECT_EQ(Text(rig, r), "1,2,3,4,5,s");
  EXPECT_EQ(Length(rig, a), 1);
  EXPECT_NE(Invoke(rig, a, "concat").object, a.object);
}

TEST(ArrayTest, JoinAndToString) {
  Rig rig;
  const Value a = New(rig, {N(1), New(rig, {N(2), N(3)}), Value::Undefined(), Value::Null()});
  EXPECT_EQ(Text(rig, Invoke(rig, a, "join")), "1,2,3,undefined,null");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "join", {Value::Undefined()})), "1,2,3,undefined,null");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "join", {S(" - ")})), "1 - 2,3 - undefined - null");
  EXPECT_EQ(Text(rig, Invoke(rig, a, "toString")), "1,2,3,undefined,null");
  // An array inside itself shows as empty there.
  a.object->Set("0", a);
  EXPECT_EQ(Text(rig, a), ",2,3,undefined,null");

  Rig old(6);
  const Value b = New(old, {Value::Undefined(), N(1)});
  EXPECT_EQ(Text(old, b), ",1");
}

TEST(ArrayTest, ReverseInPlace) {
  Rig rig;
  const Value a = New(rig, {N(1), N(2), N(3)});
  EXPECT_EQ(Invoke(rig, a, "reverse").object, a.object);
  EXPECT_EQ(Text(rig, a), "3,2,1");
}

TEST(ArrayTest, SortOptions) {
  Rig rig;
  EXPECT_EQ(Flag(rig, "CASEINSENSITIVE"), 1);
  EXPECT_EQ(Flag(rig, "DESCENDING"), 2);
  EXPECT_EQ(Flag(rig, "UNIQUESORT"), 4);
  EXPECT_EQ(Flag(rig, "RETURNINDEXEDARRAY"), 8);
  EXPECT_EQ(Flag(rig, "NUMERIC"), 16);

  const Value a = New(rig, {N(10), N(9), N(1), S("b"), S("B"), S("a")});
  EXPECT_EQ(Invoke(rig, a, "sort").object, a.object);
  EXPECT_EQ(Text(rig, a), "1,10,9,B,a,b");
  Invoke(rig, a, "sort", {N(2)});
  EXPECT_EQ(Text(rig, a), "b,a,B,9,10,1");

  const Value words = New(rig, {S("b"), S("C"), S("a")});
  Invoke(rig, words, "sort", {N(1)});
  EXPECT_EQ(Text(rig, words), "a,b,C");
  Invoke(rig, words, "sort", {Value::Undefined(), N(1 | 2)});
  EXPECT_EQ(Text(rig, words), "C,b,a");

  const Value numbers = New(rig, {N(10), N(9), N(100), N(-1), N(1.5)});
  Invoke(rig, numbers, "sort", {N(16)});
  EXPECT_EQ(Text(rig, numbers), "-1,1.5,9,10,100");
  Invoke(rig, numbers, "sort", {N(16 | 2)});
  EXPECT_EQ(Text(rig, numbers), "100,10,9,1.5,-1");

  const Value indexed = New(rig, {S("c"), S("a"), S("b")});
  EXPECT_EQ(Text(rig, Invoke(rig, indexed, "sort", {N(8)})), "1,2,0");
  EXPECT_EQ(Text(rig, indexed), "c,a,b");

  const Value twice = New(rig, {N(2), N(1), N(2)});
  EXPECT_EQ(Invoke(rig, twice, "sort", {N(4)}).number, 0);
  EXPECT_EQ(Text(rig, twice), "2,1,2");
  const Value once = New(rig, {N(3), N(1), N(2)});
  EXPECT_EQ(Invoke(rig, once, "sort", {N(4)}).object, once.object);
  EXPECT_EQ(Text(rig, once), "1,2,3");
}

TEST(ArrayTest, SortComparesLikeTheReference) {
  Rig rig;
  std::vector<std::pair<double, double>> calls;
  Function* byValue = rig.vm.NewNative([&](Call& c) {
    calls.emplace_back(c.Arg(0).number, c.Arg(1).number);
    return Value::Num(c.Arg(0).number - c.Arg(1).number);
  });
  // The first element is the pivot and always the first argument; the element the right scan
  // stops at is compared again after the left scan has finished.
  const Value a = New(rig, {N(2), N(1), N(3)});
  Invoke(rig, a, "sort", {Value::Obj(byValue)});
  EXPECT_EQ(Text(rig, a), "1,2,3");
  EXPECT_EQ(calls, (std::vector<std::pair<double, double>>{{2, 1}, {2, 3}, {2, 1}}));

  calls.clear();
  const Value b = New(rig, {N(5), N(3), N(8), N(1), N(9), N(2)});
  Invoke(rig, b, "sort", {Value::Obj(byValue), N(2)});
  EXPECT_EQ(Text(rig, b), "9,8,5,3,2,1");
  EXPECT_EQ(calls.front(), (std::pair<double, double>{5, 3}));
}

TEST(ArrayTest, SortSurvivesBadComparators) {
  Rig rig;
  int n = 0;
  Function* flips = rig.vm.NewNative([&](Call&) { return Value::Num((n++ % 2) ? 1 : -1); });
  std::vector<Value> items;
  for (int i = 0; i < 200; ++i) items.push_back(N(i));
  const Value a = New(rig, items);
  Invoke(rig, a, "sort", {Value::Obj(flips)});
  std::vector<bool> seen(200, false);
  for (int i = 0; i < 200; ++i) {
    const double v = a.object->Get(std::to_string(i)).number;
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 200);
    EXPECT_FALSE(seen[static_cast<std::size_t>(v)]);
    seen[static_cast<std::size_t>(v)] = true;
  }

  int calls = 0;
  Function* throws = rig.vm.NewNative([&](Call&) -> Value {
    if (++calls == 3) throw ScriptThrow{Value::Str("stop")};
    return Value::Num(1);
  });
  const Value b = New(rig, {N(3), N(1), N(2), N(0)});
  EXPECT_THROW(Invoke(rig, b, "sort", {Value::Obj(throws)}), ScriptThrow);
  EXPECT_EQ(Text(rig, b), "3,1,2,0");
}

TEST(ArrayTest, SortOnFields) {
  Rig rig;
  auto person = [&](const char* name, double age) {
    Object* o = rig.vm.NewObject();
    o->Set("name", S(name));
    o->Set("age", N(age));
    return Value::Obj(o);
  };
  const Value bob = person("bob", 9), al = person("al", 30), cy = person("cy", 9), ann = person("Al", 30);
  const Value a = New(rig, {bob, al, cy, ann});
  auto order = [&]() {
    std::string out;
    for (int i = 0; i < 4; ++i) out += Text(rig, a.object->Get(std::to_string(i)).object->Get("name")) + " ";
    return out;
  };
  EXPECT_EQ(Invoke(rig, a, "sortOn", {S("name")}).object, a.object);
  EXPECT_EQ(order(), "Al al bob cy ");
  Invoke(rig, a, "sortOn", {S("age"), N(16 | 2)});
  EXPECT_EQ(Text(rig, a.object->Get("0").object->Get("age")), "30");
  Invoke(rig, a, "sortOn", {New(rig, {S("age"), S("name")}), New(rig, {N(16), N(2)})});
  EXPECT_EQ(order(), "cy bob al Al ");
  const Value names = New(rig, {S("name")});
  EXPECT_EQ(Text(rig, Invoke(rig, a, "sortOn", {names, N(8)})), "3,2,1,0");
  EXPECT_EQ(order(), "cy bob al Al ");
  EXPECT_EQ(Invoke(rig, a, "sortOn", {S("age"), N(4)}).number, 0);
}

TEST(ArrayTest, MethodsWorkOnPlainObjects) {
  Rig rig;
  Object* o = rig.vm.NewObject();
  o->Set("length", N(2));
  o->Set("0", S("x"));
  o->Set("1", S("y"));
  const Value self = Value::Obj(o);
  Object* proto = rig.vm.arrayProto;
  auto run = [&](const char* method, std::vector<Value> args = {}) { return rig.vm.CallValue(proto->Get(method), self, args); };
  EXPECT_EQ(run("push", {S("z")}).number, 3);
  EXPECT_EQ(Length(rig, self), 3);
  EXPECT_EQ(Text(rig, o->Get("2")), "z");
  EXPECT_EQ(Text(rig, run("join", {S("+")})), "x+y+z");
  EXPECT_EQ(Text(rig, run("pop")), "z");
  EXPECT_FALSE(o->HasOwn("2"));
  run("reverse");
  EXPECT_EQ(Text(rig, o->Get("0")), "y");
  EXPECT_EQ(Text(rig, run("slice", {N(1)})), "x");

  // Elements are the object's own values: neither inherited ones nor getters count.
  Object* viaProto = rig.vm.NewObject();
  viaProto->Set("length", N(3));
  viaProto->AddProperty("2", rig.vm.NewNative([](Call&) { return Value::Str("x"); }), nullptr);
  viaProto->SetProto(New(rig, {S("a"), S("b"), S("c")}).object);
  EXPECT_EQ(Text(rig, Value::Obj(viaProto)), "undefined,undefined,undefined");
  EXPECT_EQ(Text(rig, viaProto->Get("0")), "a");

  Object* bare = rig.vm.NewObject();
  EXPECT_TRUE(rig.vm.CallValue(proto->Get("shift"), Value::Obj(bare), {}).IsUndefined());
  EXPECT_EQ(Length(rig, Value::Obj(bare)), 0);
  EXPECT_TRUE(rig.vm.CallValue(proto->Get("push"), N(1), {}).IsUndefined());
}

TEST(ArrayTest, ElementsStayAliveThroughCollection) {
  Rig rig;
  const Value a = New(rig);
  rig.vm.global()->Set("kept", a);
  Object* item = rig.vm.NewObject();
  item->Set("mark", N(7));
  Invoke(rig, a, "push", {Value::Obj(item)});
  for (int i = 0; i < 100; ++i) rig.vm.NewObject();
  const std::size_t before = rig.vm.ObjectCount();
  rig.vm.Collect();
  EXPECT_LT(rig.vm.ObjectCount(), before);
  EXPECT_EQ(a.object->Get("0").object->Get("mark").number, 7);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
