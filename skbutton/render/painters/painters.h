// The style painters, one function per look. Each lives in painters/<name>.cpp (compiled into
// the render core by the folder's glob) and is entered in standard_painters.cpp.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintEdgeStyles(PaintContext& context, int state);     // Classic, Flat, HoverRaised, HoverThin
void PaintRounded(PaintContext& context, int state);        // Rounded
void PaintGlass(PaintContext& context, int state);          // Glass
void PaintPlain(PaintContext& context, int state);          // Plain
void PaintGoldHover(PaintContext& context, int state);      // GoldHover
void PaintSilverToolbar(PaintContext& context, int state);  // SilverToolbar
void PaintBlueToolbar(PaintContext& context, int state);    // BlueToolbar
void PaintOrangeGloss(PaintContext& context, int state);    // OrangeGloss
void PaintWhiteGloss(PaintContext& context, int state);     // WhiteGloss
void PaintSoftGradient(PaintContext& context, int state);   // SoftGradient
void PaintSystemTheme(PaintContext& context, int state);    // SystemTheme

}  // namespace quillon::render
