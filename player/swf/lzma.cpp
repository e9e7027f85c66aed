#include "swf/lzma.h"

#include <algorithm>
#include <array>

namespace quillon::player {
namespace {

using Prob = std::uint16_t;
constexpr Prob kProbInit = 1024;
constexpr int kNumStates = 12;
constexpr int kPosStatesMax = 16;
constexpr int kEndPosModelIndex = 14;
constexpr int kNumFullDistances = 128;
constexpr int kNumAlignBits = 4;
constexpr int kNumLenToPosStates = 4;
constexpr std::uint32_t kMatchMinLen = 2;

class RangeDecoder {
 public:
  explicit RangeDecoder(std::span<const std::uint8_t> in) : in_(in) {
    if (next() != 0) bad_ = true;
    for (int i = 0; i < 4; ++i) code_ = code_ << 8 | next();
    if (code_ == range_) bad_ = true;
  }
  bool bad() const { return bad_; }

  unsigned bit(Prob& p) {
    const std::uint32_t bound = (range_ >> 11) * p;
    unsigned b;
    if (code_ < bound) {
      range_ = bound;
      p = static_cast<Prob>(p + ((2048 - p) >> 5));
      b = 0;
    } else {
      range_ -= bound;
      code_ -= bound;
      p = static_cast<Prob>(p - (p >> 5));
      b = 1;
    }
    normalize();
    return b;
  }
  std::uint32_t direct(int count) {
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
      range_ >>= 1;
      std::uint32_t b = 0;
      if (code_ >= range_) {
        code_ -= range_;
        b = 1;
      }
      v = v << 1 | b;
      normalize();
    }
    return v;
  }
  // `probs` holds at least 1 << bits entries.
  std::uint32_t tree(Prob* probs, int bits) {
    std::uint32_t m = 1;
    for (int i = 0; i < bits; ++i) m = m << 1 | bit(probs[m]);
    return m - (1u << bits);
  }
  std::uint32_t reverseTree(Prob* probs, int bits) {
    std::uint32_t m = 1, sym = 0;
    for (int i = 0; i < bits; ++i) {
      const unsigned b = bit(probs[m]);
      m = m << 1 | b;
      sym |= b << i;
    }
    return sym;
  }

 private:
  std::uint8_t next() {
    if (pos_ >= in_.size()) {
      bad_ = true;  // a truncated stream: decoding continues on zeros but the result is refused
      return 0;
    }
    return in_[pos_++];
  }
  void normalize() {
    if (range_ < (1u << 24)) {
      range_ <<= 8;
      code_ = code_ << 8 | next();
    }
  }
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
  std::uint32_t range_ = 0xFFFFFFFFu, code_ = 0;
  bool bad_ = false;
};

struct LenDecoder {
  Prob choice = kProbInit, choice2 = kProbInit;
  std::array<Prob, kPosStatesMax << 3> low;
  std::array<Prob, kPosStatesMax << 3> mid;
  std::array<Prob, 256> high;
  LenDecoder() {
    low.fill(kProbInit);
    mid.fill(kProbInit);
    high.fill(kProbInit);
  }
  std::uint32_t decode(RangeDecoder& rc, std::uint32_t posState) {
    if (rc.bit(choice) == 0) return rc.tree(low.data() + (posState << 3), 3);
    if (rc.bit(choice2) == 0) return 8 + rc.tree(mid.data() + (posState << 3), 3);
    return 16 + rc.tree(high.data(), 8);
  }
};

}  // namespace

