// Where the picture, the caption and the drop-down symbol sit on the face. Pure arithmetic: the
// caption's size comes from a measuring callback, so the layout runs without a surface.
#pragma once

#include <functional>

#include "paint_input.h"
#include "surface.h"

namespace quillon::render {

struct CaptionLayout {
  const PictureData* currentPicture = nullptr;  // null when the state has no picture
  int pictureWidth = 0;                         // PW
  int pictureHeight = 0;                        // PH
  Rect captionRect;
  Rect pictureRect;  // kept from the previous layout when PictureNormal is empty
  Rect symbolRect;   // kept from the previous layout when DropDownSymbol is 0
  bool drawSeparator = false;
  int measureRight = 0;  // right limit the caption was measured against
};

// The picture for the state: Down or checked -> Down, Hot, Normal; Hot -> Hot, Normal.
const PictureData* CurrentPicture(const PaintInput& in, int state);

// True when a drop-down symbol or separator takes the right strip.
bool DropDownApplies(const PaintInput& in);

// Styles whose content moves by (1, 1) while pressed.
bool StyleMovesPressedContent(int buttonStyle);
// Styles whose drop-down symbol moves by a further (1, 1) while pressed.
bool StyleMovesPressedSymbolTwice(int buttonStyle);

// The caption's measured size for the measuring rectangle (0, 0, right, H).
using MeasureCaption = std::function<Size(const Rect& bounds)>;

// Steps 1 to 11 of the layout for a W x H control in the given state; `previous` supplies the
// picture and symbol rectangles that are not recomputed. The pressed offset is separate
// (ApplyPressedOffset) because the separator is drawn between the two.
CaptionLayout LayoutCaption(const PaintInput& in, int state, int width, int height,
                            const MeasureCaption& measure, const CaptionLayout& previous);

// Moves all three rectangles by (1, 1) for a pressed button of a style that shows it.
void ApplyPressedOffset(CaptionLayout& layout, int buttonStyle, int state);

// The picture's place for the final caption rectangle; `previous` is the last picture rectangle.
Rect LayoutPicture(const PaintInput& in, const Rect& captionRect, int pw, int ph, int width,
                   int height, const Rect& previous);

// The drop-down symbol's cell: (W - 15, round(H / 2 - 7), W, round(H / 2 + 8)).
Rect SymbolRect(int width, int height);

}  // namespace quillon::render
