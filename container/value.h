// Typed values held in property bags and in the stored form text: booleans, bytes,
// 16- and 32-bit integers, text, font descriptions and pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon::container {

using WindowHandle = std::uintptr_t;
// 0x00BBGGRR, or a system colour index with the top bit set.
using OleColour = std::uint32_t;

// Font attributes, portable. The size is kept in ten-thousandths of a point so that
// 8.25 or 15.75 compare and round-trip exactly.
struct FontDescription {
  std::wstring face = L"Tahoma";
  std::int64_t size10k = 82500;  // 8.25 pt
  std::int16_t weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  std::int16_t charset = 0;

  double SizePoints() const { return static_cast<double>(size10k) / 10000.0; }
  void SetSizePoints(double points);
  // A weight of 600 or more reads as bold; setting bold picks 700 or 400.
  bool Bold() const { return weight >= 600; }
  bool operator==(const FontDescription&) const = default;
};

// A picture as the renderer draws it: 32-bit pixels (0xAARRGGBB, rows top-down) of a
// bitmap of any depth or of an icon, with its size in pixels and in HIMETRIC.
struct Picture {
  enum class Kind : std::uint8_t { Bitmap, Icon };
  Kind kind = Kind::Bitmap;
  std::int32_t width = 0;
  std::int32_t height = 0;
  // Depth of the source: 1, 4, 8, 16, 24 or 32; pixels are always 32-bit here.
  std::int32_t bitsPerPixel = 32;
  // True when the alpha bytes carry transparency (32-bit bitmaps with alpha, icons);
  // otherwise every alpha byte is 255.
  bool hasAlpha = false;
  std::vector<std::uint32_t> pixels;
  std::int32_t himetricWidth = 0;
  std::int32_t himetricHeight = 0;
  // Set when the picture came from a named resource of the program; the stored form text
  // then refers to it by this name instead of holding its pixels.
  std::wstring resourceName;
  bool operator==(const Picture&) const = default;
};
using PicturePtr = std::shared_ptr<const Picture>;

// HIMETRIC (0.01 mm) of a pixel count at the given dots per inch, rounded to nearest.
std::int32_t PixelsToHimetric(std::int32_t pixels, std::int32_t dpi = 96);
// Builds a picture of w x h pixels and fills in its HIMETRIC size at 96 dpi.
PicturePtr MakePicture(Picture::Kind kind, std::int32_t w, std::int32_t h, std::int32_t bitsPerPixel,
                       bool hasAlpha, std::vector<std::uint32_t> pixels);

enum class ValueType : std::uint8_t { Empty, Boolean, Byte, Int16, Int32, Text, Font, Picture };

// Empty stands for "none" (a missing picture or object) as well as for no value.
using Value = std::variant<std::monostate, bool, std::uint8_t, std::int16_t, std::int32_t, std::wstring,
                           FontDescription, PicturePtr>;

ValueType TypeOf(const Value& v);
const char* TypeName(ValueType t);
// Same type and same content (pictures by content); a null picture equals Empty.
bool SameValue(const Value& a, const Value& b);

// A value that cannot be read as the type asked for (wrong type, garbage text, overflow).
class ValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Conversions used when a bag is read: numbers convert among themselves (range-checked),
// booleans read as 0 / -1, text holding a whole decimal number reads as that number.
// Anything else throws ValueError.
bool ToBool(const Value& v);
std::uint8_t ToByte(const Value& v);
std::int16_t ToInt16(const Value& v);
std::int32_t ToInt32(const Value& v);
std::wstring ToText(const Value& v);
FontDescription ToFont(const Value& v);
PicturePtr ToPicture(const Value& v);

// Case-insensitive comparison for keys (ASCII letters fold; others compare exactly).
bool KeyEquals(std::wstring_view a, std::wstring_view b);
std::wstring LowerKey(std::wstring_view key);

}  // namespace quillon::container
