// flash.filters: constructor defaults and arguments, values brought into range, clone(), and
// the bridge to the renderer's filters.
#include <gtest/gtest.h>

#include <vector>

#include "avm1/classes/extra_classes.h"
#include "avm1/classes/filters.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

struct FilterRig : Rig {
  FilterRig() : Rig(8) {
    if (vm.global()->Get("Stage").IsUndefined()) InstallExtraClasses(vm, vm.global());
  }
  Value New(const char* cls, std::vector<Value> args = {}) {
    Object* flash = vm.ToObject(vm.global()->Get("flash"));
    Object* filters = flash ? vm.ToObject(flash->Get("filters")) : nullptr;
    return vm.Construct(filters ? filters->Get(cls) : Value{}, args);
  }
  double Num(const Value& o, const char* name) { return vm.ToNumber(vm.ToObject(o)->Get(name)); }
};

TEST(FiltersTest, DefaultsAndArgumentsInConstructorOrder) {
  FilterRig rig;
  const Value blur = rig.New("BlurFilter");
  EXPECT_EQ(rig.Num(blur, "blurX"), 4);
  EXPECT_EQ(rig.Num(blur, "quality"), 1);
  const Value glow = rig.New("GlowFilter", {Value::Num(0x00FF00), Value::Num(0.5)});
  EXPECT_EQ(rig.Num(glow, "color"), 0x00FF00);
  EXPECT_EQ(rig.Num(glow, "alpha"), 0.5);
  EXPECT_EQ(rig.Num(glow, "strength"), 2) << "a glow's strength defaults to 2";
  const Value bevel = rig.New("BevelFilter");
  EXPECT_EQ(rig.vm.ToString(rig.vm.ToObject(bevel)->Get("type")), "inner");
}

TEST(FiltersTest, AssignedValuesAreBroughtIntoRange) {
  FilterRig rig;
  const Value blur = rig.New("BlurFilter", {Value::Num(300), Value::Num(-2), Value::Num(40.7)});
  EXPECT_EQ(rig.Num(blur, "blurX"), 255);
  EXPECT_EQ(rig.Num(blur, "blurY"), 0);
  EXPECT_EQ(rig.Num(blur, "quality"), 15);
  Object* glow = rig.vm.ToObject(rig.New("GlowFilter"));
  glow->Set("color", Value::Num(0x12345678));
  EXPECT_EQ(rig.vm.ToNumber(glow->Get("color")), 0x345678) << "colours keep 24 bits";
  glow->Set("alpha", Value::Num(3));
  EXPECT_EQ(rig.vm.ToNumber(glow->Get("alpha")), 1);
}

TEST(FiltersTest, CloneCopiesTheCurrentValues) {
  FilterRig rig;
  const Value shadow = rig.New("DropShadowFilter", {Value::Num(9), Value::Num(90)});
  rig.vm.ToObject(shadow)->Set("blurX", Value::Num(12));
  const Value copy = rig.vm.CallMethod(rig.vm.ToObject(shadow), "clone", {});
  ASSERT_TRUE(copy.IsObject());
  EXPECT_NE(copy.object, shadow.object);
  EXPECT_EQ(rig.Num(copy, "distance"), 9);
  EXPECT_EQ(rig.Num(copy, "angle"), 90);
  EXPECT_EQ(rig.Num(copy, "blurX"), 12);
}

TEST(FiltersTest, ScriptFiltersBecomeTheRenderersAndBack) {
  FilterRig rig;
  const Value shadow = rig.New("DropShadowFilter", {Value::Num(4), Value::Num(180), Value::Num(0xFF0000),
                                                    Value::Num(1), Value::Num(2), Value::Num(3)});
  rig.vm.ToObject(shadow)->Set("hideObject", Value::Bool(true));
  Filter f;
  ASSERT_TRUE(FilterOf(rig.vm, shadow, f));
  const auto* d = std::get_if<DropShadowFilter>(&f);
  ASSERT_NE(d, nullptr);
  EXPECT_NEAR(d->angle, 3.14159265, 1e-6) << "degrees become radians";
  EXPECT_EQ(d->color, (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(d->blurY, 3);
  EXPECT_FALSE(d->compositeSource) << "a hidden object does not composite its source";
  const Value back = NewFilter(rig.vm, f);
  EXPECT_EQ(rig.Num(back, "angle"), 180);
  EXPECT_TRUE(rig.vm.ToBool(rig.vm.ToObject(back)->Get("hideObject")));
  EXPECT_FALSE(FilterOf(rig.vm, Value::Obj(rig.vm.NewObject()), f)) << "a plain object is no filter";
}

}  // namespace
}  // namespace quillon::player::avm1::testing
