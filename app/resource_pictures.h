// The program's own resources as the stored design names them: the design text, pictures
// (bitmaps, group icons, JPEGs) turned into container pictures, and container pictures
// drawn back onto a window.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "value.h"
#include "win_raii.h"

namespace quillon::app {

// A resource name as the design writes it: decimal digits name a numbered resource.
class ResourceName {
 public:
  explicit ResourceName(std::wstring_view name);
  LPCWSTR get() const { return number_ ? MAKEINTRESOURCEW(number_) : text_.c_str(); }

 private:
  std::wstring text_;
  WORD number_ = 0;
};

// The bytes of a resource of the module; empty when there is none.
std::string_view ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name);

// A bitmap, a group icon (at 32 x 32, as an icon picture) or a "JPEG" resource; null when
// the module has none of that name or it cannot be decoded.
container::PicturePtr LoadResourcePicture(HMODULE module, std::wstring_view name);

// A bitmap of the given source depth as a picture. A 32-bit one keeps its alpha unless
// every alpha byte is zero (then it is opaque); lower depths are opaque.
container::PicturePtr PictureFromBitmap(HBITMAP bitmap, std::int32_t bitsPerPixel);

// A 32-bit top-down DIB section holding the picture's pixels.
GdiObject<HBITMAP> ToBitmap(const container::Picture& picture);

// Draws the picture stretched over the rectangle, blending by its alpha when it has one.
void DrawStretched(HDC dc, const container::Picture& picture, const RECT& place);

}  // namespace quillon::app
