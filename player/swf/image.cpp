#include "swf/image.h"

#include <zlib.h>

#include <cstring>

#include "swf/bytes.h"

extern "C" {
unsigned char* stbi_load_from_memory(const unsigned char* buffer, int len, int* x, int* y, int* channels_in_file,
                                     int desired_channels);
void stbi_image_free(void* retval_from_stbi_load);
}

namespace quillon::player {
namespace {

std::uint8_t Unpremultiply(std::uint8_t c, std::uint8_t a) {
  if (a == 0) return 0;
  const unsigned v = (static_cast<unsigned>(c) * 255u + a / 2u) / a;
  return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

bool StartsWith(std::span<const std::uint8_t> d, std::initializer_list<std::uint8_t> p) {
  return d.size() >= p.size() && std::equal(p.begin(), p.end(), d.begin());
}

// Old encoders put an empty image (end, start markers) before the real one.
std::span<const std::uint8_t> StripErroneousHeader(std::span<const std::uint8_t> d) {
  while (StartsWith(d, {0xFF, 0xD9, 0xFF, 0xD8})) d = d.subspan(4);
  return d;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Inflate(std::span<const std::uint8_t> data, std::size_t maxSize,
                                                 bool allowTruncated, bool* tooLarge) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  std::vector<std::uint8_t> out;
  std::uint8_t chunk[16384];
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = sizeof chunk - z.avail_out;
    if (out.size() + got > maxSize) {
      if (tooLarge) *tooLarge = true;
      inflateEnd(&z);
      return std::nullopt;
    }
    out.insert(out.end(), chunk, chunk + got);
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END && !allowTruncated) return std::nullopt;
  return out;
}

std::optional<BitmapDef> DecodeLossless(std::span<const std::uint8_t> body, bool version2) {
  Reader r(body);
  const std::uint8_t format = r.u8();
  BitmapDef bmp;
  bmp.width = r.u16();
  bmp.height = r.u16();
  const std::size_t count = static_cast<std::size_t>(bmp.width) * static_cast<std::size_t>(bmp.height);
  if (r.failed() || count == 0 || count > kMaxBitmapPixels) return std::nullopt;
  std::size_t tableSize = 0;
  if (format == 3) tableSize = r.u8() + 1u;
  const auto packed = Inflate(r.rest(), count * 4 + tableSize * 4 + 4 * static_cast<std::size_t>(bmp.height) + 16, true);
  if (!packed) return std::nullopt;
  const auto& p = *packed;
  // A bitmap whose pixel data falls short of its declared size is damaged: refuse it before
  // allocating for the size it claims.
  const std::size_t w0 = static_cast<std::size_t>(bmp.width), h0 = static_cast<std::size_t>(bmp.height);
  const std::size_t needed = format == 3   ? tableSize * (version2 ? 4 : 3) + ((w0 + 3) & ~std::size_t{3}) * (h0 - 1) + w0
                             : format == 4 ? ((w0 * 2 + 3) & ~std::size_t{3}) * (h0 - 1) + w0 * 2
                                           : count * 4;
  if (p.size() < needed) return std::nullopt;
  bmp.pixels.resize(count);
  const std::size_t w = static_cast<std::size_t>(bmp.width);
  auto at = [&](std::size_t i) -> std::uint8_t { return i < p.size() ? p[i] : 0; };
  if (format == 3) {
    const std::size_t entry = version2 ? 4 : 3;
    const std::size_t stride = (w + 3) & ~std::size_t{3};
    for (std::size_t y = 0; y < static_cast<std::size_t>(bmp.height); ++y)
      for (std::size_t x = 0; x < w; ++x) {
        const std::size_t idx = at(tableSize * entry + y * stride + x);
        if (idx >= tableSize) {
          bmp.pixels[y * w + x] = {0, 0, 0, 0};
          continue;
        }
        const std::size_t e = idx * entry;
        const std::uint8_t a = version2 ? at(e + 3) : 255;
        bmp.pixels[y * w + x] = version2 ? Rgba{Unpremultiply(at(e), a), Unpremultiply(at(e + 1), a),
                                                Unpremultiply(at(e + 2), a), a}
                                         : Rgba{at(e), at(e + 1), at(e + 2), 255};
      }
  } else if (format == 4 && !version2) {
    const std::size_t stride = (w * 2 + 3) & ~std::size_t{3};
    for (std::size_t y = 0; y < static_cast<std::size_t>(bmp.height); ++y)
      for (std::size_t x = 0; x < w; ++x) {
        const unsigned v = static_cast<unsigned>(at(y * stride + 2 * x)) << 8 | at(y * stride + 2 * x + 1);
        auto ch = [](unsigned five) { return static_cast<std::uint8_t>(five << 3 | five >> 2); };
        bmp.pixels[y * w + x] = {ch((v >> 10) & 31), ch((v >> 5) & 31), ch(v & 31), 255};
      }
  } else if (format == 5) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t a = version2 ? at(4 * i) : 255;
      const std::uint8_t r8 = at(4 * i + 1), g8 = at(4 * i + 2), b8 = at(4 * i + 3);
      bmp.pixels[i] = version2 ? Rgba{Unpremultiply(r8, a), Unpremultiply(g8, a), Unpremultiply(b8, a), a}
                               : Rgba{r8, g8, b8, 255};
    }
  } else {
    return std::nullopt;
  }
  return bmp;
}

