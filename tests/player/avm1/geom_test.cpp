// flash.geom: Point, Rectangle and Matrix as script classes, ColorTransform's converting fields,
// and the package's presence per version.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/extra_classes.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Value N(double n) { return Value::Num(n); }
Value S(const char* s) { return Value::Str(s); }

struct GeomRig : Rig {
  explicit GeomRig(int version = 8) : Rig(version) {
    if (vm.global()->Get("Stage").IsUndefined()) InstallExtraClasses(vm, vm.global());
  }
  Value Class(const char* name) {
    Object* flash = vm.ToObject(vm.global()->Get("flash"));
    Object* geom = flash ? vm.ToObject(flash->Get("geom")) : nullptr;
    return geom ? geom->Get(name) : Value{};
  }
  Value New(const char* cls, std::vector<Value> args = {}) { return vm.Construct(Class(cls), args); }
  Value Call(const Value& self, const char* method, std::vector<Value> args = {}) {
    return vm.CallMethod(vm.ToObject(self), method, args);
  }
  Value Static(const char* cls, const char* method, std::vector<Value> args = {}) {
    return Call(Class(cls), method, std::move(args));
  }
  std::string Text(const Value& v) { return vm.ToString(v); }
  Value Field(const Value& self, const char* name) { return vm.ToObject(self)->Get(name); }
};

TEST(GeomTest, PackageArrivesWithSwf8) {
  GeomRig v7(7), v8(8);
  EXPECT_TRUE(v7.vm.global()->Get("flash").IsUndefined());
  EXPECT_EQ(v8.vm.TypeOf(v8.Class("Point")), "function");
  for (const char* cls : {"Rectangle", "Matrix", "ColorTransform", "Transform"})
    EXPECT_EQ(v8.vm.TypeOf(v8.Class(cls)), "function") << cls;
  // Reinstalling keeps the package objects other families may have added to.
  Object* flash = v8.vm.global()->Get("flash").object;
  InstallGeom(v8.vm, v8.vm.global());
  EXPECT_EQ(v8.vm.global()->Get("flash").object, flash);
}

TEST(GeomTest, PointConstructsFromWhatItIsGiven) {
  GeomRig rig;
  EXPECT_EQ(rig.Text(rig.New("Point")), "(x=0, y=0)");
  EXPECT_EQ(rig.Text(rig.New("Point", {N(7)})), "(x=7, y=undefined)");
  EXPECT_EQ(rig.Text(rig.New("Point", {S("a"), Value::Null()})), "(x=a, y=null)");
  // Plain properties: listed by for..in, own, and nothing else is.
  const Value p = rig.New("Point", {N(1), N(2)});
  EXPECT_EQ(p.object->EnumerableKeys(), (std::vector<std::string>{"y", "x"}));
  EXPECT_TRUE(p.object->HasOwn("x"));
  EXPECT_FALSE(p.object->HasOwn("length"));
}

TEST(GeomTest, PointArithmeticIsScriptArithmetic) {
  GeomRig rig;
  const Value p = rig.New("Point", {N(1), N(2)});
  EXPECT_EQ(rig.Text(rig.Call(p, "add", {rig.New("Point", {N(10), N(20)})})), "(x=11, y=22)");
  EXPECT_EQ(rig.Text(rig.Call(rig.New("Point", {S("1"), N(2)}), "add", {rig.New("Point", {N(3), N(4)})})),
            "(x=13, y=6)");
  EXPECT_EQ(rig.Text(rig.Call(p, "subtract", {rig.New("Point", {N(4), N(6)})})), "(x=-3, y=-4)");
  EXPECT_EQ(rig.Text(rig.Call(p, "add", {})), "(x=NaN, y=NaN)");
  EXPECT_EQ(rig.Text(p), "(x=1, y=2)");  // neither changes the point

  rig.Call(p, "offset", {N(5)});
  EXPECT_EQ(rig.Text(p), "(x=6, y=NaN)");

  EXPECT_EQ(rig.Field(rig.New("Point", {N(3), N(-4)}), "length").number, 5);
  const Value q = rig.New("Point", {N(3), N(4)});
  rig.Call(q, "normalize", {N(10)});
  EXPECT_EQ(rig.Text(q), "(x=6, y=8)");
  // No length to scale (NaN or zero): the point stays as it is.
  const Value r = rig.New("Point", {Value::Undefined(), N(4)});
  rig.Call(r, "normalize", {N(1)});
  EXPECT_EQ(rig.Text(r), "(x=undefined, y=4)");
}

