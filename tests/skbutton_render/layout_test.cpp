// Caption, picture and symbol rectangles for a fixed caption measurement.
#include <gtest/gtest.h>

#include <memory>

#include "layout.h"

namespace quillon::render {
namespace {

PictureRef Picture(int w, int h) {
  return container::MakePicture(PictureKind::Bitmap, w, h, 24, false,
                                std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0));
}

struct Fixture {
  PaintInput in;
  Size text{40, 13};
  int measuredRight = -1;
  int width = 100;
  int height = 25;
  int state = 0;
  CaptionLayout previous;

  Fixture() {
    in.caption = L"Caption";
    in.buttonStyle = 3;
  }
  CaptionLayout Run() {
    return LayoutCaption(in, state, width, height,
                         [this](const Rect& bounds) {
                           measuredRight = bounds.right;
                           EXPECT_EQ(bounds.left, 0);
                           EXPECT_EQ(bounds.top, 0);
                           EXPECT_EQ(bounds.bottom, height);
                           return text;
                         },
                         previous);
  }
};

TEST(CaptionLayout, AlignmentsWithoutPicture) {
  Fixture f;
  f.in.captionAlign = 0;
  EXPECT_EQ(f.Run().captionRect, (Rect{2, 6, 42, 19}));
  EXPECT_EQ(f.measuredRight, 92);
  f.in.captionAlign = 1;
  EXPECT_EQ(f.Run().captionRect, (Rect{30, 6, 70, 19}));
  f.in.captionAlign = 2;
  EXPECT_EQ(f.Run().captionRect, (Rect{56, 6, 96, 19}));
  // Outside 0..2 the measured rectangle stays at the top-left corner.
  f.in.captionAlign = 7;
  EXPECT_EQ(f.Run().captionRect, (Rect{0, 0, 40, 13}));
}

TEST(CaptionLayout, TallCaptionMovesUpByTruncatedHalf) {
  Fixture f;
  f.text = {40, 28};  // TH - H = 3: (25 - 28) div 2 = -1
  f.in.captionAlign = 0;
  EXPECT_EQ(f.Run().captionRect.top, -1);
}

TEST(CaptionLayout, DropDownNarrowsMeasureAndPlacesSymbol) {
  Fixture f;
  f.in.dropDownSymbol = 6;
  f.in.captionAlign = 1;
  CaptionLayout l = f.Run();
  EXPECT_EQ(f.measuredRight, 84);
  EXPECT_EQ(l.captionRect.left, 22);  // 30 - 8
  EXPECT_EQ(l.symbolRect, (Rect{85, 6, 100, 20}));
  f.in.captionAlign = 2;
  EXPECT_EQ(f.Run().captionRect.left, 40);  // 56 - 16
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 2;
  f.Run();
  EXPECT_EQ(f.measuredRight, 76);
  f.in.pictureAlign = 3;
  f.Run();
  EXPECT_EQ(f.measuredRight, 76);
  // The separator alone reserves the strip too.
  Fixture g;
  g.in.dropDownSeparator = true;
  g.Run();
  EXPECT_EQ(g.measuredRight, 84);
}

TEST(SymbolRect, HalfHeightsRoundToEven) {
  EXPECT_EQ(SymbolRect(100, 25), (Rect{85, 6, 100, 20}));
  EXPECT_EQ(SymbolRect(100, 23), (Rect{85, 4, 100, 20}));
  EXPECT_EQ(SymbolRect(100, 24), (Rect{85, 5, 100, 20}));
}

TEST(CaptionLayout, CentredCaptionAndPictureLeftOfIt) {
  Fixture f;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 1;
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect.left, 38);  // 8 right of the 30 without a picture
  EXPECT_EQ(l.pictureRect, (Rect{18, 4, 34, 20}));
  EXPECT_EQ(l.captionRect.left - l.pictureRect.right, 4);
}

TEST(CaptionLayout, LeftEdgePictureWithLeftCaption) {
  Fixture f;
  f.in.captionAlign = 0;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 0;
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect.left, 20);
  EXPECT_EQ(l.captionRect.right, 62);  // 2 wider than measured
  EXPECT_EQ(l.pictureRect, (Rect{3, 4, 19, 20}));
}

TEST(CaptionLayout, RightOfCaptionCutsLongCaption) {
  Fixture f;
  f.text = {90, 13};
  f.in.captionAlign = 0;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 3;
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect.right, 80);   // W - PW - 4
  EXPECT_EQ(l.captionRect.left, -18);   // 2 - (PW + 4)
  EXPECT_EQ(l.pictureRect.left, 84);
  EXPECT_EQ(l.pictureRect.right, 100);
}

TEST(CaptionLayout, RightEdgePictureWithCentredCaption) {
  Fixture f;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 2;
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect.left, 26);  // 38 - 12
  EXPECT_EQ(l.pictureRect.left, 81);
  // With a drop-down the picture moves 16 left but never onto the caption.
  f.in.dropDownSymbol = 6;
  const CaptionLayout d = f.Run();
  EXPECT_EQ(d.captionRect.left, 38 - 8 - 12);
  EXPECT_EQ(d.pictureRect.left, std::max(81 - 16, d.captionRect.right + 2));
}

TEST(CaptionLayout, CentrePictureMovesCentredCaption) {
  Fixture f;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 4;
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect.left, 38 - 16);
  EXPECT_EQ(l.pictureRect, (Rect{42, 4, 58, 20}));
  f.in.dropDownSeparator = true;
  EXPECT_EQ(f.Run().pictureRect.left, 34);
}

