// parseInt, parseFloat, isNaN, isFinite, escape and unescape as the reference player has them.
#include "avm1/classes/globals_text.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "avm1/classes/string.h"
#include "swf/text.h"

namespace quillon::player::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

bool IsAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The longest number at the start of `s`, with the reference's oddities: dots after the first
// are skipped, and once one was skipped an exponent no longer counts; the exponent wraps at 32
// bits ("1e4294967297" is 10). The value is summed digit by digit as the reference does, so it
// can differ from the nearest double in the last bit (".1499999" is 0.14999990000000005).
double ParseFloatPrefix(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  bool dot = false, extraDot = false, digits = false;
  double whole = 0, fraction = 0, scale = 1;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) {
      digits = true;
      const int d = s[i] - '0';
      if (dot) {
        scale /= 10;
        fraction += d * scale;
      } else {
        whole = whole * 10 + d;
      }
    } else if (s[i] == '.') {
      if (dot) extraDot = true;
      dot = true;
    } else {
      break;
    }
  }
  if (!digits) return kNaN;
  double v = whole + fraction;
  if (!extraDot && i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (s[j] == '-' || s[j] == '+') expNegative = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      std::uint32_t exponent = 0;
      for (; j < s.size() && IsDigit(s[j]); ++j) exponent = exponent * 10u + static_cast<std::uint32_t>(s[j] - '0');
      if (expNegative) exponent = 0u - exponent;
      const auto e = static_cast<std::int32_t>(exponent);
      if (v != 0 && !std::isinf(v)) v *= std::pow(10.0, e);
    }
  }
  return negative ? -v : v;
}

double ParseIntPrefix(std::string_view s, int radix) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const bool hexPrefix = i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X');
  if (radix == 0) {
    // As documented for the reference: "0x" is hex, any other leading zero octal.
    if (hexPrefix) radix = 16, i += 2;
    else if (i < s.size() && s[i] == '0') radix = 8;
    else radix = 10;
  } else if (radix == 16 && hexPrefix) {
    i += 2;
  }
  if (radix < 2 || radix > 36) return kNaN;
  const std::size_t start = i;
  while (i < s.size() && DigitValue(s[i]) < radix) ++i;
  if (i == start) return kNaN;
  double v = 0;
  if (radix == 10) {
    v = StringToNumber(s.substr(start, i - start), 5);
  } else {
    for (std::size_t k = start; k < i; ++k) v = v * radix + DigitValue(s[k]);
  }
  return negative ? -v : v;
}

Value ParseInt(Call& c) {
  if (c.Count() == 0) return {};
  const std::string s = c.vm.ToString(c.Arg(0));
  const int radix = c.Count() > 1 && !c.Arg(1).IsUndefined() ? ToInt32(c.vm.ToNumber(c.Arg(1))) : 0;
  return Value::Num(ParseIntPrefix(s, radix));
}

Value ParseFloat(Call& c) {
  if (c.Count() == 0) return {};
  return Value::Num(ParseFloatPrefix(c.vm.ToString(c.Arg(0))));
}

// With nothing to test, isNaN says true and isFinite false, whatever undefined converts to.
Value IsNaN(Call& c) { return Value::Bool(c.Count() == 0 || std::isnan(c.vm.ToNumber(c.Arg(0)))); }
Value IsFinite(Call& c) { return Value::Bool(c.Count() != 0 && std::isfinite(c.vm.ToNumber(c.Arg(0)))); }

Value Escape(Call& c) {
  if (c.Count() == 0) return {};
  return Value::Str(EscapeText(c.vm.ToString(c.Arg(0)), c.vm.version()));
}

Value Unescape(Call& c) {
  if (c.Count() == 0) return {};
  return Value::Str(UnescapeText(c.vm.ToString(c.Arg(0)), c.vm.version()));
}

}  // namespace

std::string EscapeText(std::string_view text, int swfVersion) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Before SWF 6 a character below 256 is one byte.
  std::string latin1;
  if (swfVersion < 6) {
    for (const char16_t u : strings::Utf8ToUtf16(text)) {
      if (u < 0x100) latin1 += static_cast<char>(u);
      else strings::AppendUtf8(latin1, u);
    }
  }
  const std::string_view s = swfVersion < 6 ? std::string_view(latin1) : text;
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    if (out.size() + 3 > kMaxStringLength) throw ScriptAbort{"string too long"};
    const auto b = static_cast<unsigned char>(ch);
    if (IsAlnum(b)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string UnescapeText(std::string_view s, int swfVersion) {
  std::string bytes;
  bytes.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const char ch = s[i];
    if (ch == '+') {
      bytes += ' ';
      ++i;
    } else if (ch != '%') {
      bytes += ch;
      ++i;
    } else {
      // A broken escape is dropped along with the characters read so far: "%zz" leaves "z",
      // "%4zz" leaves "z" too.
      const int hi = i + 1 < s.size() ? DigitValue(s[i + 1]) : 99;
      if (hi >= 16) {
        i += 2;
        continue;
      }
      const int lo = i + 2 < s.size() ? DigitValue(s[i + 2]) : 99;
      i += 3;
      if (lo >= 16) continue;
      bytes += static_cast<char>(hi * 16 + lo);
    }
  }
  // A zero byte ends the string, as in the reference's C strings.
  if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
  if (swfVersion < 6) return Latin1ToUtf8(bytes);
  return strings::Utf16ToUtf8(strings::Utf8ToUtf16(bytes));
}

void InstallTextGlobals(Machine& vm, Object* global) {
  (void)vm;
  global->DefineNative("parseInt", ParseInt, 2);
  global->DefineNative("parseFloat", ParseFloat, 1);
  global->DefineNative("isNaN", IsNaN, 1);
  global->DefineNative("isFinite", IsFinite, 1);
  global->DefineNative("escape", Escape, 1);
  global->DefineNative("unescape", Unescape, 1);
}

}  // namespace quillon::player::avm1
