// Numbers to text and back, with the reference player's rules: 15 significant digits, plain
// notation from 1e-4 up to below 1e15, and the string forms ToNumber accepts per SWF version.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "avm1/value.h"

namespace quillon::player::avm1 {
namespace {

constexpr int kDigits = 15;
// Plain notation for decimal exponents in [kMinPlain, kMaxPlain]: 0.0001 but 1e-5, and every
// integer below 1e15.
constexpr int kMinPlain = -4;
constexpr int kMaxPlain = kDigits - 1;

struct Decimal {
  char digits[kDigits + 1] = {};  // kDigits digits, the first non-zero
  int exponent = 0;               // of the first digit
};

// Adds one unit in the last place; a carry out of the first digit raises the exponent.
void RoundUp(Decimal& d) {
  for (int i = kDigits - 1; i >= 0; --i) {
    if (d.digits[i] != '9') {
      ++d.digits[i];
      return;
    }
    d.digits[i] = '0';
  }
  d.digits[0] = '1';
  ++d.exponent;
}

// Reads "d.ddd...e+XX" as to_chars writes it; `count` digits are copied.
void ReadScientific(std::string_view text, int count, Decimal& d) {
  int n = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e'; ++i)
    if (text[i] >= '0' && text[i] <= '9' && n < count) d.digits[n++] = text[i];
  for (; n < kDigits; ++n) d.digits[n] = '0';
  d.digits[kDigits] = '\0';
  d.exponent = 0;
  if (i < text.size()) {
    const char* p = text.data() + i + 1;
    if (*p == '+') ++p;
    std::from_chars(p, text.data() + text.size(), d.exponent);
  }
}

std::string_view Scientific(double x, int precision, char* buf, std::size_t size) {
  const auto r = std::to_chars(buf, buf + size, x, std::chars_format::scientific, precision);
  return {buf, static_cast<std::size_t>(r.ptr - buf)};
}

// Fifteen significant digits of a positive finite number, halves rounded away from zero.
Decimal Digits(double x) {
  char wideBuf[40], nearBuf[40];
  const std::string_view wide = Scientific(x, kDigits + 1, wideBuf, sizeof wideBuf);  // 17 digits
  Decimal d;
  ReadScientific(Scientific(x, kDigits - 1, nearBuf, sizeof nearBuf), kDigits, d);
  // Correct rounding breaks exact ties to even; a tie shows as "...50" in the 17-digit form and
  // is confirmed against the exact expansion (at most 767 significant digits).
  const std::size_t e = wide.find('e');
  if (e != std::string_view::npos && e >= 3 && wide[e - 2] == '5' && wide[e - 1] == '0') {
    char exactBuf[1100];
    const std::string_view exact = Scientific(x, 1074, exactBuf, sizeof exactBuf);
    std::size_t i = 2 + (kDigits - 1);  // past "d." and 14 more digits
    bool tie = exact[i] == '5';
    for (++i; tie && i < exact.size() && exact[i] != 'e'; ++i) tie = exact[i] == '0';
    if (tie) {
      ReadScientific(wide, kDigits, d);
      RoundUp(d);
    }
  }
  // Rounding up must not print a number beyond the largest double: the reference keeps the
  // truncated digits there (1.79769313486231e+308).
  if (d.exponent >= std::numeric_limits<double>::max_exponent10) {
    const std::string_view top = "179769313486231";
    if (std::string_view(d.digits, kDigits) > top) ReadScientific(wide, kDigits, d);
  }
  return d;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "0x1F" or "017" (after an optional sign) as the reference reads them from SWF 6 on: the whole
// rest must be digits, and the value wraps to 32 bits. False when the text is not of that form.
bool ParseRadixInteger(std::string_view s, double& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i + 1 >= s.size() || s[i] != '0') return false;
  std::uint32_t acc = 0;
  if (s[i + 1] == 'x' || s[i + 1] == 'X') {
    i += 2;
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i) {
      const int v = HexValue(s[i]);
      if (v < 0) return false;
      acc = acc * 16u + static_cast<std::uint32_t>(v);
    }
  } else {
    for (++i; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '7') return false;
      acc = acc * 8u + static_cast<std::uint32_t>(s[i] - '0');
    }
  }
  if (negative) acc = 0u - acc;
  out = static_cast<double>(static_cast<std::int32_t>(acc));
  return true;
}

