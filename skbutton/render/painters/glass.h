// The Glass style: a face split into two soft gradients, side strips when hot or pressed,
// a blue double frame for the focused or default button at rest, and marked corners that go
// with the rounded window region.
#pragma once

#include "painters.h"

namespace quillon::render {

// The rows a Glass face is laid out on, from the control's height.
struct GlassRows {
  int lowerHalf;        // M: first row of the lower half
  int upperStrip;       // T: height of the upper side strips
  int lowerStrip;       // U: height of the lower side strips
  int pressedLineEnd;   // V: end row (not painted) of the pressed look's upper left line
  friend bool operator==(const GlassRows&, const GlassRows&) = default;
};
GlassRows GlassRowsFor(int height);

}  // namespace quillon::render
