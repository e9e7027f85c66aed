// BitmapData: premultiplied storage and its rounding, clipping, copies with alpha and merging,
// compare's results, the script class's size limits and disposal, and a bitmap attached to a
// clip showing its live pixels. Expected colours are worked out from the premultiplying
// arithmetic: stored c * a / 255 rounded, read back c * 255 / a rounded, and src + floor(dest *
// (255 - srcAlpha) / 255) for laying one colour over another.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "avm1/assembler.h"
#include "avm1/classes/bitmap_data.h"
#include "avm1/fake_host.h"
#include "display/player.h"
#include "render/bitmap_surface.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

TEST(BitmapSurfaceTest, SemiTransparentColoursReadBackRounded) {
  BitmapSurface s(2, 1, true, 0);
  // Alpha 0x45 (69): red 17 stores 5 and reads 18, green 34 stores 9 and reads 33, blue 51
  // stores 14 and reads 52.
  s.SetPixel32(0, 0, 0x45112233);
  EXPECT_EQ(s.GetPixel32(0, 0), 0x45122134u);
  EXPECT_EQ(s.Premultiplied(0, 0), 0x4505090Eu);
  // Nothing of a colour with no alpha stays.
  s.SetPixel32(1, 0, 0x00FFFFFF);
  EXPECT_EQ(s.GetPixel32(1, 0), 0u);
  // setPixel keeps the alpha: red 255 at alpha 128 stores 128, which reads back 255.
  s.SetPixel32(1, 0, 0x80000000);
  s.SetPixel(1, 0, 0xFF0000);
  EXPECT_EQ(s.GetPixel32(1, 0), 0x80FF0000u);
  EXPECT_EQ(s.GetPixel32(5, 0), 0u) << "outside reads as nothing";
}

TEST(BitmapSurfaceTest, OpaqueBitmapsIgnoreAlpha) {
  BitmapSurface s(1, 1, false, 0x80FFFFFF);
  EXPECT_EQ(s.GetPixel32(0, 0), 0xFFFFFFFFu);
  s.SetPixel32(0, 0, 0x12345678);
  EXPECT_EQ(s.GetPixel32(0, 0), 0xFF345678u);
}

TEST(BitmapSurfaceTest, StorageLosesNothingOfThePremultipliedValue) {
  // Every premultiplied value (channel at most alpha) survives the trip through the straight
  // colour the display reads.
  for (std::uint32_t a = 0; a < 256; ++a)
    for (std::uint32_t c = 0; c <= a; ++c) {
      const std::uint32_t p = (a << 24) | (c << 16) | (c << 8) | c;
      ASSERT_EQ(BitmapSurface::Premultiply(BitmapSurface::Unmultiply(p)), a ? p : 0u) << a << " " << c;
    }
}

TEST(BitmapSurfaceTest, FillRectIsClippedToTheBitmap) {
  BitmapSurface s(4, 3, true, 0);
  s.FillRect({-2, 1, 4, 5}, 0xFF00FF00);
  s.FillRect({2, 0, 1 << 30, 1}, 0xFFFF0000);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      std::uint32_t want = 0;
      if (y == 0 && x >= 2) want = 0xFFFF0000u;
      if (y >= 1 && x <= 1) want = 0xFF00FF00u;
      EXPECT_EQ(s.GetPixel32(x, y), want) << x << "," << y;
    }
  EXPECT_TRUE(s.Clip({10, 10, 5, 5}).empty());
}

