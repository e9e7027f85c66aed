#include "swf_facts.h"

#include <zlib.h>

#include "swf/lzma.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace quillon::stub {
namespace {

// Frame header: RECT (at most 17 bytes), rate (2), count (2); then the first tag's long header
// (6) and the file attributes' flags (1).
constexpr std::size_t kFrameHeaderMax = 21;
constexpr std::size_t kHeadMax = kFrameHeaderMax + 7;
constexpr std::uint16_t kFileAttributesTag = 69;
constexpr std::uint8_t kActionScript3Flag = 0x08;

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::optional<std::uint32_t> Bits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (pos_ / 8 >= bytes_.size()) return std::nullopt;
      const int bit = (bytes_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
      v = (v << 1) | static_cast<std::uint32_t>(bit);
      ++pos_;
    }
    return v;
  }
  std::optional<std::int32_t> SignedBits(int n) {
    auto v = Bits(n);
    if (!v) return std::nullopt;
    if (n > 0 && n < 32 && (*v >> (n - 1)) & 1) *v |= ~0u << n;
    return static_cast<std::int32_t>(*v);
  }
  std::size_t ByteOffset() const { return (pos_ + 7) / 8; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

bool ReadFrameHeader(std::span<const std::uint8_t> h, SwfFacts& facts) {
  BitReader r(h);
  const auto nbits = r.Bits(5);
  if (!nbits) return false;
  const auto xmin = r.SignedBits(static_cast<int>(*nbits)), xmax = r.SignedBits(static_cast<int>(*nbits));
  const auto ymin = r.SignedBits(static_cast<int>(*nbits)), ymax = r.SignedBits(static_cast<int>(*nbits));
  if (!xmin || !xmax || !ymin || !ymax) return false;
  const std::size_t at = r.ByteOffset();
  if (h.size() < at + 4) return false;
  facts.stageWidth = static_cast<int>((static_cast<std::int64_t>(*xmax) - *xmin) / 20);
  facts.stageHeight = static_cast<int>((static_cast<std::int64_t>(*ymax) - *ymin) / 20);
  facts.frameRate = h[at + 1] + h[at] / 256.0;  // 8.8 fixed point, little-endian
  facts.frameCount = h[at + 2] | h[at + 3] << 8;
  facts.hasFrameHeader = true;
  std::size_t tag = at + 4;
  if (h.size() < tag + 2) return true;
  const unsigned codeAndLength = h[tag] | h[tag + 1] << 8;
  tag += (codeAndLength & 0x3F) == 0x3F ? 6 : 2;
  if (codeAndLength >> 6 == kFileAttributesTag && h.size() > tag) {
    facts.hasFileAttributes = true;
    facts.actionScript3 = (h[tag] & kActionScript3Flag) != 0;
  }
  return true;
}

std::vector<std::uint8_t> InflatePrefix(std::span<const std::uint8_t> body, std::size_t want) {
  std::vector<std::uint8_t> out(want);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = const_cast<Bytef*>(body.data());
  z.avail_in = static_cast<uInt>(body.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  while (z.avail_out > 0) {
    const int rc = inflate(&z, Z_SYNC_FLUSH);
    if (rc != Z_OK) break;
  }
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

}  // namespace

std::optional<SwfFacts> ReadSwfFacts(std::span<const std::uint8_t> movie) {
  if (movie.size() < 8 || movie[1] != 'W' || movie[2] != 'S') return std::nullopt;
  SwfFacts facts;
  switch (movie[0]) {
    case 'F': facts.compression = Compression::None; break;
    case 'C': facts.compression = Compression::Zlib; break;
    case 'Z': facts.compression = Compression::Lzma; break;
    default: return std::nullopt;
  }
  facts.version = movie[3];
  facts.declaredLength = static_cast<std::uint32_t>(movie[4]) | static_cast<std::uint32_t>(movie[5]) << 8 |
                         static_cast<std::uint32_t>(movie[6]) << 16 | static_cast<std::uint32_t>(movie[7]) << 24;
  const auto body = movie.subspan(8);
  switch (facts.compression) {
    case Compression::None: ReadFrameHeader(body, facts); break;
    case Compression::Zlib: ReadFrameHeader(InflatePrefix(body, kHeadMax), facts); break;
    case Compression::Lzma: {
      // The body: compressed length (4), the coder's properties (5), then the stream.
      if (body.size() < 9 || facts.declaredLength <= 8) break;
      const std::size_t want = std::min<std::size_t>(kHeadMax, facts.declaredLength - 8);
      const auto head = player::LzmaDecode(body.subspan(4).first<5>(), body.subspan(9), want);
      if (head) ReadFrameHeader(*head, facts);
      break;
    }
  }
  return facts;
}

std::wstring DescribeFacts(const SwfFacts& facts, std::uint64_t movieSize) {
  const wchar_t* compression = facts.compression == Compression::None   ? L"none (FWS)"
                               : facts.compression == Compression::Zlib ? L"zlib (CWS)"
                                                                        : L"LZMA (ZWS)";
  std::array<wchar_t, 512> line{};
  std::wstring text;
  std::swprintf(line.data(), line.size(), L"SWF version: %d\nCompression: %ls\n", facts.version, compression);
  text += line.data();
  if (facts.hasFrameHeader) {
    std::swprintf(line.data(), line.size(),
                  L"Stage: %d x %d pixels\nFrame rate: %.2f frames per second\nFrames: %d\n",
                  facts.stageWidth, facts.stageHeight, facts.frameRate, facts.frameCount);
  } else {
    std::swprintf(line.data(), line.size(), L"Stage, frame rate and frames: not readable from the header\n");
  }
  text += line.data();
  std::swprintf(line.data(), line.size(), L"Uncompressed length (header): %lu bytes\nSize: %llu bytes\n",
                static_cast<unsigned long>(facts.declaredLength), static_cast<unsigned long long>(movieSize));
  text += line.data();
  return text;
}

}  // namespace quillon::stub
