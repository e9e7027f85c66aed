// What a 32-bit program can hold: movies whose decoded pictures, sounds or body would not fit are
// refused for their size, before memory runs out, and never mistaken for damaged ones.
#include <gtest/gtest.h>
#include <zlib.h>

#include "sound/sound_writer.h"
#include "swf/movie.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

// A DefineBitsLossless2 of opaque grey, `w` x `h`: decoded, 4 bytes a pixel.
Bytes GreyBitmap(int id, int w, int h) {
  Bytes argb;
  for (int i = 0; i < w * h; ++i) Append(argb, Bytes{255, 128, 128, 128});
  uLongf size = compressBound(static_cast<uLong>(argb.size()));
  Bytes packed(size);
  EXPECT_EQ(compress2(packed.data(), &size, argb.data(), static_cast<uLong>(argb.size()), 9), Z_OK);
  packed.resize(size);
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  body.push_back(5);
  U16(body, static_cast<unsigned>(w));
  U16(body, static_cast<unsigned>(h));
  Append(body, packed);
  return Tag(36, body);
}

TEST(LoadLimits, DecodedBitmapsAndSoundsCountAgainstTheBudget) {
  // Three 64 x 64 bitmaps decode to 3 x 16,384 bytes; the body itself is well under 1,000.
  const Bytes pictures = MovieFile(10, 10, {GreyBitmap(1, 64, 64), GreyBitmap(2, 64, 64), GreyBitmap(3, 64, 64),
                                            ShowFrame()});
  ASSERT_LT(pictures.size(), 1000u);
  const auto fits = LoadMovie(pictures, 52'000);
  ASSERT_EQ(fits.error, LoadError::None);
  for (int id : {1, 2, 3}) EXPECT_NE(fits.movie->Find(static_cast<std::uint16_t>(id)), nullptr) << id;
  const auto over = LoadMovie(pictures, 40'000);
  EXPECT_EQ(over.error, LoadError::TooLarge) << "two bitmaps fit 40,000 bytes, the third does not";
  EXPECT_EQ(over.movie, nullptr) << "a refused movie is not played in part";

  // 10,000 mono 16-bit frames of uncompressed sound decode to 20,000 bytes.
  const Bytes samples(20'000, 0);
  const Bytes sound = MovieFile(10, 10, {DefineSound(1, FormatByte(3, 3, true, false), 10'000, samples), ShowFrame()});
  EXPECT_EQ(LoadMovie(sound, 45'000).error, LoadError::None) << "the body (20,000+) and the sound (20,000) fit";
  EXPECT_EQ(LoadMovie(sound, 30'000).error, LoadError::TooLarge);
  EXPECT_EQ(LoadMovie(sound).error, LoadError::None) << "the default budget is far above a small movie";
}

TEST(LoadLimits, BodiesPastTheLargestAcceptedAreTooLargeNotDamaged) {
  // An LZMA movie that declares a body past the limit is refused before anything is decoded.
  Bytes lzma{'Z', 'W', 'S', 13};
  U32(lzma, static_cast<std::uint32_t>(kMaxBodySize + 9));
  Append(lzma, Bytes{5, 0, 0, 0, 0x5d, 0, 0, 0x80, 0});
  Append(lzma, Bytes(32, 0));
  EXPECT_EQ(LoadMovie(lzma).error, LoadError::TooLarge);

  // A zlib movie whose body inflates past the limit, whatever its header says.
  Bytes zlib{'C', 'W', 'S', 10};
  U32(zlib, 1000);
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 1), Z_OK);
  Bytes zeros(1 << 20, 0), packed;
  Bytes chunk(1 << 16);
  const std::size_t rounds = kMaxBodySize / zeros.size() + 1;
  for (std::size_t i = 0; i <= rounds; ++i) {
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    const int flush = i == rounds ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = chunk.data();
      z.avail_out = static_cast<uInt>(chunk.size());
      deflate(&z, flush);
      packed.insert(packed.end(), chunk.begin(), chunk.end() - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  Append(zlib, packed);
  EXPECT_EQ(LoadMovie(zlib).error, LoadError::TooLarge);

  // Damage stays damage.
  Bytes damaged{'C', 'W', 'S', 10, 100, 0, 0, 0, 0x78, 0x9C, 1, 2, 3, 4, 5};
  EXPECT_EQ(LoadMovie(damaged).error, LoadError::Damaged);
}

}  // namespace
}  // namespace quillon::player