TEST(BitmapSurfaceTest, CopyPixelsMergesReplacesAndScalesByAnAlphaBitmap) {
  // Merging 0x22445566 (stored 34: 9, 11, 14) over 0x45112233 (69: 5, 9, 14): alpha
  // 34 + floor(69 * 221 / 255) = 93, colours 13, 18, 26, which read back 0x24, 0x31, 0x47.
  BitmapSurface dest(2, 1, true, 0x45112233), src(1, 1, true, 0x22445566);
  dest.CopyPixels(src, {0, 0, 1, 1}, 0, 0, nullptr, 0, 0, true);
  EXPECT_EQ(dest.GetPixel32(0, 0), 0x5D243147u);
  // Without merging the source replaces the destination.
  dest.CopyPixels(src, {0, 0, 1, 1}, 1, 0, nullptr, 0, 0, false);
  EXPECT_EQ(dest.GetPixel32(1, 0), src.GetPixel32(0, 0));

  // An alpha bitmap 2 wide scales the source by its alpha: 128 makes 0xFF804020 store
  // (128, 64, 32, 16), read back 0x80804020; 0 leaves nothing; past its edge nothing is copied.
  BitmapSurface blue(3, 1, true, 0xFF0000FF), opaque(3, 1, false, 0xFF804020), alpha(2, 1, true, 0);
  alpha.SetPixel32(0, 0, 0x80000000);
  blue.CopyPixels(opaque, {0, 0, 3, 1}, 0, 0, &alpha, 0, 0, false);
  EXPECT_EQ(blue.GetPixel32(0, 0), 0x80804020u);
  EXPECT_EQ(blue.GetPixel32(1, 0), 0u);
  EXPECT_EQ(blue.GetPixel32(2, 0), 0xFF0000FFu);

  // Onto an opaque bitmap the source is laid over: 0xF00E0E0E stores 13 at alpha 240, over
  // black that stays 13 at full alpha.
  BitmapSurface black(1, 1, false, 0xFF000000), dim(1, 1, true, 0xF00E0E0E);
  black.CopyPixels(dim, {0, 0, 1, 1}, 0, 0, nullptr, 0, 0, false);
  EXPECT_EQ(black.GetPixel32(0, 0), 0xFF0D0D0Du);
}

TEST(BitmapSurfaceTest, CopyPixelsOntoItselfReadsTheOldPixels) {
  BitmapSurface s(3, 1, false, 0);
  s.SetPixel(0, 0, 0x000001);
  s.CopyPixels(s, {0, 0, 2, 1}, 1, 0, nullptr, 0, 0, false);
  EXPECT_EQ(s.GetPixel32(1, 0), 0xFF000001u);
  EXPECT_EQ(s.GetPixel32(2, 0), 0xFF000000u) << "pixel 1 moved before it was overwritten";
}

