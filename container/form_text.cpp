#include "form_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>

namespace quillon::container {
namespace {

constexpr std::size_t kMaxDepth = 64;
constexpr std::int32_t kMaxPictureSide = 8192;
constexpr std::size_t kMaxPicturePixels = std::size_t{16} << 20;

// ---- UTF-8 ----

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

// Decodes one code point at s[i], advancing i; throws ValueError on malformed input.
char32_t DecodeOne(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    throw ValueError("malformed UTF-8");
  }
  if (i + static_cast<std::size_t>(extra) >= s.size()) throw ValueError("truncated UTF-8");
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) throw ValueError("malformed UTF-8");
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) throw ValueError("malformed UTF-8");
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

void EncodeOne(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Code points of a wide string; unpaired surrogates become U+FFFD.
template <typename F>
void ForEachCodePoint(std::wstring_view text, F f) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        const auto d = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
        if (d >= 0xDC00 && d <= 0xDFFF) {
          f(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
          ++i;
          continue;
        }
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    f(c);
  }
}

// ---- Base64 ----

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t n = std::uint32_t{bytes[i]} << 16;
    if (i + 1 < bytes.size()) n |= std::uint32_t{bytes[i + 1]} << 8;
    if (i + 2 < bytes.size()) n |= bytes[i + 2];
    out.push_back(kBase64[(n >> 18) & 63]);
    out.push_back(kBase64[(n >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=');
    out.push_back(i + 2 < bytes.size() ? kBase64[n & 63] : '=');
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> Unbase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t n = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      std::uint32_t v = 0;
      if (c == '=') {
        if (i + 4 != text.size() || k < 2) return std::nullopt;
        ++pad;
      } else {
        if (pad != 0) return std::nullopt;
        const auto pos = kBase64.find(c);
        if (pos == std::string_view::npos) return std::nullopt;
        v = static_cast<std::uint32_t>(pos);
      }
      n = (n << 6) | v;
    }
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    if (pad < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
    if (pad < 1) out.push_back(static_cast<std::uint8_t>(n));
  }
  return out;
}

// ---- Reading ----

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

class LineReader {
 public:
  LineReader(std::string_view line, std::size_t number) : s_(line), line_(number) {}

  [[noreturn]] void Fail(const std::string& message) const { throw FormTextError(line_, message); }

  void SkipBlanks() {
    while (pos_ < s_.size() && IsBlank(s_[pos_])) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= s_.size();
  }
  void ExpectEnd() {
    if (!AtEnd()) Fail("unexpected text after the value");
  }
  // A run of characters up to a blank or '='.
  std::string_view Word() {
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < s_.size() && !IsBlank(s_[pos_]) && s_[pos_] != '=') ++pos_;
    return s_.substr(start, pos_ - start);
  }
  // A run of characters up to a blank ('=' included, as base64 pads with it).
  std::string_view Run() {
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < s_.size() && !IsBlank(s_[pos_])) ++pos_;
    return s_.substr(start, pos_ - start);
  }
  bool Accept(char c) {
    SkipBlanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool PeekQuote() {
    SkipBlanks();
    return pos_ < s_.size() && s_[pos_] == '"';
  }

  std::wstring Name(const char* what) {
    const std::string_view w = Word();
    if (w.empty()) Fail(std::string("missing ") + what);
    try {
      return FromUtf8(w);
    } catch (const ValueError& e) {
      Fail(e.what());
    }
  }

  std::int64_t Integer(std::int64_t lo, std::int64_t hi) {
    const std::string_view w = Word();
    if (w.empty()) Fail("missing number");
    std::int64_t n = 0;
    std::from_chars_result r{};
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
      std::uint64_t u = 0;
      r = std::from_chars(w.data() + 2, w.data() + w.size(), u, 16);
      if (r.ec != std::errc() || r.ptr != w.data() + w.size() || u > 0xFFFFFFFFu) Fail("bad hexadecimal number");
      // Hex is the unsigned bit pattern of a 32-bit value.
      n = static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
    } else {
      r = std::from_chars(w.data(), w.data() + w.size(), n, 10);
      if (r.ec != std::errc() || r.ptr != w.data() + w.size()) Fail("bad number '" + std::string(w) + "'");
    }
    if (n < lo || n > hi) Fail("number out of range");
    return n;
  }

  // A size in points with up to four decimals, as ten-thousandths.
  std::int64_t Points() {
    const std::string_view w = Word();
    const std::size_t dot = w.find('.');
    const std::string_view whole = w.substr(0, dot);
    const std::string_view frac = dot == std::string_view::npos ? std::string_view() : w.substr(dot + 1);
    if (whole.empty() || whole.size() > 6 || frac.size() > 4 || (dot != std::string_view::npos && frac.empty())) {
      Fail("bad font size");
    }
    std::int64_t n = 0;
    for (char c : whole) {
      if (c < '0' || c > '9') Fail("bad font size");
      n = n * 10 + (c - '0');
    }
    std::int64_t f = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = k < frac.size() ? frac[k] : '0';
      if (c < '0' || c > '9') Fail("bad font size");
      f = f * 10 + (c - '0');
    }
    return n * 10000 + f;
  }

  std::wstring Quoted() {
    if (!PeekQuote()) Fail("expected a quoted text");
    ++pos_;
    std::wstring out;
    while (true) {
      if (pos_ >= s_.size()) Fail("unterminated text");
      const char c = s_[pos_];
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (c == '\\') {
        if (++pos_ >= s_.size()) Fail("unterminated escape");
        const char e = s_[pos_++];
        switch (e) {
          case '\\': out.push_back(L'\\'); break;
          case '"': out.push_back(L'"'); break;
          case 'n': out.push_back(L'\n'); break;
          case 'r': out.push_back(L'\r'); break;
          case 't': out.push_back(L'\t'); break;
          case 'u': {
            if (pos_ >= s_.size() || s_[pos_] != '{') Fail("bad \\u escape");
            const std::size_t close = s_.find('}', pos_);
            if (close == std::string_view::npos || close == pos_ + 1 || close - pos_ > 7) Fail("bad \\u escape");
            std::uint32_t cp = 0;
            auto r = std::from_chars(s_.data() + pos_ + 1, s_.data() + close, cp, 16);
            if (r.ec != std::errc() || r.ptr != s_.data() + close || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
              Fail("bad \\u escape");
            }
            AppendCodePoint(out, cp);
            pos_ = close + 1;
            break;
          }
          default: Fail("unknown escape");
        }
        continue;
      }
      try {
        AppendCodePoint(out, DecodeOne(s_, pos_));
      } catch (const ValueError& err) {
        Fail(err.what());
      }
    }
  }

  Value ParseValue(const PictureResolver& resolver) {
    if (PeekQuote()) return Quoted();
    const std::string_view w = Word();
    if (w.empty()) Fail("missing value");
    if (w == "empty") return std::monostate{};
    if (w == "true") return true;
    if (w == "false") return false;
    if (w == "byte") return static_cast<std::uint8_t>(Integer(0, 255));
    if (w == "i16") return static_cast<std::int16_t>(Integer(-32768, 32767));
    if (w == "font") return ParseFont();
    if (w == "picture") return ParsePicture(resolver);
    pos_ -= w.size();
    return static_cast<std::int32_t>(Integer(INT32_MIN, INT32_MAX));
  }

  FontDescription ParseFont() {
    FontDescription f;
    f.face = Quoted();
    f.size10k = Points();
    f.weight = static_cast<std::int16_t>(Integer(0, 1000));
    while (!AtEnd()) {
      const std::string_view w = Word();
      if (w == "italic") {
        f.italic = true;
      } else if (w == "underline") {
        f.underline = true;
      } else if (w == "strikethrough") {
        f.strikethrough = true;
      } else if (w == "charset") {
        f.charset = static_cast<std::int16_t>(Integer(0, 255));
      } else {
        Fail("unknown font attribute '" + std::string(w) + "'");
      }
    }
    return f;
  }

  Value ParsePicture(const PictureResolver& resolver) {
    const std::string_view w = Word();
    if (w == "none") return std::monostate{};
    if (w == "resource") {
      const std::wstring name = Quoted();
      PicturePtr p = resolver ? resolver(name) : nullptr;
      if (!p) Fail("no picture resource '" + ToUtf8(name) + "'");
      return p;
    }
    Picture::Kind kind = Picture::Kind::Bitmap;
    if (w == "icon") {
      kind = Picture::Kind::Icon;
    } else if (w != "bitmap") {
      Fail("unknown picture kind");
    }
    auto p = std::make_shared<Picture>();
    p->kind = kind;
    p->width = static_cast<std::int32_t>(Integer(0, kMaxPictureSide));
    p->height = static_cast<std::int32_t>(Integer(0, kMaxPictureSide));
    p->bitsPerPixel = static_cast<std::int32_t>(Integer(1, 32));
    constexpr std::array<int, 6> depths{1, 4, 8, 16, 24, 32};
    if (std::find(depths.begin(), depths.end(), p->bitsPerPixel) == depths.end()) Fail("bad picture depth");
    SkipBlanks();
    if (s_.substr(pos_).starts_with("alpha")) {
      Word();
      p->hasAlpha = true;
    }
    p->himetricWidth = static_cast<std::int32_t>(Integer(0, INT32_MAX));
    p->himetricHeight = static_cast<std::int32_t>(Integer(0, INT32_MAX));
    const std::size_t count = static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->height);
    if (count > kMaxPicturePixels) Fail("picture too large");
    const std::string_view data = Run();
    auto bytes = Unbase64(data);
    if (!bytes || bytes->size() != count * 4) Fail("picture data does not match its size");
    p->pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      p->pixels[i] = std::uint32_t{(*bytes)[4 * i]} | std::uint32_t{(*bytes)[4 * i + 1]} << 8 |
                     std::uint32_t{(*bytes)[4 * i + 2]} << 16 | std::uint32_t{(*bytes)[4 * i + 3]} << 24;
    }
    return PicturePtr(std::move(p));
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  std::size_t line_;
};