// A decimal literal with optional sign, fraction and exponent that fills the whole text.
bool ParseDecimal(std::string_view s, double& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const std::size_t start = i;
  std::size_t digits = 0, leadingZeros = 0, intDigits = 0;
  bool seenNonZero = false, inFraction = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.' && !inFraction) {
      inFraction = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    ++digits;
    if (c != '0') seenNonZero = true;
    if (!seenNonZero) ++leadingZeros;
    else if (!inFraction) ++intDigits;
  }
  if (digits == 0) return false;
  long long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) expNegative = s[i++] == '-';
    std::size_t expDigits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++expDigits)
      if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
    if (expDigits == 0) return false;
    if (expNegative) exponent = -exponent;
  }
  if (i != s.size()) return false;
  double v = 0;
  const auto r = std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Past the double range: infinity when the first digit stands above the units.
    const long long magnitude = seenNonZero ? (intDigits > 0 ? static_cast<long long>(intDigits)
                                                             : -static_cast<long long>(leadingZeros)) + exponent
                                            : -1;
    v = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  out = negative ? -v : v;
  return true;
}

}  // namespace

std::string NumberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  const Decimal d = Digits(std::fabs(n));
  int last = kDigits;
  while (last > 1 && d.digits[last - 1] == '0') --last;
  const std::string_view digits(d.digits, static_cast<std::size_t>(last));
  std::string out = n < 0 ? "-" : "";
  const int e = d.exponent;
  if (e < kMinPlain || e > kMaxPlain) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += e < 0 ? "e-" : "e+";
    out += std::to_string(e < 0 ? -e : e);
  } else if (e < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out += digits;
  } else {
    const auto whole = static_cast<std::size_t>(e) + 1;
    if (digits.size() <= whole) {
      out += digits;
      out.append(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole);
      out += '.';
      out += digits.substr(whole);
    }
  }
  return out;
}

std::string NumberToStringRadix(double n, int radix) {
  if (radix < 2 || radix > 36 || radix == 10) return NumberToString(n);
  // The reference converts to a 32-bit integer the way the processor does: NaN, infinities and
  // anything out of range become INT32_MIN, whose negation stays negative and so prints digits
  // below '0'. That output is kept as it is.
  std::int64_t v = std::numeric_limits<std::int32_t>::min();
  if (!std::isnan(n) && n > -2147483649.0 && n < 2147483648.0) v = static_cast<std::int64_t>(n);
  const bool negative = v < 0;
  if (negative && v != std::numeric_limits<std::int32_t>::min()) v = -v;
  std::string digits;
  do {
    const auto d = static_cast<int>(v % radix);
    digits += static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    v /= radix;
  } while (v != 0);
  std::string out = negative ? "-" : "";
  out.append(digits.rbegin(), digits.rend());
  return out;
}

double StringToNumber(std::string_view s, int swfVersion) {
  const double invalid = swfVersion >= 5 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
  if (s.empty()) return invalid;
  double out = 0;
  // Hex and octal forms are read before white space is skipped: " 010" is ten.
  if (swfVersion >= 6 && ParseRadixInteger(s, out)) return out;
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  s = s.substr(i);
  if (swfVersion < 5) {
    // Old movies read the longest number at the front and ignore what follows: "12A" is 12.
    std::size_t end = 0;
    if (end < s.size() && (s[end] == '-' || s[end] == '+')) ++end;
    bool point = false;
    while (end < s.size() && ((s[end] >= '0' && s[end] <= '9') || (s[end] == '.' && !point))) {
      if (s[end] == '.') point = true;
      ++end;
    }
    if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
      std::size_t e = end + 1;
      if (e < s.size() && (s[e] == '-' || s[e] == '+')) ++e;
      if (e < s.size() && s[e] >= '0' && s[e] <= '9') {
        while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e;
        end = e;
      }
    }
    s = s.substr(0, end);
  }
  // Trailing white space is not allowed: "5 " is not a number.
  if (ParseDecimal(s, out)) return out;
  return invalid;
}

std::int32_t ToInt32(double n) {
  const std::uint32_t u = ToUint32(n);
  return u >= 0x80000000u ? static_cast<std::int32_t>(static_cast<std::int64_t>(u) - 0x100000000LL)
                          : static_cast<std::int32_t>(u);
}

std::uint32_t ToUint32(double n) {
  if (!std::isfinite(n)) return 0;
  double m = std::fmod(std::trunc(n), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<std::uint32_t>(m);
}

}  // namespace quillon::player::avm1
