// Many redraws of the five styles in every look with everything a face can carry must leave
// no GDI object behind (Wine's GetGuiResources answers 0, so the wrappers' counter decides).
#include "busy_paint_input.h"
#include "gdi_objects.h"
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

struct Look {
  int state;
  bool enabled;
  bool focused;
  bool isDefault;
  bool latched;
  bool mouseOver;
};

constexpr Look kLooks[] = {
    {0, true, false, false, false, false},  // normal
    {1, true, false, false, false, true},   // hot
    {2, true, false, false, false, true},   // pressed
    {0, false, false, false, false, false}, // disabled
    {1, false, false, false, false, true},  // disabled under the mouse
    {0, true, true, false, false, false},   // focused
    {0, true, false, true, false, false},   // default
    {0, true, false, false, true, false},   // latched
    {1, true, false, false, true, true},    // latched under the mouse
};

constexpr int kStyles[] = {ButtonStyle::WhiteGloss, ButtonStyle::SoftGradient, ButtonStyle::BlueToolbar,
                           ButtonStyle::OrangeGloss, ButtonStyle::GoldHover};

TEST(StylesGdi, TenThousandRedrawsLeaveNoGdiObject) {
  DibCanvas dib(97, 33);
  Host host;
  host.width = 97;
  host.height = 33;
  PaintInput in = testing::BusyPaintInput(Rgb(173, 209, 255));
  in.parentActive = true;
  ButtonRenderer renderer;
  const int start = LiveGdiObjects();
  constexpr int kLookCount = static_cast<int>(std::size(kLooks));
  constexpr int kStyleCount = static_cast<int>(std::size(kStyles));
  for (int i = 0; i < 10000; ++i) {
    const Look& look = kLooks[i % kLookCount];
    in.buttonStyle = kStyles[(i / kLookCount) % kStyleCount];
    in.state = look.state;
    in.enabled = look.enabled;
    in.hasFocus = look.focused;
    in.isDefault = look.isDefault;
    in.mode = look.latched ? 1 : 0;
    in.value = look.latched;
    in.mouseOver = look.mouseOver;
    {
      // One surface per paint, as the control makes one per WM_PAINT.
      GdiSurface surface(dib.Dc(), 97, 33, nullptr, kCleared);
      renderer.Redraw(surface, host, in);
    }
    if (LiveGdiObjects() != start) {
      FAIL() << "redraw " << i << " of style " << in.buttonStyle << " left " << LiveGdiObjects() - start
             << " GDI objects";
    }
  }
  EXPECT_EQ(LiveGdiObjects(), start);
  // The faces really were drawn: redraw 9999 is look 9999 mod 9 = 0 (normal) of style
  // (9999 div 9) mod 5 = 1 (SoftGradient), whose outline is S(-0.33) = rgb(89, 125, 171).
  EXPECT_EQ(dib.Pixel(0, 16) & 0xFFFFFFu, Rgb(89, 125, 171));
}

}  // namespace
}  // namespace quillon::render::styles_b
