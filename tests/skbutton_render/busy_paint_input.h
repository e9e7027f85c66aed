// A paint input that takes every drawing path at once: an access-key caption with effects, the
// drop-down symbol and separator, and shadowed pictures of each kind. Leak checks draw it often.
#pragma once

#include <cstdint>
#include <vector>

#include "redraw.h"

namespace quillon::render::testing {

inline PaintInput BusyPaintInput(Colour backColor) {
  PaintInput in;
  in.caption = L"&Convert";
  in.font.face = L"Tahoma";
  in.font.height = -11;
  in.backColor = backColor;
  in.captionEffects = 4;
  in.dropDownSymbol = 6;
  in.dropDownSeparator = true;
  in.pictureShadow = true;
  const std::vector<std::uint32_t> px(16 * 16, 0x80336699u);
  in.pictureNormal = container::MakePicture(PictureKind::Bitmap, 16, 16, 32, true, px);
  in.pictureHot = container::MakePicture(PictureKind::Icon, 16, 16, 32, true, px);
  in.pictureDown = container::MakePicture(PictureKind::Bitmap, 16, 16, 24, false, px);
  return in;
}

}  // namespace quillon::render::testing
