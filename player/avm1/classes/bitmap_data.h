// flash.display.BitmapData for scripts, and what the display needs of it: the pixels behind a
// script object (MovieClip.attachBitmap shows them) and the movie's exported bitmaps
// (BitmapData.loadBitmap copies them).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "avm1/machine.h"
#include "render/bitmap_surface.h"

namespace quillon::player::avm1 {

// SWF 8 and later.
void InstallBitmapData(Machine& vm, Object* global);

// The pixels of a BitmapData object; null for anything else and for a disposed one.
std::shared_ptr<BitmapSurface> SurfaceOf(const Value& v);

// Where loadBitmap finds a linkage name's bitmap: null when the movie exports none by that name.
using BitmapLibrary = std::function<const BitmapDef*(const std::string& linkage)>;
void SetBitmapLibrary(Machine& vm, BitmapLibrary library);

}  // namespace quillon::player::avm1
