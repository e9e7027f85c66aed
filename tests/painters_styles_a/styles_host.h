// A control stand-in for the edge, Rounded, SilverToolbar and SystemTheme painters: a settable
// size, fixed system colours, the real scheme table for the SystemTheme fallback, and a record
// of everything rendering writes back.
#pragma once

#include <vector>

#include "color_schemes.h"
#include "redraw.h"

namespace quillon::render::testing {

// System colours chosen so that every one the painters read is told apart from the others.
inline constexpr Colour kTestButtonFace = Rgb(212, 208, 200);
inline constexpr Colour kTestButtonText = Rgb(5, 6, 7);
inline constexpr Colour kTestWorkspace = Rgb(11, 22, 33);
inline constexpr Colour kTestGrayText = Rgb(44, 55, 66);

struct StylesHost final : RenderHost {
  double width = 60, height = 24;
  bool themed = true;
  int themeQuestions = 0;
  FixedSystemColours colours;
  std::vector<int> storedStates;
  std::vector<OleColour> storedFore;
  std::vector<RegionShape> regions;
  int fallbacks = 0;
  // What the fallback stored on the control.
  int style = -1, scheme = -1;

  StylesHost() {
    colours.Set(kColorBtnFace, kTestButtonFace);
    colours.Set(kColorBtnText, kTestButtonText);
    colours.Set(kColorAppWorkspace, kTestWorkspace);
    colours.Set(kColorGrayText, kTestGrayText);
  }

  double SurfaceWidth() override { return width; }
  double SurfaceHeight() override { return height; }
  const SystemColours& Colours() override { return colours; }
  bool IsThemed() override {
    ++themeQuestions;
    return themed;
  }
  void StoreButtonState(int s) override { storedStates.push_back(s); }
  void StoreForeColor(OleColour c) override { storedFore.push_back(c); }
  // ButtonStyle := Rounded, ColorScheme := Blue, then ApplyColorScheme with the model's table.
  void FallBackToRounded(PaintInput& in) override {
    ++fallbacks;
    in.buttonStyle = style = ButtonStyle::Rounded;
    in.colorScheme = scheme = controls::ColorScheme::Blue;
    if (auto back = controls::SchemeBackColor(in.buttonStyle, in.colorScheme, kTestButtonFace)) in.backColor = *back;
    in.foreColor = kTestButtonText;
    in.showFocusRect = controls::SchemeShowsFocusRect(in.buttonStyle);
  }
  void SetWindowRegion(const RegionShape& shape) override { regions.push_back(shape); }
};

}  // namespace quillon::render::testing