// ---- Writing ----

void WriteQuoted(std::string& out, std::wstring_view text) {
  out.push_back('"');
  ForEachCodePoint(text, [&out](char32_t cp) {
    switch (cp) {
      case U'\\': out += "\\\\"; return;
      case U'"': out += "\\\""; return;
      case U'\n': out += "\\n"; return;
      case U'\r': out += "\\r"; return;
      case U'\t': out += "\\t"; return;
      default: break;
    }
    if (cp < 0x20 || cp == 0x7F) {
      char buf[16];
      auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint32_t>(cp), 16);
      out += "\\u{";
      out.append(buf, r.ptr);
      out += "}";
      return;
    }
    EncodeOne(out, cp);
  });
  out.push_back('"');
}

std::string PointsText(std::int64_t size10k) {
  std::string out = std::to_string(size10k / 10000);
  std::int64_t frac = size10k % 10000;
  if (frac != 0) {
    std::string digits = std::to_string(frac);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    out += "." + digits;
  }
  return out;
}

void WriteValue(std::string& out, const Value& v) {
  switch (TypeOf(v)) {
    case ValueType::Empty: out += "empty"; return;
    case ValueType::Boolean: out += std::get<bool>(v) ? "true" : "false"; return;
    case ValueType::Byte: out += "byte " + std::to_string(std::get<std::uint8_t>(v)); return;
    case ValueType::Int16: out += "i16 " + std::to_string(std::get<std::int16_t>(v)); return;
    case ValueType::Int32: out += std::to_string(std::get<std::int32_t>(v)); return;
    case ValueType::Text: WriteQuoted(out, std::get<std::wstring>(v)); return;
    case ValueType::Font: {
      const auto& f = std::get<FontDescription>(v);
      out += "font ";
      WriteQuoted(out, f.face);
      out += " " + PointsText(f.size10k) + " " + std::to_string(f.weight);
      if (f.italic) out += " italic";
      if (f.underline) out += " underline";
      if (f.strikethrough) out += " strikethrough";
      if (f.charset != 0) out += " charset " + std::to_string(f.charset);
      return;
    }
    case ValueType::Picture: {
      const Picture& p = *std::get<PicturePtr>(v);
      if (!p.resourceName.empty()) {
        out += "picture resource ";
        WriteQuoted(out, p.resourceName);
        return;
      }
      out += p.kind == Picture::Kind::Icon ? "picture icon " : "picture bitmap ";
      out += std::to_string(p.width) + " " + std::to_string(p.height) + " " + std::to_string(p.bitsPerPixel);
      if (p.hasAlpha) out += " alpha";
      out += " " + std::to_string(p.himetricWidth) + " " + std::to_string(p.himetricHeight) + " ";
      std::vector<std::uint8_t> bytes;
      bytes.reserve(p.pixels.size() * 4);
      for (std::uint32_t px : p.pixels) {
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(px >> (8 * k)));
      }
      out += Base64(bytes);
      return;
    }
  }
}

