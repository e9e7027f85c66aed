#include "gdi_objects.h"

#include <cstdint>

namespace quillon::render {

namespace {
int g_live = 0;  // drawing runs on the one user-interface thread
}  // namespace

int LiveGdiObjects() { return g_live; }

namespace detail {
void CountCreated() { ++g_live; }
void CountDeleted() { --g_live; }
}  // namespace detail

MemoryDc::MemoryDc(HDC compatibleWith) : dc_(::CreateCompatibleDC(compatibleWith)) {
  if (dc_) detail::CountCreated();
}

MemoryDc::~MemoryDc() {
  if (dc_) {
    ::DeleteDC(dc_);
    detail::CountDeleted();
  }
}

DibCanvas::DibCanvas(int width, int height) : width_(width), height_(height), dc_(nullptr) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, so Pixel() indexes rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bitmap_ = Bitmap(::CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
  if (bitmap_) previous_ = ::SelectObject(dc_.Get(), bitmap_.Get());
  if (bits_) pixels_ = DibPixels{static_cast<std::uint8_t*>(bits_), width, height, width * 4, true};
}

DibCanvas::~DibCanvas() {
  if (previous_) ::SelectObject(dc_.Get(), previous_);
}

COLORREF DibCanvas::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  ::GdiFlush();
  const auto* p = static_cast<const std::uint8_t*>(bits_) +
                  (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 4;
  return RGB(p[2], p[1], p[0]);
}

void DibCanvas::Fill(COLORREF colour) {
  Brush brush(::CreateSolidBrush(colour));
  RECT all{0, 0, width_, height_};
  ::FillRect(dc_.Get(), &all, brush.Get());
}

}  // namespace quillon::render