TEST(GeomTest, PointStaticsAndComparison) {
  GeomRig rig;
  const Value a = rig.New("Point", {N(1), N(1)}), b = rig.New("Point", {N(4), N(5)});
  EXPECT_EQ(rig.Static("Point", "distance", {a, b}).number, 5);
  Object* plain = rig.vm.NewObject();
  plain->Set("x", N(1));
  plain->Set("y", N(1));
  // distance asks the first point to subtract: a plain object cannot.
  EXPECT_TRUE(rig.Static("Point", "distance", {Value::Obj(plain), b}).IsUndefined());
  EXPECT_EQ(rig.Text(rig.Static("Point", "interpolate",
                                {rig.New("Point", {N(10), N(20)}), rig.New("Point", {N(30), N(40)}), N(0.25)})),
            "(x=25, y=35)");
  EXPECT_EQ(rig.Text(rig.Static("Point", "polar", {N(2), N(0)})), "(x=2, y=0)");
  EXPECT_EQ(rig.Text(rig.Static("Point", "polar", {N(2)})), "(x=NaN, y=NaN)");

  EXPECT_TRUE(rig.Call(a, "equals", {rig.New("Point", {N(1), N(1)})}).boolean);
  EXPECT_FALSE(rig.Call(a, "equals", {Value::Obj(plain)}).boolean);
  const Value copy = rig.Call(b, "clone");
  EXPECT_NE(copy.object, b.object);
  EXPECT_EQ(rig.Text(copy), "(x=4, y=5)");
}

TEST(GeomTest, NewGeomObjectsGoThroughTheCurrentClasses) {
  GeomRig rig;
  Object* proto = rig.Field(rig.Class("Point"), "prototype").object;
  proto->Set("tag", S("patched"));
  proto->DefineNative("toString", [](Call&) { return Value::Str("P"); });
  const Value m = rig.New("Matrix");
  const Value p = rig.Call(m, "transformPoint", {rig.New("Point", {N(1), N(2)})});
  EXPECT_EQ(rig.Text(p), "P");
  EXPECT_EQ(rig.Text(rig.Field(p, "tag")), "patched");
  EXPECT_EQ(rig.Text(NewPoint(rig.vm, 3, 4)), "P");
}

TEST(GeomTest, RectangleEdgesMoveTheRightFields) {
  GeomRig rig;
  EXPECT_EQ(rig.Text(rig.New("Rectangle")), "(x=0, y=0, w=0, h=0)");
  const Value r = rig.New("Rectangle", {N(10), N(20), N(30), N(40)});
  EXPECT_EQ(rig.Field(r, "right").number, 40);
  EXPECT_EQ(rig.Field(r, "bottom").number, 60);
  EXPECT_EQ(rig.Text(rig.Field(r, "topLeft")), "(x=10, y=20)");
  EXPECT_EQ(rig.Text(rig.Field(r, "bottomRight")), "(x=40, y=60)");
  EXPECT_EQ(rig.Text(rig.Field(r, "size")), "(x=30, y=40)");

  r.object->Set("left", N(0));  // the right edge stays
  EXPECT_EQ(rig.Text(r), "(x=0, y=20, w=40, h=40)");
  r.object->Set("top", N(30));
  EXPECT_EQ(rig.Text(r), "(x=0, y=30, w=40, h=30)");
  r.object->Set("bottomRight", rig.New("Point", {N(50), N(70)}));
  EXPECT_EQ(rig.Text(r), "(x=0, y=30, w=50, h=40)");
  r.object->Set("size", rig.New("Point", {N(5), N(6)}));
  EXPECT_EQ(rig.Text(r), "(x=0, y=30, w=5, h=6)");
  // The accessors are the prototype's and hidden; the four fields are the instance's.
  EXPECT_EQ(r.object->EnumerableKeys(), (std::vector<std::string>{"height", "width", "y", "x"}));
}