TEST(BitmapSurfaceTest, ChannelsFloodsBoundsThresholdsAndTransforms) {
  BitmapSurface s(3, 3, false, 0xFF000000);
  s.FillRect({1, 1, 2, 2}, 0xFF123456);
  BitmapSurface d(3, 3, false, 0xFF000000);
  d.CopyChannel(s, {0, 0, 3, 3}, 0, 0, kGreenChannel, kRedChannel);
  EXPECT_EQ(d.GetPixel32(2, 2), 0xFF340000u);
  EXPECT_EQ(d.GetPixel32(0, 0), 0xFF000000u);

  const PixelRect box = s.ColorBounds(0xFFFFFFFF, 0xFF123456, true);
  EXPECT_EQ(box.x, 1);
  EXPECT_EQ(box.y, 1);
  EXPECT_EQ(box.width, 2);
  EXPECT_EQ(box.height, 2);
  const PixelRect other = s.ColorBounds(0xFFFFFFFF, 0xFF123456, false);
  EXPECT_EQ(other.width, 3);
  EXPECT_EQ(other.height, 3);

  s.FloodFill(0, 0, 0xFFFFFFFF);  // the L of black around the square
  EXPECT_EQ(s.GetPixel32(0, 2), 0xFFFFFFFFu);
  EXPECT_EQ(s.GetPixel32(2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(s.GetPixel32(1, 1), 0xFF123456u);

  BitmapSurface t(3, 3, false, 0);
  // Four pixels have blue 0x56; the others (now white) are copied as they are.
  EXPECT_EQ(t.Threshold(s, {0, 0, 3, 3}, 0, 0, "==", 0x56, 0xFF00FF00, 0xFF, true), 4);
  EXPECT_EQ(t.GetPixel32(1, 1), 0xFF00FF00u);
  EXPECT_EQ(t.GetPixel32(0, 0), 0xFFFFFFFFu);

  // Red 0x12 (18) * 0.5 + 10 = 19; green 0x34 * 2 = 104; blue 0x56 + 300 saturates.
  const double ct[8] = {0.5, 2, 1, 1, 10, 0, 300, 0};
  s.ColorTransform({1, 1, 1, 1}, ct);
  EXPECT_EQ(s.GetPixel32(1, 1), 0xFF1368FFu);
  EXPECT_EQ(s.GetPixel32(2, 2), 0xFF123456u) << "outside the rectangle";
}

TEST(BitmapSurfaceTest, DifferencesNameColourOrAlphaChanges) {
  BitmapSurface a(3, 1, true, 0xFFAABBCC), b(3, 1, true, 0xFFAABBCC);
  EXPECT_EQ(BitmapSurface::Differences(a, b), nullptr);
  b.SetPixel32(0, 0, 0xFFDDEEFF);  // 0xAA - 0xDD wraps to 0xCD, and so on
  b.SetPixel32(1, 0, 0xFEAABBCC);  // the same colour once premultiplied: alpha alone differs
  auto diff = BitmapSurface::Differences(a, b);
  ASSERT_NE(diff, nullptr);
  EXPECT_EQ(diff->GetPixel32(0, 0), 0xFFCDCDCDu);
  EXPECT_EQ(diff->GetPixel32(1, 0), 0x01FFFFFFu);
  EXPECT_EQ(diff->GetPixel32(2, 0), 0u);
}

TEST(BitmapSurfaceTest, HitTestsCountPixelsWithEnoughAlpha) {
  BitmapSurface s(4, 4, true, 0), other(2, 2, false, 0);
  s.FillRect({1, 1, 2, 2}, 0x80FFFFFF);
  EXPECT_FALSE(s.AnyAlphaAtLeast({0, 0, 1, 1}, 1));
  EXPECT_TRUE(s.AnyAlphaAtLeast({0, 0, 2, 2}, 0x80));
  EXPECT_FALSE(s.AnyAlphaAtLeast({0, 0, 2, 2}, 0x81));
  // `other` at (3, 3) shares only s's empty corner pixel; at (2, 2) it covers a filled one.
  EXPECT_FALSE(s.Overlaps(0, 0, 1, other, 3, 3, 1));
  EXPECT_TRUE(s.Overlaps(0, 0, 1, other, 2, 2, 1));
  EXPECT_TRUE(s.Overlaps(10, 10, 1, other, 12, 12, 1)) << "only the positions' difference counts";
  EXPECT_FALSE(s.Overlaps(0, 0, 1, other, 2, 2, 256)) << "no alpha reaches 256";
}

// ---- the script class ----

struct BitmapRig : avm1::testing::Rig {
  BitmapRig() : Rig(8) {}
  avm1::Value Class() {
    avm1::Object* flash = vm.ToObject(vm.global()->Get("flash"));
    avm1::Object* display = flash ? vm.ToObject(flash->Get("display")) : nullptr;
    return display ? display->Get("BitmapData") : avm1::Value{};
  }
  avm1::Value New(std::vector<avm1::Value> args) { return vm.Construct(Class(), args); }
  avm1::Value Call(const avm1::Value& self, const char* method, std::vector<avm1::Value> args = {}) {
    return vm.CallMethod(vm.ToObject(self), method, args);
  }
  double Num(const avm1::Value& v) { return vm.ToNumber(v); }
};

avm1::Value N(double n) { return avm1::Value::Num(n); }

TEST(BitmapDataTest, SizesOutOfRangeGiveUndefined) {
  BitmapRig rig;
  EXPECT_TRUE(rig.New({N(8191), N(1)}).IsObject());
  EXPECT_TRUE(rig.New({N(8192), N(1)}).IsUndefined());
  EXPECT_TRUE(rig.New({N(1), N(8192)}).IsUndefined());
  EXPECT_TRUE(rig.New({N(0), N(5)}).IsUndefined());
  EXPECT_TRUE(rig.New({}).IsUndefined());
  EXPECT_TRUE(BitmapSurface::SizeAllowed(4095, 4096));
  EXPECT_FALSE(BitmapSurface::SizeAllowed(4096, 4096)) << "16777216 pixels is one too many";
  avm1::testing::Rig old(7);
  EXPECT_TRUE(old.vm.global()->Get("flash").IsUndefined());
}

TEST(BitmapDataTest, PropertiesPixelsAndDisposal) {
  BitmapRig rig;
  const avm1::Value b = rig.New({N(3), N(2), avm1::Value::Bool(false), N(0x123456)});
  EXPECT_EQ(rig.Num(rig.vm.ToObject(b)->Get("width")), 3);
  EXPECT_EQ(rig.Num(rig.vm.ToObject(b)->Get("height")), 2);
  EXPECT_FALSE(rig.vm.ToBool(rig.vm.ToObject(b)->Get("transparent")));
  EXPECT_EQ(rig.vm.ToString(rig.vm.ToObject(b)->Get("rectangle")), "(x=0, y=0, w=3, h=2)");
  // Opaque pixels read as negative 32-bit numbers.
  EXPECT_EQ(rig.Num(rig.Call(b, "getPixel32", {N(0), N(0)})), static_cast<double>(static_cast<std::int32_t>(0xFF123456u)));
  EXPECT_EQ(rig.Num(rig.Call(b, "getPixel", {N(2.9), N(1)})), 0x123456);
  rig.Call(b, "setPixel", {N(1), N(1), N(0xABCDEF)});
  EXPECT_EQ(rig.Num(rig.Call(b, "getPixel", {N(1), N(1)})), 0xABCDEF);

  const avm1::Value copy = rig.Call(b, "clone");
  rig.Call(b, "dispose");
  EXPECT_EQ(rig.Num(rig.vm.ToObject(b)->Get("width")), -1);
  EXPECT_EQ(rig.Num(rig.vm.ToObject(b)->Get("height")), -1);
  EXPECT_TRUE(rig.Call(b, "getPixel", {N(1), N(1)}).IsUndefined());
  EXPECT_EQ(avm1::SurfaceOf(b), nullptr);
  EXPECT_EQ(rig.Num(rig.Call(copy, "getPixel", {N(1), N(1)})), 0xABCDEF) << "the clone keeps its own pixels";
  EXPECT_EQ(rig.Num(rig.Class().object->Get("ALPHA_CHANNEL")), 8);

  // hitTest against a point: where the bitmap stands at (10, 10), (11, 12) is inside it.
  const avm1::Value hit = rig.New({N(2), N(3), avm1::Value::Bool(true), N(0)});
  rig.Call(hit, "setPixel32", {N(1), N(2), N(0xFF000000)});
  auto point = [&](double x, double y) {
    avm1::Object* p = rig.vm.NewObject();
    p->Set("x", N(x));
    p->Set("y", N(y));
    return avm1::Value::Obj(p);
  };
  EXPECT_TRUE(rig.vm.ToBool(rig.Call(hit, "hitTest", {point(10, 10), N(255), point(11, 12)})));
  EXPECT_FALSE(rig.vm.ToBool(rig.Call(hit, "hitTest", {point(10, 10), N(255), point(10, 12)})));
  EXPECT_FALSE(rig.vm.ToBool(rig.Call(hit, "hitTest", {point(10, 10), N(1), point(12, 12)}))) << "outside";
}

TEST(BitmapDataTest, CompareResults) {
  BitmapRig rig;
  auto make = [&](double w, double h) { return rig.New({N(w), N(h), avm1::Value::Bool(true), N(0xFFAABBCC)}); };
  const avm1::Value a = make(2, 2);
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {make(2, 2)})), 0);
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {make(3, 2)})), -3);
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {make(2, 3)})), -4);
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {make(3, 3)})), -3) << "widths are checked first";
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {avm1::Value::Str("x")})), -2);
  const avm1::Value gone = make(2, 2);
  rig.Call(gone, "dispose");
  EXPECT_EQ(rig.Num(rig.Call(a, "compare", {gone})), -2);
  EXPECT_EQ(rig.Num(rig.Call(gone, "compare", {a})), -1);
  const avm1::Value proto = rig.vm.ToObject(rig.Class())->Get("prototype");
  const avm1::Value args[] = {a};
  EXPECT_EQ(rig.Num(rig.vm.CallValue(rig.vm.ToObject(proto)->Get("compare"), avm1::Value::Str("x"), args)), -1);

  const avm1::Value b = make(2, 2);
  rig.Call(b, "setPixel32", {N(1), N(0), N(0xFFDDEEFF)});
  const avm1::Value diff = rig.Call(a, "compare", {b});
  ASSERT_TRUE(diff.IsObject());
  EXPECT_EQ(rig.Num(rig.Call(diff, "getPixel32", {N(1), N(0)})), static_cast<double>(static_cast<std::int32_t>(0xFFCDCDCDu)));
  EXPECT_EQ(rig.Num(rig.Call(diff, "getPixel32", {N(0), N(0)})), 0);
}

