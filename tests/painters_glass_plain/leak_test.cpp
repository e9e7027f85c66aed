// Glass and Plain redrawn in every look many times must give back every GDI object they made.
#include <gtest/gtest.h>

#include <string>

#include "dib_button.h"

namespace quillon::render {
namespace {

using controls::ButtonMode;

TEST(GlassAndPlainLeak, ManyRedrawsInEveryLookLeaveNoGdiObject) {
  testing::DibButton button(97, 33, ButtonStyle::Glass);
  PaintInput& in = button.in;
  in.caption = L"选择&转换文件";
  in.font.face = L"Tahoma";
  in.font.height = -11;
  in.backColor = Rgb(227, 227, 227);
  in.foreColor = SystemColour(kColorBtnText);
  std::vector<std::uint32_t> px(16 * 16, 0xFF336699u);
  in.pictureNormal = container::MakePicture(PictureKind::Bitmap, 16, 16, 32, true, px);
  const int start = LiveGdiObjects();
  constexpr int kRedraws = 10000;
  for (int i = 0; i < kRedraws; ++i) {
    in.buttonStyle = (i / 3) % 2 == 0 ? ButtonStyle::Glass : ButtonStyle::Plain;
    in.enabled = i % 11 != 0;
    in.hasFocus = i % 4 < 2;
    in.isDefault = i % 5 == 0;
    in.parentActive = i % 7 != 0;
    in.showFocusRect = i % 2 == 0;
    in.colorScheme = i % 5;
    in.mode = i % 13 == 0 ? ButtonMode::Check : ButtonMode::Push;
    in.value = i % 13 == 0;
    in.mouseOver = i % 3 != 0;
    in.picturePushOnHover = i % 6 < 3;
    button.Paint(i % 3);
    if (LiveGdiObjects() != start) {
      FAIL() << "redraw " << i << " (style " << in.buttonStyle << ", state " << in.state << ") left "
             << LiveGdiObjects() - start << " GDI objects alive";
    }
  }
  EXPECT_EQ(LiveGdiObjects(), start);
}

}  // namespace
}  // namespace quillon::render