void WriteObject(std::string& out, const FormObject& o, std::size_t depth) {
  const std::string indent(depth * 2, ' ');
  out += indent + "begin " + ToUtf8(o.kind) + " " + ToUtf8(o.name) + "\n";
  for (const auto& e : o.properties.Entries()) {
    out += indent + "  " + ToUtf8(LowerKey(e.key)) + " = ";
    WriteValue(out, e.value);
    out += "\n";
  }
  for (const auto& child : o.children) WriteObject(out, child, depth + 1);
  out += indent + "end\n";
}

bool ValidName(std::wstring_view name) {
  if (name.empty() || name == L"begin" || name == L"end") return false;
  for (wchar_t c : name) {
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'=' || c == L'#') return false;
  }
  return true;
}

}  // namespace

FormTextError::FormTextError(std::size_t line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

const FormObject* FormObject::FindChild(std::wstring_view childName) const {
  for (const auto& c : children) {
    if (KeyEquals(c.name, childName)) return &c;
    if (const FormObject* found = c.FindChild(childName)) return found;
  }
  return nullptr;
}

std::wstring FromUtf8(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) AppendCodePoint(out, DecodeOne(utf8, i));
  return out;
}

std::wstring FromUtf8Lossy(std::string_view utf8) {
  std::wstring out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    try {
      AppendCodePoint(out, DecodeOne(utf8, i));
    } catch (const ValueError&) {
      out.push_back(L'\uFFFD');
      ++i;
    }
  }
  return out;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&out](char32_t cp) { EncodeOne(out, cp); });
  return out;
}

