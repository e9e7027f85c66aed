// Bounds-checked little-endian byte and bit reading over an SWF body. A read past the end
// yields zeros and marks the reader failed, so damaged movies never read outside their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon::player {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool failed() const { return failed_; }
  std::size_t pos() const { return pos_; }
  std::size_t size() const { return bytes_.size(); }
  std::size_t remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
  bool atEnd() const { return pos_ >= bytes_.size(); }

  void seek(std::size_t at) {
    align();
    if (at > bytes_.size()) {
      failed_ = true;
      at = bytes_.size();
    }
    pos_ = at;
  }
  void skip(std::size_t n) {
    align();
    if (n > remaining()) {
      failed_ = true;
      pos_ = bytes_.size();
    } else {
      pos_ += n;
    }
  }

  std::uint8_t u8() {
    align();
    if (pos_ >= bytes_.size()) {
      failed_ = true;
      return 0;
    }
    return bytes_[pos_++];
  }
  std::uint16_t u16() {
    const std::uint16_t lo = u8();
    return static_cast<std::uint16_t>(lo | u8() << 8);
  }
  std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
  std::uint32_t u32() {
    const std::uint32_t lo = u16();
    return lo | static_cast<std::uint32_t>(u16()) << 16;
  }
  std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
  float f32() {
    const std::uint32_t v = u32();
    float f;
    static_assert(sizeof f == sizeof v);
    __builtin_memcpy(&f, &v, sizeof f);
    return f;
  }
  // AVM1 doubles store their two 32-bit halves high word first.
  double f64Swapped() {
    const std::uint64_t hi = u32();
    const std::uint64_t lo = u32();
    const std::uint64_t v = hi << 32 | lo;
    double d;
    __builtin_memcpy(&d, &v, sizeof d);
    return d;
  }
  double fixed8() { return s16() / 256.0; }
  double fixed16() { return s32() / 65536.0; }
  std::string str() {
    std::string s;
    while (true) {
      const std::uint8_t c = u8();
      if (c == 0 || failed_) break;
      s.push_back(static_cast<char>(c));
    }
    return s;
  }
  std::span<const std::uint8_t> bytes(std::size_t n) {
    align();
    if (n > remaining()) {
      failed_ = true;
      n = remaining();
    }
    auto s = bytes_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  std::span<const std::uint8_t> rest() { return bytes(remaining()); }

  std::uint32_t ubits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (bitCount_ == 0) {
        if (pos_ >= bytes_.size()) {
          failed_ = true;
          return 0;
        }
        bitBuf_ = bytes_[pos_++];
        bitCount_ = 8;
      }
      --bitCount_;
      v = v << 1 | ((bitBuf_ >> bitCount_) & 1u);
    }
    return v;
  }
  std::int32_t sbits(int n) {
    std::uint32_t v = ubits(n);
    if (n > 0 && n < 32 && (v >> (n - 1)) & 1u) v |= ~0u << n;
    return static_cast<std::int32_t>(v);
  }
  double fbits(int n) { return sbits(n) / 65536.0; }
  void align() { bitCount_ = 0; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::uint8_t bitBuf_ = 0;
  int bitCount_ = 0;
  bool failed_ = false;
};

}  // namespace quillon::player