// ---- on the stage ----

using avm1::testing::Asm;
namespace ops = avm1::testing;

// bmp = new flash.display.BitmapData(10, 5, false, 0xFF0000), shown by a new clip "c" at depth 1.
Asm AttachScript() {
  Asm a;
  a.Push("bmp");
  a.Push(16711680.0, false, 5.0, 10.0, 4);
  a.Push("flash").Op(ops::kGetVariable).Push("display").Op(ops::kGetMember).Push("BitmapData").Op(ops::kNewMethod);
  a.Op(ops::kSetVariable);
  a.Push(1.0, "c", 2, "this").Op(ops::kGetVariable).Push("createEmptyMovieClip").Op(ops::kCallMethod).Op(ops::kPop);
  a.Push(1.0, "bmp").Op(ops::kGetVariable).Push(2, "c").Op(ops::kGetVariable).Push("attachBitmap");
  a.Op(ops::kCallMethod).Op(ops::kPop);
  a.Push("c").Op(ops::kGetVariable).Push("_width").Op(ops::kGetMember).Op(ops::kTrace);
  a.Push("c").Op(ops::kGetVariable).Push("_height").Op(ops::kGetMember).Op(ops::kTrace);
  // A change after attaching shows: the clip draws the bitmap as it is now.
  a.Push(65280.0, 0.0, 0.0, 3, "bmp").Op(ops::kGetVariable).Push("setPixel").Op(ops::kCallMethod).Op(ops::kPop);
  a.Push("c").Op(ops::kGetVariable).Push("_x").Push(20.0).Op(ops::kSetMember);
  return a;
}

