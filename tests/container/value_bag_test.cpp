#include <gtest/gtest.h>

#include "property_bag.h"

namespace quillon::container {
namespace {

TEST(PropertyBagKeys, AreMatchedWithoutRegardToCaseAndWrittenInLowerCase) {
  PropertyBag bag;
  bag.Write(L"ButtonStyle", std::int32_t{3}, std::int32_t{1});
  ASSERT_EQ(bag.Size(), 1u);
  EXPECT_EQ(bag.Entries()[0].key, L"buttonstyle");
  EXPECT_EQ(bag.ReadInt32(L"BUTTONSTYLE", 1), 3);
  EXPECT_EQ(bag.ReadInt32(L"buttonStyle", 1), 3);
  // Writing again under another case replaces, never duplicates.
  bag.Write(L"BUTTONSTYLE", std::int32_t{5}, std::int32_t{1});
  ASSERT_EQ(bag.Size(), 1u);
  EXPECT_EQ(bag.ReadInt32(L"ButtonStyle", 1), 5);
}

TEST(PropertyBagDefaults, MissingKeyReadsItsDefaultAndWriteEqualToDefaultLeavesNoEntry) {
  PropertyBag bag;
  EXPECT_EQ(bag.ReadInt32(L"Mode", 7), 7);
  EXPECT_EQ(bag.ReadText(L"Caption", L"x"), L"x");
  EXPECT_FALSE(bag.ReadPicture(L"PictureNormal", nullptr));
  bag.Write(L"Mode", std::int32_t{0}, std::int32_t{0});
  EXPECT_TRUE(bag.Empty()) << "a value equal to its write default must not be stored";
  bag.Write(L"Mode", std::int32_t{2}, std::int32_t{0});
  EXPECT_TRUE(bag.Contains(L"mode"));
  // A later write of the default removes the stale entry rather than keeping 2.
  bag.Write(L"Mode", std::int32_t{0}, std::int32_t{0});
  EXPECT_FALSE(bag.Contains(L"mode"));
}

TEST(PropertyBagDefaults, ADefaultOfAnotherTypeNeverEqualsSoTheKeyIsAlwaysWritten) {
  PropertyBag bag;
  bag.Write(L"CaptionEffects", std::int32_t{0}, std::wstring());
  EXPECT_TRUE(bag.Contains(L"captioneffects"));
  bag.Write(L"Enabled", true, std::int32_t{-1});
  EXPECT_TRUE(bag.Contains(L"enabled"));
}

TEST(PropertyBagTypes, NumbersAndBooleansConvertAndOverflowIsAnError) {
  PropertyBag bag;
  bag.Set(L"a", std::int32_t{-1});
  bag.Set(L"b", std::int32_t{300});
  bag.Set(L"c", std::wstring(L" 42 "));
  bag.Set(L"d", true);
  bag.Set(L"e", std::uint8_t{200});
  EXPECT_TRUE(bag.ReadBool(L"a", false));
  EXPECT_EQ(bag.ReadInt16(L"b", 0), 300);
  EXPECT_EQ(bag.ReadInt32(L"c", 0), 42);
  EXPECT_EQ(bag.ReadInt32(L"d", 0), -1) << "True is all bits set";
  EXPECT_EQ(bag.ReadInt32(L"e", 0), 200);
  EXPECT_EQ(bag.ReadText(L"b", L""), L"300");
  try {
    (void)bag.ReadByte(L"b", 0);
    FAIL() << "300 does not fit a byte";
  } catch (const BagError& e) {
    EXPECT_EQ(e.Key(), L"b");
  }
}

TEST(PropertyBagTypes, GarbageAndWrongKindsRaiseABagErrorNamingTheKey) {
  PropertyBag bag;
  bag.Set(L"style", std::wstring(L"three"));
  bag.Set(L"font", std::int32_t{1});
  bag.Set(L"pic", std::wstring(L"x"));
  bag.Set(L"caption", FontDescription{});
  EXPECT_THROW((void)bag.ReadInt32(L"Style", 1), BagError);
  EXPECT_THROW((void)bag.ReadFont(L"Font", FontDescription{}), BagError);
  EXPECT_THROW((void)bag.ReadPicture(L"Pic", nullptr), BagError);
  EXPECT_THROW((void)bag.ReadText(L"Caption", L""), BagError);
  bag.Set(L"big", std::wstring(L"99999999999999999999"));
  EXPECT_THROW((void)bag.ReadInt32(L"big", 0), BagError);
}

TEST(ValueEquality, PicturesCompareByContentAndNullEqualsEmpty) {
  auto a = MakePicture(Picture::Kind::Bitmap, 2, 1, 24, false, {0xFF000000u, 0xFFFFFFFFu});
  auto b = MakePicture(Picture::Kind::Bitmap, 2, 1, 24, false, {0xFF000000u, 0xFFFFFFFFu});
  auto c = MakePicture(Picture::Kind::Icon, 2, 1, 32, true, {0x00000000u, 0xFFFFFFFFu});
  EXPECT_TRUE(SameValue(Value(a), Value(b)));
  EXPECT_FALSE(SameValue(Value(a), Value(c)));
  EXPECT_TRUE(SameValue(Value(PicturePtr()), Value()));
  EXPECT_FALSE(SameValue(Value(std::int32_t{1}), Value(std::int16_t{1})));
}

TEST(PictureSizes, HimetricFollowsPixelsAt96Dpi) {
  // 96 px is one inch, 2540 HIMETRIC; 201 px is 201 * 2540 / 96 = 5318.1 -> 5318.
  EXPECT_EQ(PixelsToHimetric(96), 2540);
  EXPECT_EQ(PixelsToHimetric(201), 5318);
  EXPECT_EQ(PixelsToHimetric(33), 873);
  auto p = MakePicture(Picture::Kind::Bitmap, 97, 33, 8, false, std::vector<std::uint32_t>(97 * 33));
  EXPECT_EQ(p->himetricWidth, 2566);
  EXPECT_EQ(p->himetricHeight, 873);
  EXPECT_THROW(MakePicture(Picture::Kind::Bitmap, 2, 2, 32, false, {1, 2, 3}), ValueError);
}

}  // namespace
}  // namespace quillon::container
