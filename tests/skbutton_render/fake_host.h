// A control stand-in for the renderer: a settable surface size, fixed system colours, and a
// record of everything rendering writes back.
#pragma once

#include <vector>

#include "redraw.h"

namespace quillon::render::testing {

struct FakeHost final : RenderHost {
  double width = 100, height = 25;
  bool themed = false;
  FixedSystemColours colours;
  std::vector<int> storedStates;
  std::vector<OleColour> storedFore;
  std::vector<RegionShape> regions;
  int fallbacks = 0;

  double SurfaceWidth() override { return width; }
  double SurfaceHeight() override { return height; }
  const SystemColours& Colours() override { return colours; }
  bool IsThemed() override { return themed; }
  void StoreButtonState(int s) override { storedStates.push_back(s); }
  void StoreForeColor(OleColour c) override { storedFore.push_back(c); }
  void FallBackToRounded(PaintInput& in) override {
    ++fallbacks;
    in.buttonStyle = 2;
    in.colorScheme = 0;
    in.backColor = Rgb(236, 235, 231);
  }
  void SetWindowRegion(const RegionShape& shape) override { regions.push_back(shape); }
};

}  // namespace quillon::render::testing
