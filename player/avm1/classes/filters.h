// flash.filters for scripts, and the bridge between their objects and the filters the
// renderer applies (MovieClip.filters reads and writes through it).
#pragma once

#include "avm1/machine.h"
#include "render/filter.h"

namespace quillon::player::avm1 {

// DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
// GradientBevelFilter, ConvolutionFilter, ColorMatrixFilter and DisplacementMapFilter; SWF 8
// and later.
void InstallFilters(Machine& vm, Object* global);

// The filter a script filter object describes, as its properties stand now. False for
// anything else, and for the filters the renderer does not draw (displacement maps).
bool FilterOf(Machine& vm, const Value& v, Filter& out);

// A new script object of the matching class; undefined where flash.filters is missing.
Value NewFilter(Machine& vm, const Filter& f);

}  // namespace quillon::player::avm1
