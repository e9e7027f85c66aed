// RAII for the GDI objects of drawing, with a counter of the live ones.
//
// Every pen, brush, font, bitmap, region and memory DC that rendering creates goes through
// these wrappers. Wine's GetGuiResources answers 0, so leaks are caught by counting creations
// and deletions here: LiveGdiObjects() must come back to where it started after any redraw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace quillon::render {

// Number of GDI objects and memory DCs created through the wrappers and not yet deleted.
int LiveGdiObjects();

namespace detail {
void CountCreated();
void CountDeleted();
}  // namespace detail

// An owned GDI object (pen, brush, font, bitmap, region): deleted with DeleteObject.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : handle_(handle) {
    if (handle_) detail::CountCreated();
  }
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives the handle away (to a window that takes ownership, such as SetWindowRgn).
  Handle Release() {
    if (handle_) detail::CountDeleted();
    return std::exchange(handle_, nullptr);
  }
  void Reset() {
    if (handle_) {
      ::DeleteObject(handle_);
      detail::CountDeleted();
      handle_ = nullptr;
    }
  }

 private:
  Handle handle_ = nullptr;
};

using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// Selects an object into a DC and puts the previous one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// An owned memory DC (CreateCompatibleDC / DeleteDC).
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatibleWith);
  ~MemoryDc();
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// Where a 32-bit DIB section keeps its pixels (0xAARRGGBB little-endian, rows of `stride` bytes).
struct DibPixels {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  bool topDown = true;
};

// A 32-bit top-down DIB section selected into its own memory DC: a surface whose pixels can
// be read directly. Used by tests and benchmarks, and as an off-screen buffer.
class DibCanvas {
 public:
  DibCanvas(int width, int height);
  ~DibCanvas();
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixel as an explicit colour (0x00BBGGRR).
  COLORREF Pixel(int x, int y) const;
  void Fill(COLORREF colour);
  const DibPixels& Pixels() const { return pixels_; }

 private:
  int width_;
  int height_;
  MemoryDc dc_;
  Bitmap bitmap_;
  void* bits_ = nullptr;
  DibPixels pixels_;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace quillon::render
