#include "value.h"

#include <cmath>
#include <limits>
#include <optional>

namespace quillon::container {
namespace {

std::string Describe(const Value& v) { return TypeName(TypeOf(v)); }

// Whole decimal number in text, as a 64-bit value; nothing on garbage.
std::optional<std::int64_t> ParseWhole(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == L' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == text.size()) return std::nullopt;
  std::int64_t n = 0;
  for (; i < text.size() && text[i] != L' '; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    n = n * 10 + (text[i] - L'0');
    if (n > (std::int64_t{1} << 40)) return std::nullopt;
  }
  while (i < text.size() && text[i] == L' ') ++i;
  if (i != text.size()) return std::nullopt;
  return negative ? -n : n;
}

std::int64_t ToWhole(const Value& v, const char* wanted) {
  if (auto b = std::get_if<bool>(&v)) return *b ? -1 : 0;
  if (auto u = std::get_if<std::uint8_t>(&v)) return *u;
  if (auto s = std::get_if<std::int16_t>(&v)) return *s;
  if (auto i = std::get_if<std::int32_t>(&v)) return *i;
  if (auto t = std::get_if<std::wstring>(&v)) {
    if (auto n = ParseWhole(*t)) return *n;
    throw ValueError(std::string("text that is not a number where ") + wanted + " was expected");
  }
  throw ValueError(Describe(v) + " where " + wanted + " was expected");
}

std::int64_t InRange(std::int64_t n, std::int64_t lo, std::int64_t hi, const char* wanted) {
  if (n < lo || n > hi) throw ValueError(std::to_string(n) + " is out of range for " + wanted);
  return n;
}

}  // namespace

void FontDescription::SetSizePoints(double points) {
  if (!std::isfinite(points) || points < 0 || points > 100000) throw ValueError("font size out of range");
  size10k = static_cast<std::int64_t>(std::llround(points * 10000.0));
}

std::int32_t PixelsToHimetric(std::int32_t pixels, std::int32_t dpi) {
  if (dpi <= 0) return 0;
  const std::int64_t num = std::int64_t{pixels} * 2540;
  const std::int64_t half = dpi / 2;
  return static_cast<std::int32_t>(num >= 0 ? (num + half) / dpi : (num - half) / dpi);
}

PicturePtr MakePicture(Picture::Kind kind, std::int32_t w, std::int32_t h, std::int32_t bitsPerPixel,
                       bool hasAlpha, std::vector<std::uint32_t> pixels) {
  if (w < 0 || h < 0 || pixels.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {
    throw ValueError("picture pixel count does not match its size");
  }
  auto p = std::make_shared<Picture>();
  p->kind = kind;
  p->width = w;
  p->height = h;
  p->bitsPerPixel = bitsPerPixel;
  p->hasAlpha = hasAlpha;
  p->pixels = std::move(pixels);
  p->himetricWidth = PixelsToHimetric(w);
  p->himetricHeight = PixelsToHimetric(h);
  return p;
}

ValueType TypeOf(const Value& v) {
  switch (v.index()) {
    case 0: return ValueType::Empty;
    case 1: return ValueType::Boolean;
    case 2: return ValueType::Byte;
    case 3: return ValueType::Int16;
    case 4: return ValueType::Int32;
    case 5: return ValueType::Text;
    case 6: return ValueType::Font;
    default: return std::get<PicturePtr>(v) ? ValueType::Picture : ValueType::Empty;
  }
}

const char* TypeName(ValueType t) {
  switch (t) {
    case ValueType::Empty: return "no value";
    case ValueType::Boolean: return "a boolean";
    case ValueType::Byte: return "a byte";
    case ValueType::Int16: return "a 16-bit integer";
    case ValueType::Int32: return "a 32-bit integer";
    case ValueType::Text: return "text";
    case ValueType::Font: return "a font";
    case ValueType::Picture: return "a picture";
  }
  return "?";
}

bool SameValue(const Value& a, const Value& b) {
  const ValueType ta = TypeOf(a);
  if (ta != TypeOf(b)) return false;
  if (ta == ValueType::Empty) return true;
  if (ta == ValueType::Picture) {
    const auto& pa = std::get<PicturePtr>(a);
    const auto& pb = std::get<PicturePtr>(b);
    return pa == pb || *pa == *pb;
  }
  return a == b;
}

bool ToBool(const Value& v) { return ToWhole(v, "a boolean") != 0; }

std::uint8_t ToByte(const Value& v) {
  return static_cast<std::uint8_t>(InRange(ToWhole(v, "a byte"), 0, 255, "a byte"));
}

std::int16_t ToInt16(const Value& v) {
  return static_cast<std::int16_t>(InRange(ToWhole(v, "a 16-bit integer"), -32768, 32767, "a 16-bit integer"));
}

std::int32_t ToInt32(const Value& v) {
  return static_cast<std::int32_t>(InRange(ToWhole(v, "a 32-bit integer"), std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max(), "a 32-bit integer"));
}

std::wstring ToText(const Value& v) {
  if (auto t = std::get_if<std::wstring>(&v)) return *t;
  if (auto b = std::get_if<bool>(&v)) return *b ? L"True" : L"False";
  if (std::holds_alternative<std::uint8_t>(v) || std::holds_alternative<std::int16_t>(v) ||
      std::holds_alternative<std::int32_t>(v)) {
    return std::to_wstring(ToWhole(v, "text"));
  }
  if (TypeOf(v) == ValueType::Empty) return std::wstring();
  throw ValueError(Describe(v) + " where text was expected");
}

FontDescription ToFont(const Value& v) {
  if (auto f = std::get_if<FontDescription>(&v)) return *f;
  throw ValueError(Describe(v) + " where a font was expected");
}

PicturePtr ToPicture(const Value& v) {
  if (auto p = std::get_if<PicturePtr>(&v)) return *p;
  if (std::holds_alternative<std::monostate>(v)) return nullptr;
  throw ValueError(Describe(v) + " where a picture was expected");
}

bool KeyEquals(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x + 32);
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::wstring LowerKey(std::wstring_view key) {
  std::wstring out(key);
  for (auto& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  }
  return out;
}

}  // namespace quillon::container