FormObject ReadFormText(std::string_view utf8, const PictureResolver& resolver) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  std::optional<FormObject> root;
  std::vector<FormObject> open;  // innermost last
  std::size_t lineNo = 0;
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t stop = utf8.find('\n', start);
    if (stop == std::string_view::npos) stop = utf8.size();
    const std::string_view line = utf8.substr(start, stop - start);
    start = stop + 1;
    ++lineNo;
    LineReader r(line, lineNo);
    if (r.AtEnd()) continue;
    const std::string_view first = r.Word();
    if (first.starts_with("#")) continue;
    if (first == "begin") {
      if (root) r.Fail("more than one top-level object");
      if (open.size() >= kMaxDepth) r.Fail("objects nested too deeply");
      FormObject o;
      o.kind = r.Name("object kind");
      o.name = r.Name("object name");
      r.ExpectEnd();
      open.push_back(std::move(o));
    } else if (first == "end") {
      r.ExpectEnd();
      if (open.empty()) r.Fail("'end' without 'begin'");
      FormObject done = std::move(open.back());
      open.pop_back();
      if (open.empty()) {
        root = std::move(done);
      } else {
        open.back().children.push_back(std::move(done));
      }
    } else {
      if (first.empty()) r.Fail("missing key");
      if (open.empty()) r.Fail("property outside an object");
      std::wstring key;
      try {
        key = FromUtf8(first);
      } catch (const ValueError& e) {
        r.Fail(e.what());
      }
      if (!r.Accept('=')) r.Fail("expected '=' after the key");
      Value v = r.ParseValue(resolver);
      r.ExpectEnd();
      if (open.back().properties.Contains(key)) r.Fail("duplicate key '" + std::string(first) + "'");
      open.back().properties.Set(key, std::move(v));
    }
  }
  if (!open.empty()) throw FormTextError(lineNo, "object '" + ToUtf8(open.back().name) + "' is not closed");
  if (!root) throw FormTextError(lineNo, "no object");
  return std::move(*root);
}

std::string WriteFormText(const FormObject& object) {
  // Refuse what could not be read back rather than write it.
  std::vector<const FormObject*> pending{&object};
  while (!pending.empty()) {
    const FormObject* o = pending.back();
    pending.pop_back();
    if (!ValidName(o->kind) || !ValidName(o->name)) throw ValueError("object kind or name cannot be stored");
    for (const auto& e : o->properties.Entries()) {
      if (!ValidName(e.key) || e.key.find(L'"') != std::wstring::npos) throw ValueError("key cannot be stored");
    }
    for (const auto& c : o->children) pending.push_back(&c);
  }
  std::string out = "# Quillon stored form, UTF-8\n";
  WriteObject(out, object, 0);
  return out;
}

}  // namespace quillon::container