TEST(GeomTest, RectangleGeometry) {
  GeomRig rig;
  const Value a = rig.New("Rectangle", {N(0), N(0), N(10), N(10)});
  const Value b = rig.New("Rectangle", {N(5), N(5), N(10), N(10)});
  const Value far = rig.New("Rectangle", {N(20), N(20), N(1), N(1)});
  EXPECT_TRUE(rig.Call(a, "contains", {N(0), N(9.5)}).boolean);
  EXPECT_FALSE(rig.Call(a, "contains", {N(10), N(5)}).boolean);  // the far edges are outside
  EXPECT_TRUE(rig.Call(a, "containsPoint", {rig.New("Point", {N(3), N(3)})}).boolean);
  EXPECT_TRUE(rig.Call(a, "containsRectangle", {rig.New("Rectangle", {N(1), N(1), N(9), N(9)})}).boolean);
  EXPECT_FALSE(rig.Call(a, "containsRectangle", {b}).boolean);

  EXPECT_EQ(rig.Text(rig.Call(a, "intersection", {b})), "(x=5, y=5, w=5, h=5)");
  EXPECT_EQ(rig.Text(rig.Call(a, "intersection", {far})), "(x=0, y=0, w=0, h=0)");
  EXPECT_TRUE(rig.Call(a, "intersects", {b}).boolean);
  EXPECT_FALSE(rig.Call(a, "intersects", {far}).boolean);
  EXPECT_EQ(rig.Text(rig.Call(a, "union", {b})), "(x=0, y=0, w=15, h=15)");
  const Value empty = rig.New("Rectangle");
  EXPECT_EQ(rig.Text(rig.Call(empty, "union", {b})), "(x=5, y=5, w=10, h=10)");

  EXPECT_TRUE(rig.Call(empty, "isEmpty").boolean);
  EXPECT_TRUE(rig.Call(rig.New("Rectangle", {N(0), N(0), N(NAN), N(5)}), "isEmpty").boolean);
  EXPECT_FALSE(rig.Call(a, "isEmpty").boolean);

  const Value c = rig.Call(a, "clone");
  rig.Call(c, "inflate", {N(1), N(2)});
  EXPECT_EQ(rig.Text(c), "(x=-1, y=-2, w=12, h=14)");
  rig.Call(c, "offsetPoint", {rig.New("Point", {N(1), N(2)})});
  EXPECT_EQ(rig.Text(c), "(x=0, y=0, w=12, h=14)");
  EXPECT_TRUE(rig.Call(a, "equals", {rig.New("Rectangle", {N(0), N(0), N(10), N(10)})}).boolean);
  EXPECT_FALSE(rig.Call(a, "equals", {c}).boolean);
  rig.Call(c, "setEmpty");
  EXPECT_EQ(rig.Text(c), "(x=0, y=0, w=0, h=0)");
}

