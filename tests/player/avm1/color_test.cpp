// Colour and placement through the display hook: the Color class and flash.geom.Transform on
// clips, against a display that keeps each clip's transform in a table.
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/extra_classes.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Value N(double n) { return Value::Num(n); }

// A timeline clip that also keeps the placement properties.
class FakeClip : public TimelineClip {
 public:
  FakeClip(Machine& vm, FakeClip* parent, std::string name) : TimelineClip(vm, parent, std::move(name)) {
    props[2] = props[3] = 100;
  }
  bool Alive() const override { return alive; }
  Value GetIndexed(int index) override { return Value::Num(props[index]); }
  void SetIndexed(int index, const Value& value) override { props[index] = vm().ToNumber(value); }
  void Remove() override { alive = false; }
  std::map<int, double> props;
  bool alive = true;
};

struct Display : ColorTarget {
  bool GetColorTransform(Object* clip, double out[8]) override {
    if (!dynamic_cast<FakeClip*>(clip)) return false;
    const auto it = colors.find(clip);
    const std::array<double, 8> v = it == colors.end() ? std::array<double, 8>{1, 1, 1, 1, 0, 0, 0, 0} : it->second;
    std::copy(v.begin(), v.end(), out);
    return true;
  }
  void SetColorTransform(Object* clip, const double in[8]) override {
    std::copy(in, in + 8, colors[clip].begin());
    ++writes;
  }
  std::map<Object*, std::array<double, 8>> colors;
  int writes = 0;
};

struct ColorRig : Rig {
  ColorRig() : Rig(8) {
    if (vm.global()->Get("Stage").IsUndefined()) InstallExtraClasses(vm, vm.global());
    root = vm.Make<FakeClip>(nullptr, "_level0");
    clip = vm.Make<FakeClip>(root, "mc");
    vm.global()->Set("keepRoot", Value::Obj(root));
    vm.global()->Set("keepClip", Value::Obj(clip));
    SetColorTarget(vm, &display);
  }
  ~ColorRig() { SetColorTarget(vm, nullptr); }
  Value NewColor(const Value& target) {
    const Value args[] = {target};
    return vm.Construct(vm.global()->Get("Color"), args);
  }
  Value Call(const Value& self, const char* method, std::vector<Value> args = {}) {
    return vm.CallMethod(vm.ToObject(self), method, args);
  }
  Value Field(const Value& self, const char* name) { return vm.ToObject(self)->Get(name); }
  std::string Text(const Value& v) { return vm.ToString(v); }
  std::array<double, 8>& ColorOf(Object* c) {
    display.colors.try_emplace(c, std::array<double, 8>{1, 1, 1, 1, 0, 0, 0, 0});
    return display.colors[c];
  }

  Display display;
  FakeClip* root = nullptr;
  FakeClip* clip = nullptr;
};

TEST(ColorTest, RgbIsTheOffsetsWithMultipliersCleared) {
  ColorRig rig;
  rig.ColorOf(rig.clip) = {0.5, 0.5, 0.5, 0.75, 1, 2, 3, 9};
  const Value color = rig.NewColor(Value::Obj(rig.clip));
  EXPECT_EQ(rig.Call(color, "getRGB").number, 0x010203);
  rig.Call(color, "setRGB", {N(0x33CC99)});
  EXPECT_EQ(rig.ColorOf(rig.clip), (std::array<double, 8>{0, 0, 0, 0.75, 0x33, 0xCC, 0x99, 9}));
  EXPECT_EQ(rig.Call(color, "getRGB").number, 0x33CC99);
  // Nothing of the Color shows to for..in.
  EXPECT_TRUE(color.object->EnumerableKeys().empty());
}

TEST(ColorTest, TransformsArePercentagesAndPartialSetsKeepTheRest) {
  ColorRig rig;
  rig.ColorOf(rig.clip) = {1, 0.5, 1, 1, 0, 0, 0, 0};
  const Value color = rig.NewColor(Value::Obj(rig.clip));
  const Value t = rig.Call(color, "getTransform");
  EXPECT_EQ(t.object->EnumerableKeys(), (std::vector<std::string>{"ab", "aa", "bb", "ba", "gb", "ga", "rb", "ra"}));
  EXPECT_EQ(rig.Field(t, "ga").number, 50);
  EXPECT_EQ(rig.Field(t, "rb").number, 0);

  Object* change = rig.vm.NewObject();
  change->Set("ra", N(25));
  change->Set("bb", N(-60));
  rig.Call(color, "setTransform", {Value::Obj(change)});
  EXPECT_EQ(rig.ColorOf(rig.clip), (std::array<double, 8>{0.25, 0.5, 1, 1, 0, 0, -60, 0}));
  const int writes = rig.display.writes;
  rig.Call(color, "setTransform", {N(5)});
  EXPECT_EQ(rig.display.writes, writes);
}