TEST(BitmapDataTest, AttachedBitmapShowsItsLivePixelsAndSizesTheClip) {
  const auto movie = LoadMovie(test::MovieFile(40, 20, {test::DoActionTag(AttachScript().Code()), test::ShowFrame()})).movie;
  ASSERT_NE(movie, nullptr);
  Player player(movie);
  std::vector<std::string> lines;
  player.onTrace = [&](const std::string& l) { lines.push_back(l); };
  player.Tick();
  EXPECT_EQ(lines, (std::vector<std::string>{"10", "5"}));
  Canvas c(40, 20, {});
  player.Render(c, Quality::Low);
  EXPECT_EQ(c.at(20, 0), (Rgba{0, 255, 0, 255})) << "the pixel set after attaching";
  EXPECT_EQ(c.at(21, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(c.at(29, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(c.at(30, 4), (Rgba{255, 255, 255, 255})) << "past the bitmap the stage shows";
  EXPECT_EQ(c.at(19, 0), (Rgba{255, 255, 255, 255}));
}

// A 2 x 1 DefineBitsLossless2 (32-bit, premultiplied ARGB) exported as "pic".
std::vector<test::Bytes> ExportedBitmap() {
  const std::uint8_t argb[] = {0x80, 0x40, 0x20, 0x10, 0xFF, 0x12, 0x34, 0x56};
  std::vector<std::uint8_t> packed(compressBound(sizeof argb));
  uLongf size = static_cast<uLongf>(packed.size());
  EXPECT_EQ(compress2(packed.data(), &size, argb, sizeof argb, 9), Z_OK);
  test::Bytes body;
  test::U16(body, 7);
  body.push_back(5);
  test::U16(body, 2);
  test::U16(body, 1);
  body.insert(body.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
  test::Bytes exports;
  test::U16(exports, 1);
  test::U16(exports, 7);
  for (char ch : std::string("pic")) exports.push_back(static_cast<std::uint8_t>(ch));
  exports.push_back(0);
  return {test::Tag(36, body), test::Tag(56, exports)};
}

TEST(BitmapDataTest, LoadBitmapCopiesAnExportedBitmap) {
  // trace(BitmapData.loadBitmap(name).getPixel32(x, 0)) for "pic" at 0 and 1, then "none".
  Asm a;
  auto load = [&a](const char* name) {
    a.Push(name, 1).Push("flash").Op(ops::kGetVariable).Push("display").Op(ops::kGetMember).Push("BitmapData");
    a.Op(ops::kGetMember).Push("loadBitmap").Op(ops::kCallMethod);
  };
  for (double x : {0.0, 1.0}) {
    a.Push(0.0, x, 2);
    load("pic");
    a.Push("getPixel32").Op(ops::kCallMethod).Op(ops::kTrace);
  }
  load("none");
  a.Op(ops::kTrace);
  std::vector<test::Bytes> tags = ExportedBitmap();
  tags.push_back(test::DoActionTag(a.Code()));
  tags.push_back(test::ShowFrame());
  const auto movie = LoadMovie(test::MovieFile(10, 10, tags)).movie;
  ASSERT_NE(movie, nullptr);
  Player player(movie);
  std::vector<std::string> lines;
  player.onTrace = [&](const std::string& l) { lines.push_back(l); };
  player.Tick();
  // (128; 64, 32, 16) reads back 0x80804020; the opaque pixel as it is, as a negative number.
  EXPECT_EQ(lines, (std::vector<std::string>{std::to_string(0x80804020 - 0x100000000LL),
                                             std::to_string(0xFF123456 - 0x100000000LL), "undefined"}));
}

}  // namespace
}  // namespace quillon::player