TEST(GeomTest, MatrixConstructionAndToString) {
  GeomRig rig;
  EXPECT_EQ(rig.Text(rig.New("Matrix")), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
  EXPECT_EQ(rig.Text(rig.New("Matrix", {N(1), N(2)})), "(a=1, b=2, c=undefined, d=undefined, tx=undefined, ty=undefined)");
  const Value m = rig.New("Matrix", {N(1), N(2), Value::Obj(rig.vm.NewObject()), N(4), N(5), N(6), N(7)});
  const Value copy = rig.Call(m, "clone");
  EXPECT_NE(copy.object, m.object);
  EXPECT_EQ(rig.Text(copy), "(a=1, b=2, c=[object Object], d=4, tx=5, ty=6)");
  rig.Call(copy, "identity");
  EXPECT_EQ(rig.Text(copy), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
}

TEST(GeomTest, MatrixOperations) {
  GeomRig rig;
  const Value m = rig.New("Matrix", {N(1), N(2), N(3), N(4), N(5), N(6)});
  rig.Call(m, "concat", {rig.New("Matrix", {N(7), N(8), N(9), N(10), N(11), N(12)})});
  EXPECT_EQ(rig.Text(m), "(a=25, b=28, c=57, d=64, tx=100, ty=112)");

  const Value s = rig.New("Matrix", {N(1), N(1), N(1), N(1), N(1), N(1)});
  rig.Call(s, "scale", {N(2), N(3)});
  EXPECT_EQ(rig.Text(s), "(a=2, b=3, c=2, d=3, tx=2, ty=3)");
  rig.Call(s, "translate", {N(-2), N(7)});
  EXPECT_EQ(rig.Text(s), "(a=2, b=3, c=2, d=3, tx=0, ty=10)");

  const Value i = rig.New("Matrix", {N(2), N(0), N(0), N(4), N(6), N(8)});
  rig.Call(i, "invert");
  EXPECT_EQ(rig.Text(i), "(a=0.5, b=0, c=0, d=0.25, tx=-3, ty=-2)");

  const Value r = rig.New("Matrix");
  rig.Call(r, "rotate", {N(std::numbers::pi / 2)});
  EXPECT_NEAR(rig.Field(r, "a").number, 0, 1e-12);
  EXPECT_NEAR(rig.Field(r, "b").number, 1, 1e-12);
  EXPECT_NEAR(rig.Field(r, "c").number, -1, 1e-12);

  const Value box = rig.New("Matrix");
  rig.Call(box, "createBox", {N(2), N(3), N(0), N(5), N(6)});
  EXPECT_EQ(rig.Text(box), "(a=2, b=0, c=0, d=3, tx=5, ty=6)");
  // No rotation given: createBox has none to take the cosine of, createGradientBox takes 0.
  rig.Call(box, "createBox", {N(2), N(3)});
  EXPECT_EQ(rig.Text(box), "(a=NaN, b=NaN, c=NaN, d=NaN, tx=0, ty=0)");
  rig.Call(box, "createGradientBox", {N(1638.4), N(819.2)});
  EXPECT_EQ(rig.Text(box), "(a=1, b=0, c=0, d=0.5, tx=819.2, ty=409.6)");

  const Value t = rig.New("Matrix", {N(2), N(0), N(0), N(2), N(10), N(20)});
  EXPECT_EQ(rig.Text(rig.Call(t, "transformPoint", {rig.New("Point", {N(1), N(1)})})), "(x=12, y=22)");
  EXPECT_EQ(rig.Text(rig.Call(t, "deltaTransformPoint", {rig.New("Point", {N(1), N(1)})})), "(x=2, y=2)");
  EXPECT_EQ(rig.Text(rig.Call(t, "transformPoint")), "(x=NaN, y=NaN)");
}

TEST(GeomTest, ColorTransformFieldsConvertAndCombine) {
  GeomRig rig;
  const Value ct = rig.New("ColorTransform");
  EXPECT_EQ(rig.Text(ct),
            "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
            "greenOffset=0, blueOffset=0, alphaOffset=0)");
  ct.object->Set("redMultiplier", S("x"));
  ct.object->Set("blueOffset", S("12"));
  EXPECT_TRUE(std::isnan(rig.Field(ct, "redMultiplier").number));
  EXPECT_EQ(rig.Field(ct, "blueOffset").number, 12);
  EXPECT_FALSE(ct.object->HasOwn("blueOffset"));  // the fields live behind the prototype

  const Value tint = rig.New("ColorTransform", {N(1), N(1), N(1), N(1), N(16), N(32), N(48), N(0)});
  EXPECT_EQ(rig.Field(tint, "rgb").number, 0x102030);
  tint.object->Set("rgb", N(0xABCDEF + 0.7));
  EXPECT_EQ(rig.Text(tint),
            "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=171, "
            "greenOffset=205, blueOffset=239, alphaOffset=0)");

  const Value a = rig.New("ColorTransform", {N(2), N(2), N(2), N(2), N(1), N(2), N(3), N(4)});
  const Value b = rig.New("ColorTransform", {N(0.5), N(0.25), N(1), N(3), N(10), N(20), N(30), N(40)});
  rig.Call(a, "concat", {b});  // b first, then a
  EXPECT_EQ(rig.Text(a),
            "(redMultiplier=1, greenMultiplier=0.5, blueMultiplier=2, alphaMultiplier=6, redOffset=21, "
            "greenOffset=42, blueOffset=63, alphaOffset=84)");
  rig.Call(a, "concat", {Value::Obj(rig.vm.NewObject())});  // not a colour transform: nothing
  EXPECT_EQ(rig.Field(a, "redOffset").number, 21);
}

TEST(GeomTest, ColorTransformPrototypeIsListedAndSubclassable) {
  GeomRig rig;
  Object* proto = rig.Field(rig.Class("ColorTransform"), "prototype").object;
  const std::vector<std::string> keys = proto->EnumerableKeys();
  ASSERT_GE(keys.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 3), (std::vector<std::string>{"toString", "concat", "rgb"}));
  EXPECT_EQ(keys[10], "alphaMultiplier");

  // A subclass's constructor calls the class on its own object.
  Object* sub = rig.vm.NewObject();
  Object* chain = rig.vm.NewObject();
  chain->SetProto(proto);
  sub->SetProto(chain);
  const Value r = rig.vm.CallValue(rig.Class("ColorTransform"), Value::Obj(sub), {});
  EXPECT_EQ(r.object, sub);
  sub->Set("redOffset", N(100));
  EXPECT_EQ(sub->Get("redOffset").number, 100);
  EXPECT_EQ(sub->Get("redMultiplier").number, 1);
  double out[8];
  ASSERT_TRUE(ReadColorTransform(Value::Obj(sub), out));
  EXPECT_EQ(out[4], 100);
  EXPECT_FALSE(ReadColorTransform(Value::Obj(chain), out));
  EXPECT_TRUE(rig.Field(Value::Obj(proto), "redMultiplier").IsUndefined());
}

TEST(GeomTest, TransformWithoutAClipHasNothing) {
  GeomRig rig;
  for (const Value& arg : {Value::Undefined(), Value::Obj(rig.vm.NewObject())}) {
    const Value t = rig.New("Transform", {arg});
    for (const char* name : {"matrix", "concatenatedMatrix", "colorTransform", "concatenatedColorTransform", "pixelBounds"})
      EXPECT_TRUE(rig.Field(t, name).IsUndefined()) << name;
  }
}

}  // namespace
}  // namespace quillon::player::avm1::testing