TEST(ColorTest, TargetsResolveAtEachCall) {
  ColorRig rig;
  rig.vm.currentClip = rig.clip;
  const Value none = rig.NewColor(Value::Undefined());
  EXPECT_TRUE(rig.Call(none, "getRGB").IsUndefined());
  EXPECT_TRUE(rig.Call(none, "getTransform").IsUndefined());
  rig.Call(none, "setRGB", {N(1)});
  EXPECT_EQ(rig.display.writes, 0);

  const Value byPath = rig.NewColor(Value::Str(""));  // the empty path is the timeline itself
  rig.Call(byPath, "setRGB", {N(0xFF)});
  EXPECT_EQ(rig.ColorOf(rig.clip)[6], 255);

  const Value color = rig.NewColor(Value::Obj(rig.clip));
  rig.clip->Remove();
  rig.Call(color, "setRGB", {N(0)});
  EXPECT_EQ(rig.ColorOf(rig.clip)[6], 255);
  EXPECT_TRUE(rig.Call(color, "getRGB").IsUndefined());
  rig.vm.currentClip = nullptr;
}

TEST(ColorTest, TransformReadsAndWritesTheClip) {
  ColorRig rig;
  const Value t = NewTransform(rig.vm, rig.clip);
  rig.clip->props[0] = 10;
  rig.clip->props[1] = 20;
  rig.clip->props[2] = 200;
  EXPECT_EQ(rig.Text(rig.Field(t, "matrix")), "(a=2, b=0, c=0, d=1, tx=10, ty=20)");
  rig.root->props[0] = 5;
  rig.root->props[3] = 50;
  EXPECT_EQ(rig.Text(rig.Field(t, "concatenatedMatrix")), "(a=2, b=0, c=0, d=0.5, tx=15, ty=10)");

  // Without the display's matrix hook a matrix goes back as position, scale and rotation.
  const double rotated[6] = {0, 3, -2, 0, 7, 8};
  t.object->Set("matrix", NewMatrix(rig.vm, rotated));
  EXPECT_EQ(rig.clip->props[0], 7);
  EXPECT_EQ(rig.clip->props[1], 8);
  EXPECT_NEAR(rig.clip->props[2], 300, 1e-9);
  EXPECT_NEAR(rig.clip->props[3], 200, 1e-9);
  EXPECT_NEAR(rig.clip->props[10], 90, 1e-9);

  rig.ColorOf(rig.root) = {0.5, 1, 1, 1, 10, 0, 0, 0};
  const double tint[8] = {2, 1, 1, 1, 4, 0, 0, 100};
  t.object->Set("colorTransform", NewColorTransform(rig.vm, tint));
  EXPECT_EQ(rig.ColorOf(rig.clip), (std::array<double, 8>{2, 1, 1, 1, 4, 0, 0, 100}));
  const Value ct = rig.Field(t, "colorTransform");
  EXPECT_EQ(rig.Field(ct, "alphaOffset").number, 100);
  EXPECT_NE(ct.object, rig.Field(t, "colorTransform").object);  // a copy each time
  // The parent's applies after the clip's own.
  const Value all = rig.Field(t, "concatenatedColorTransform");
  EXPECT_EQ(rig.Field(all, "redMultiplier").number, 1);
  EXPECT_EQ(rig.Field(all, "redOffset").number, 12);
  // Anything but a ColorTransform leaves the clip alone.
  const int writes = rig.display.writes;
  t.object->Set("colorTransform", Value::Obj(rig.vm.NewObject()));
  EXPECT_EQ(rig.display.writes, writes);

  // Nothing drawn: no bounds to report.
  EXPECT_EQ(rig.Text(rig.Field(t, "pixelBounds")), "(x=0, y=0, w=0, h=0)");
  rig.clip->Remove();
  EXPECT_TRUE(rig.Field(t, "matrix").IsUndefined());
  EXPECT_TRUE(rig.Field(t, "colorTransform").IsUndefined());
}

TEST(ColorTest, TransformWithoutADisplayIsUntinted) {
  ColorRig rig;
  SetColorTarget(rig.vm, nullptr);
  const Value t = NewTransform(rig.vm, rig.clip);
  EXPECT_EQ(rig.Text(rig.Field(t, "colorTransform")),
            "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
            "greenOffset=0, blueOffset=0, alphaOffset=0)");
  EXPECT_EQ(rig.Call(rig.NewColor(Value::Obj(rig.clip)), "getRGB").number, 0);
  EXPECT_EQ(GetColorTarget(rig.vm), nullptr);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
