// The painter of each ButtonStyle. A painter's author defines the function in painters/ and
// adds its line here; a style without an entry draws nothing.
#include "painters/painters.h"
#include "redraw.h"

namespace quillon::render {

const PainterTable& StandardPainters() {
  static const PainterTable table = [] {
    PainterTable t;
    // For example: t.Set(ButtonStyle::Glass, &PaintGlass);
    t.Set(ButtonStyle::Classic, &PaintEdgeStyles);
    t.Set(ButtonStyle::Flat, &PaintEdgeStyles);
    t.Set(ButtonStyle::HoverRaised, &PaintEdgeStyles);
    t.Set(ButtonStyle::HoverThin, &PaintEdgeStyles);
    t.Set(ButtonStyle::Rounded, &PaintRounded);
    t.Set(ButtonStyle::SilverToolbar, &PaintSilverToolbar);
    t.Set(ButtonStyle::SystemTheme, &PaintSystemTheme);
    t.Set(ButtonStyle::Glass, &PaintGlass);
    t.Set(ButtonStyle::Plain, &PaintPlain);
    t.Set(ButtonStyle::GoldHover, &PaintGoldHover);
    t.Set(ButtonStyle::BlueToolbar, &PaintBlueToolbar);
    t.Set(ButtonStyle::OrangeGloss, &PaintOrangeGloss);
    t.Set(ButtonStyle::WhiteGloss, &PaintWhiteGloss);
    t.Set(ButtonStyle::SoftGradient, &PaintSoftGradient);
    return t;
  }();
  return table;
}

}  // namespace quillon::render
