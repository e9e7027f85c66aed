// Number and Boolean: conversion when called, wrappers on `new`, constants and the prototypes.
#include "avm1/classes/number_boolean.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Value Global(Rig& rig, const char* name) { return rig.vm.global()->Get(name); }

Value CallOn(Rig& rig, Object* proto, const char* method, const Value& self, std::vector<Value> args = {}) {
  return rig.vm.CallValue(proto->Get(method), self, args);
}

TEST(NumberBooleanTest, NumberConvertsWhenCalledAndWrapsOnNew) {
  Rig rig;
  const Value number = Global(rig, "Number");
  EXPECT_EQ(rig.vm.CallValue(number, {}, {}).number, 0);
  const Value hex[] = {Value::Str("0x10")};
  EXPECT_EQ(rig.vm.CallValue(number, {}, hex).number, 16);
  const Value none[] = {Value::Undefined()};
  EXPECT_TRUE(std::isnan(rig.vm.CallValue(number, {}, none).number));

  const Value args[] = {Value::Str("-101")};
  const Value made = rig.vm.Construct(number, args);
  ASSERT_TRUE(made.IsObject());
  auto* wrapper = dynamic_cast<NumberObject*>(made.object);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(wrapper->value, -101);
  EXPECT_EQ(wrapper->Proto(), rig.vm.numberProto);
  EXPECT_EQ(rig.vm.TypeOf(made), "object");
  EXPECT_EQ(rig.vm.ToNumber(made), -101);
  EXPECT_EQ(rig.vm.ToString(made), "-101");
  EXPECT_EQ(dynamic_cast<NumberObject*>(rig.vm.Construct(number, {}).object)->value, 0);
}

TEST(NumberBooleanTest, NumberConstantsAreFixed) {
  Rig rig;
  Object* number = Global(rig, "Number").object;
  EXPECT_EQ(number->Get("MAX_VALUE").number, std::numeric_limits<double>::max());
  EXPECT_EQ(number->Get("MIN_VALUE").number, std::numeric_limits<double>::denorm_min());
  EXPECT_TRUE(std::isnan(number->Get("NaN").number));
  EXPECT_EQ(number->Get("POSITIVE_INFINITY").number, std::numeric_limits<double>::infinity());
  EXPECT_EQ(number->Get("NEGATIVE_INFINITY").number, -std::numeric_limits<double>::infinity());
  number->Set("MAX_VALUE", Value::Num(1));
  EXPECT_EQ(number->Get("MAX_VALUE").number, std::numeric_limits<double>::max());
  EXPECT_EQ(rig.vm.ToString(number->Get("MAX_VALUE")), "1.79769313486231e+308");
}

TEST(NumberBooleanTest, NumberToStringTakesARadix) {
  Rig rig;
  Object* proto = rig.vm.numberProto;
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(4123), {Value::Num(16)}).string, "101b");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(4123), {Value::Str("2")}).string, "1000000011011");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(-123.1), {Value::Num(8)}).string, "-173");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(-123.1)).string, "-123.1");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(-123.1), {Value::Undefined()}).string, "-123.1");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Num(4123), {Value::Num(37)}).string, "4123");
  Object* boxed = rig.vm.ToObject(Value::Num(255));
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Obj(boxed), {Value::Num(16)}).string, "ff");
  const Value v = CallOn(rig, proto, "valueOf", Value::Obj(boxed));
  ASSERT_TRUE(v.IsNumber());
  EXPECT_EQ(v.number, 255);
  // Not a Number: nothing, rather than a conversion that would come back here.
  EXPECT_TRUE(CallOn(rig, proto, "toString", Value::Obj(rig.vm.NewObject())).IsUndefined());
  EXPECT_TRUE(CallOn(rig, proto, "valueOf", Value::Str("5")).IsUndefined());
}

TEST(NumberBooleanTest, BooleanConvertsWhenCalledAndWrapsOnNew) {
  Rig rig;
  const Value boolean = Global(rig, "Boolean");
  EXPECT_TRUE(rig.vm.CallValue(boolean, {}, {}).IsUndefined());  // not false
  const Value text[] = {Value::Str("asd")};
  const Value r = rig.vm.CallValue(boolean, {}, text);
  ASSERT_TRUE(r.IsBool());
  EXPECT_TRUE(r.boolean);
  const Value zero[] = {Value::Num(0)};
  EXPECT_FALSE(rig.vm.CallValue(boolean, {}, zero).boolean);

  const Value made = rig.vm.Construct(boolean, {});
  auto* wrapper = dynamic_cast<BooleanObject*>(made.object);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_FALSE(wrapper->value);
  EXPECT_EQ(wrapper->Proto(), rig.vm.booleanProto);
  EXPECT_EQ(rig.vm.ToString(made), "false");
  const Value one[] = {Value::Num(1)};
  EXPECT_EQ(rig.vm.ToString(rig.vm.Construct(boolean, one)), "true");
}

TEST(NumberBooleanTest, BooleanPrototypeMethods) {
  Rig rig;
  Object* proto = rig.vm.booleanProto;
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Bool(true)).string, "true");
  EXPECT_EQ(CallOn(rig, proto, "toString", Value::Obj(NewBooleanObject(rig.vm, false))).string, "false");
  const Value v = CallOn(rig, proto, "valueOf", Value::Obj(rig.vm.ToObject(Value::Bool(true))));
  ASSERT_TRUE(v.IsBool());
  EXPECT_TRUE(v.boolean);
  EXPECT_TRUE(CallOn(rig, proto, "valueOf", Value::Num(1)).IsUndefined());
  EXPECT_EQ(NewBooleanObject(rig.vm, true)->Proto(), rig.vm.booleanProto);
  EXPECT_EQ(NewNumberObject(rig.vm, 1)->Proto(), rig.vm.numberProto);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