std::optional<std::vector<std::uint8_t>> LzmaDecode(std::span<const std::uint8_t, 5> props,
                                                    std::span<const std::uint8_t> data, std::size_t outSize) {
  unsigned d = props[0];
  if (d >= 9 * 5 * 5) return std::nullopt;
  const unsigned lc = d % 9;
  d /= 9;
  const unsigned lp = d % 5, pb = d / 5;

  std::vector<Prob> literal(0x300u << (lc + lp), kProbInit);
  std::array<Prob, kNumStates * kPosStatesMax> isMatch, isRep0Long;
  std::array<Prob, kNumStates> isRep, isRepG0, isRepG1, isRepG2;
  std::array<Prob, kNumLenToPosStates * 64> posSlot;
  std::array<Prob, 1 + kNumFullDistances - kEndPosModelIndex> posDecoders;
  std::array<Prob, 1 << kNumAlignBits> align;
  for (auto* a : {&isRep, &isRepG0, &isRepG1, &isRepG2}) a->fill(kProbInit);
  isMatch.fill(kProbInit);
  isRep0Long.fill(kProbInit);
  posSlot.fill(kProbInit);
  posDecoders.fill(kProbInit);
  align.fill(kProbInit);
  LenDecoder lenDecoder, repLenDecoder;

  RangeDecoder rc(data);
  std::vector<std::uint8_t> out;
  out.reserve(std::min<std::size_t>(outSize, 1u << 24));  // a declared size is only a claim
  std::uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
  unsigned state = 0;
  const std::uint32_t pbMask = (1u << pb) - 1, lpMask = (1u << lp) - 1;

  while (out.size() < outSize) {
    if (rc.bad()) return std::nullopt;
    const std::uint32_t posState = static_cast<std::uint32_t>(out.size()) & pbMask;
    if (rc.bit(isMatch[state * kPosStatesMax + posState]) == 0) {
      const unsigned prev = out.empty() ? 0 : out.back();
      const std::size_t litState = ((out.size() & lpMask) << lc) + (prev >> (8 - lc));
      Prob* probs = literal.data() + 0x300 * litState;
      unsigned symbol = 1;
      if (state >= 7) {
        if (rep0 >= out.size()) return std::nullopt;
        unsigned matchByte = out[out.size() - rep0 - 1];
        while (symbol < 0x100) {
          const unsigned matchBit = (matchByte >> 7) & 1;
          matchByte <<= 1;
          const unsigned b = rc.bit(probs[((1 + matchBit) << 8) + symbol]);
          symbol = symbol << 1 | b;
          if (matchBit != b) break;
        }
      }
      while (symbol < 0x100) symbol = symbol << 1 | rc.bit(probs[symbol]);
      out.push_back(static_cast<std::uint8_t>(symbol));
      state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
      continue;
    }
    std::uint32_t len;
    if (rc.bit(isRep[state]) != 0) {
      if (out.empty()) return std::nullopt;
      if (rc.bit(isRepG0[state]) == 0) {
        if (rc.bit(isRep0Long[state * kPosStatesMax + posState]) == 0) {
          state = state < 7 ? 9 : 11;
          if (rep0 >= out.size()) return std::nullopt;
          out.push_back(out[out.size() - rep0 - 1]);
          continue;
        }
      } else {
        std::uint32_t dist;
        if (rc.bit(isRepG1[state]) == 0) {
          dist = rep1;
        } else {
          if (rc.bit(isRepG2[state]) == 0) {
            dist = rep2;
          } else {
            dist = rep3;
            rep3 = rep2;
          }
          rep2 = rep1;
        }
        rep1 = rep0;
        rep0 = dist;
      }
      len = repLenDecoder.decode(rc, posState);
      state = state < 7 ? 8 : 11;
    } else {
      rep3 = rep2;
      rep2 = rep1;
      rep1 = rep0;
      len = lenDecoder.decode(rc, posState);
      state = state < 7 ? 7 : 10;
      const std::uint32_t lenState = len < kNumLenToPosStates - 1 ? len : kNumLenToPosStates - 1;
      const std::uint32_t slot = rc.tree(posSlot.data() + lenState * 64, 6);
      if (slot < 4) {
        rep0 = slot;
      } else {
        const int directBits = static_cast<int>((slot >> 1) - 1);
        std::uint32_t dist = (2 | (slot & 1)) << directBits;
        if (slot < kEndPosModelIndex) {
          dist += rc.reverseTree(posDecoders.data() + (dist - slot), directBits);
        } else {
          dist += rc.direct(directBits - kNumAlignBits) << kNumAlignBits;
          dist += rc.reverseTree(align.data(), kNumAlignBits);
        }
        rep0 = dist;
      }
      if (rep0 == 0xFFFFFFFFu) break;  // end marker
    }
    len += kMatchMinLen;
    if (rep0 >= out.size()) return std::nullopt;
    for (std::uint32_t i = 0; i < len && out.size() < outSize; ++i) out.push_back(out[out.size() - rep0 - 1]);
  }
  if (rc.bad()) return std::nullopt;
  return out;
}

}  // namespace quillon::player