std::optional<BitmapDef> DecodeImage(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables,
                                     std::span<const std::uint8_t> alpha) {
  data = StripErroneousHeader(data);
  std::vector<std::uint8_t> joined;
  const bool jpeg = StartsWith(data, {0xFF, 0xD8});
  if (jpeg && !tables.empty()) {
    tables = StripErroneousHeader(tables);
    // The tables stream ends with an end marker and the image restarts; splice them into one.
    std::size_t keep = tables.size();
    if (keep >= 2 && tables[keep - 2] == 0xFF && tables[keep - 1] == 0xD9) keep -= 2;
    joined.assign(tables.begin(), tables.begin() + static_cast<std::ptrdiff_t>(keep));
    joined.insert(joined.end(), data.begin() + 2, data.end());
    if (!StartsWith(joined, {0xFF, 0xD8})) joined.insert(joined.begin(), {0xFF, 0xD8});
    data = joined;
  } else if (jpeg) {
    // Some movies keep an end and start marker pair inside the data: drop it.
    for (std::size_t i = 2; i + 4 <= data.size(); ++i)
      if (data[i] == 0xFF && data[i + 1] == 0xD9 && data[i + 2] == 0xFF && data[i + 3] == 0xD8) {
        joined.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(i));
        joined.insert(joined.end(), data.begin() + static_cast<std::ptrdiff_t>(i + 4), data.end());
        data = joined;
        break;
      }
  }
  if (data.empty() || data.size() > 0x7FFFFFFF) return std::nullopt;
  int w = 0, h = 0, n = 0;
  unsigned char* px = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &n, 4);
  if (!px) return std::nullopt;
  struct Free {
    unsigned char* p;
    ~Free() { stbi_image_free(p); }
  } owner{px};
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (w <= 0 || h <= 0 || count > kMaxBitmapPixels) return std::nullopt;
  BitmapDef bmp;
  bmp.width = w;
  bmp.height = h;
  bmp.pixels.resize(count);
  std::memcpy(bmp.pixels.data(), px, count * 4);
  if (!alpha.empty()) {
    const auto a = Inflate(alpha, count, true);
    if (a) {
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t av = i < a->size() ? (*a)[i] : 255;
        Rgba& c = bmp.pixels[i];
        c = {Unpremultiply(c.r, av), Unpremultiply(c.g, av), Unpremultiply(c.b, av), av};
      }
    }
  }
  return bmp;
}

}  // namespace quillon::player