TEST(CaptionLayout, PicturesAboveAndBelow) {
  Fixture f;
  f.height = 60;
  f.in.pictureNormal = Picture(16, 16);
  // Caption centred without its picture: (100 - 40 + 16) div 2 - 8 = 30; top (60 - 13) div 2 = 23.
  f.in.pictureAlign = 5;
  CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect, (Rect{30, 31, 70, 44}));
  EXPECT_EQ(l.pictureRect, (Rect{42, 4, 58, 20}));
  f.in.pictureAlign = 6;
  l = f.Run();
  EXPECT_EQ(l.pictureRect.top, 31 - 16 - 2);
  f.in.pictureAlign = 7;
  l = f.Run();
  EXPECT_EQ(l.captionRect.top, 15);
  EXPECT_EQ(l.pictureRect.top, 60 - 16 - 4);
  f.in.pictureAlign = 8;
  l = f.Run();
  EXPECT_EQ(l.pictureRect.top, 28 + 2);
  f.in.dropDownSymbol = 3;
  l = f.Run();
  EXPECT_EQ(l.captionRect.left, 30 - 8);
  EXPECT_EQ(l.pictureRect.left, 42 - 8);
}

TEST(CaptionLayout, BlankCaptionCentresPictureForEveryAlignment) {
  for (int align = 0; align <= 8; ++align) {
    Fixture f;
    f.in.caption = L"   ";
    f.text = {0, 0};
    f.in.pictureNormal = Picture(16, 16);
    f.in.pictureAlign = align;
    EXPECT_EQ(f.Run().pictureRect, (Rect{42, 4, 58, 20})) << align;
  }
}

TEST(CaptionLayout, UnknownPictureAlignKeepsPreviousCorner) {
  Fixture f;
  f.in.pictureNormal = Picture(16, 16);
  f.in.pictureAlign = 9;
  f.previous.pictureRect = {5, 6, 7, 8};
  const CaptionLayout l = f.Run();
  EXPECT_EQ(l.captionRect, (Rect{38, 6, 78, 19}));
  EXPECT_EQ(l.pictureRect, (Rect{5, 6, 21, 22}));
}

TEST(CaptionLayout, NoNormalPictureKeepsPictureRectAndSkipsMoves) {
  Fixture f;
  f.in.pictureHot = Picture(16, 16);  // set without a normal picture
  f.state = 1;
  f.previous.pictureRect = {1, 2, 3, 4};
  const CaptionLayout l = f.Run();
  ASSERT_NE(l.currentPicture, nullptr);
  EXPECT_EQ(l.pictureRect, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(l.captionRect.left, 38);  // centring still counts the current picture
}

TEST(CaptionLayout, SystemThemeClampsIntoInnerBorder) {
  Fixture f;
  f.in.buttonStyle = 13;
  f.in.captionAlign = 0;
  f.height = 10;
  EXPECT_EQ(f.Run().captionRect, (Rect{4, 4, 42, 6}));
}

TEST(CaptionLayout, SeparatorOnlyWhenCaptionLeavesRoom) {
  Fixture f;
  f.in.dropDownSeparator = true;
  f.in.captionAlign = 0;
  f.text = {84, 13};
  EXPECT_TRUE(f.Run().drawSeparator);  // right 86 < 92
  f.text = {90, 13};
  EXPECT_FALSE(f.Run().drawSeparator);  // right 92
}

TEST(CurrentPicture, ByStateAndCheckedValue) {
  PaintInput in;
  in.pictureNormal = Picture(1, 1);
  in.pictureHot = Picture(2, 2);
  in.pictureDown = Picture(3, 3);
  EXPECT_EQ(CurrentPicture(in, 0), in.pictureNormal.get());
  EXPECT_EQ(CurrentPicture(in, 1), in.pictureHot.get());
  EXPECT_EQ(CurrentPicture(in, 2), in.pictureDown.get());
  in.mode = 1;
  in.value = true;
  EXPECT_EQ(CurrentPicture(in, 0), in.pictureDown.get());
  in.pictureDown.reset();
  EXPECT_EQ(CurrentPicture(in, 0), in.pictureHot.get());
  in.value = false;
  in.pictureHot.reset();
  EXPECT_EQ(CurrentPicture(in, 1), in.pictureNormal.get());
  in.pictureNormal.reset();
  EXPECT_EQ(CurrentPicture(in, 2), nullptr);
}

TEST(PressedOffset, OnlyStylesThatShowIt) {
  for (int style = 0; style <= 13; ++style) {
    CaptionLayout l;
    l.captionRect = {10, 10, 20, 20};
    l.pictureRect = {1, 1, 2, 2};
    l.symbolRect = {85, 6, 100, 20};
    ApplyPressedOffset(l, style, 2);
    const bool moves = style == 0 || style == 1 || style == 5 || style == 6 || style == 7 ||
                       style == 10 || style == 11 || style == 12;
    const int d = moves ? 1 : 0;
    EXPECT_EQ(l.captionRect, (Rect{10 + d, 10 + d, 20 + d, 20 + d})) << style;
    EXPECT_EQ(l.pictureRect.left, 1 + d);
    EXPECT_EQ(l.symbolRect.top, 6 + d);
    ApplyPressedOffset(l, style, 1);
    EXPECT_EQ(l.captionRect.left, 10 + d);
  }
}

}  // namespace
}  // namespace quillon::render
