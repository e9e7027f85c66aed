#include "resource_pictures.h"

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <vector>

namespace quillon::app {
namespace {

using container::Picture;
using container::PicturePtr;

const wchar_t kJpegType[] = L"JPEG";

template <typename T>
struct ComRelease {
  void operator()(T* p) const { p->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease<T>>;

class IconHandle {
 public:
  explicit IconHandle(HICON icon) : icon_(icon) {}
  ~IconHandle() {
    if (icon_) DestroyIcon(icon_);
  }
  IconHandle(const IconHandle&) = delete;
  IconHandle& operator=(const IconHandle&) = delete;
  HICON get() const { return icon_; }

 private:
  HICON icon_;
};

// The bitmap's pixels as 0x00RRGGBB (alpha bytes as stored), rows top-down.
std::vector<std::uint32_t> Pixels32(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const MemoryDc dc(nullptr);
  if (!dc.get() || GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                             DIB_RGB_COLORS) != height)
    pixels.clear();
  return pixels;
}

PicturePtr Named(PicturePtr made, std::wstring_view name) {
  if (!made) return nullptr;
  auto named = std::make_shared<Picture>(*made);
  named->resourceName = name;
  return named;
}

PicturePtr OpaqueBitmap(HBITMAP bitmap, std::int32_t bitsPerPixel) {
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return nullptr;
  std::vector<std::uint32_t> pixels = Pixels32(bitmap, info.bmWidth, info.bmHeight);
  if (pixels.empty()) return nullptr;
  for (auto& p : pixels) p |= 0xFF000000u;
  return container::MakePicture(Picture::Kind::Bitmap, info.bmWidth, info.bmHeight, bitsPerPixel, false,
                                std::move(pixels));
}

}  // namespace

PicturePtr PictureFromBitmap(HBITMAP bitmap, std::int32_t bitsPerPixel) {
  if (bitsPerPixel != 32) return OpaqueBitmap(bitmap, bitsPerPixel);
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return nullptr;
  std::vector<std::uint32_t> pixels = Pixels32(bitmap, info.bmWidth, info.bmHeight);
  if (pixels.empty()) return nullptr;
  // Alpha bytes that are all zero are a 32-bit bitmap that never had alpha: opaque.
  const bool hasAlpha = std::any_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
  if (!hasAlpha)
    for (auto& p : pixels) p |= 0xFF000000u;
  return container::MakePicture(Picture::Kind::Bitmap, info.bmWidth, info.bmHeight, 32, hasAlpha, std::move(pixels));
}

namespace {

PicturePtr FromBitmapResource(HMODULE module, LPCWSTR name) {
  if (!FindResourceW(module, name, MAKEINTRESOURCEW(2))) return nullptr;
  const GdiObject<HBITMAP> bitmap(
      static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  DIBSECTION dib{};
  if (!bitmap || !GetObjectW(bitmap.get(), sizeof dib, &dib)) return nullptr;
  return PictureFromBitmap(bitmap.get(), dib.dsBm.bmBitsPixel);
}

// An icon as its default-size image: the colour image with its alpha, or with the mask's
// transparency when the image carries no alpha.
PicturePtr FromIconResource(HMODULE module, LPCWSTR name) {
  if (!FindResourceW(module, name, MAKEINTRESOURCEW(14))) return nullptr;
  const IconHandle icon(static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, 32, 32, 0)));
  ICONINFO parts{};
  if (!icon.get() || !GetIconInfo(icon.get(), &parts)) return nullptr;
  const GdiObject<HBITMAP> colour(parts.hbmColor), mask(parts.hbmMask);
  BITMAP info{};
  if (!colour || !GetObjectW(colour.get(), sizeof info, &info)) return nullptr;
  std::vector<std::uint32_t> pixels = Pixels32(colour.get(), info.bmWidth, info.bmHeight);
  if (pixels.empty()) return nullptr;
  const bool hasAlpha = std::any_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
  if (!hasAlpha) {
    const std::vector<std::uint32_t> transparent = Pixels32(mask.get(), info.bmWidth, info.bmHeight);
    for (std::size_t i = 0; i < pixels.size() && i < transparent.size(); ++i)
      pixels[i] = (transparent[i] & 0xFFFFFFu) ? 0u : pixels[i] | 0xFF000000u;
  }
  return container::MakePicture(Picture::Kind::Icon, info.bmWidth, info.bmHeight, 32, true, std::move(pixels));
}

PicturePtr FromJpegResource(HMODULE module, LPCWSTR name) {
  const std::string_view bytes = ResourceBytes(module, kJpegType, name);
  if (bytes.empty()) return nullptr;
  // The decoder behind OleLoadPicture is a COM object.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PicturePtr made;
  {
    ComPtr<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                             static_cast<UINT>(bytes.size())));
    IPicture* raw = nullptr;
    if (stream && SUCCEEDED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE,
                                           __uuidof(IPicture), reinterpret_cast<void**>(&raw)))) {
      const ComPtr<IPicture> picture(raw);
      OLE_HANDLE handle = 0;
      if (SUCCEEDED(picture->get_Handle(&handle)))
        made = OpaqueBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), 24);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return made;
}

}  // namespace

ResourceName::ResourceName(std::wstring_view name) : text_(name) {
  const bool digits = !name.empty() && name.size() <= 5 &&
                      std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  if (digits) {
    const unsigned long value = std::wcstoul(text_.c_str(), nullptr, 10);
    if (value > 0 && value <= 0xFFFF) number_ = static_cast<WORD>(value);
  }
}

std::string_view ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(module, found)};
}

PicturePtr LoadResourcePicture(HMODULE module, std::wstring_view name) {
  const ResourceName resource(name);
  PicturePtr picture = FromBitmapResource(module, resource.get());
  if (!picture) picture = FromIconResource(module, resource.get());
  if (!picture) picture = FromJpegResource(module, resource.get());
  return Named(std::move(picture), name);
}

GdiObject<HBITMAP> ToBitmap(const Picture& picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap && bits && picture.pixels.size() == static_cast<std::size_t>(picture.width) * picture.height)
    std::copy(picture.pixels.begin(), picture.pixels.end(), static_cast<std::uint32_t*>(bits));
  return bitmap;
}

void DrawStretched(HDC dc, const Picture& picture, const RECT& place) {
  const int width = place.right - place.left, height = place.bottom - place.top;
  if (picture.width <= 0 || picture.height <= 0 || width <= 0 || height <= 0) return;
  if (!picture.hasAlpha) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, place.left, place.top, width, height, 0, 0, picture.width, picture.height,
                  picture.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    return;
  }
  // AlphaBlend wants premultiplied colour.
  Picture premultiplied = picture;
  for (auto& p : premultiplied.pixels) {
    const std::uint32_t a = p >> 24;
    const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    p = a << 24 | scale(p >> 16 & 0xFF) << 16 | scale(p >> 8 & 0xFF) << 8 | scale(p & 0xFF);
  }
  const GdiObject<HBITMAP> bitmap = ToBitmap(premultiplied);
  const MemoryDc source(dc);
  if (!bitmap || !source.get()) return;
  const SelectIn select(source.get(), bitmap.get());
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  GdiAlphaBlend(dc, place.left, place.top, width, height, source.get(), 0, 0, picture.width, picture.height, blend);
  SetStretchBltMode(dc, oldMode);
}

}  // namespace quillon::app
