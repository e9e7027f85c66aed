// Reading movies: the three signatures, the LZMA decoder, damaged and ActionScript 3 movies.
#include <gtest/gtest.h>

#include <string>

#include "swf/lzma.h"
#include "swf/movie.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

// "frame 0 of the quillon test movie; " ... "frame 39 ...", LZMA "alone" format (13-byte header).
const Bytes kLzmaText = {0x5d, 0x00, 0x00, 0x80, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x33, 0x1c, 0x88, 0x46, 0x80, 0x9c, 0xf3, 0x60, 0x06, 0x22, 0x74, 0xd0, 0xb2, 0x23, 0x69, 0xf3, 0x8e, 0x02, 0x87, 0xda, 0xfc, 0xaf, 0x75, 0x52, 0x4b, 0x62, 0x57, 0x66, 0xaa, 0x0f, 0x7e, 0xaf, 0x9c, 0x2a, 0xf7, 0xd5, 0x01, 0xa5, 0x5e, 0xe2, 0xfe, 0x09, 0xd0, 0x1f, 0x46, 0x6b, 0x86, 0xab, 0x19, 0xc3, 0xf7, 0x0d, 0x32, 0xc2, 0x23, 0x34, 0xf7, 0x39, 0xbc, 0x95, 0x43, 0x14, 0x5d, 0x45, 0x15, 0xd5, 0x8c, 0xfb, 0x59, 0x62, 0x44, 0x59, 0x2e, 0x32, 0x94, 0x30, 0x1b, 0xb3, 0x0f, 0x4f, 0x24, 0xea, 0x56, 0x04, 0xa7, 0x60, 0x8e, 0x7f, 0xb4, 0xd8, 0x0d, 0x0d, 0x17, 0x8d, 0xa8, 0x2f, 0x0d, 0x8a, 0xb5, 0x4c, 0x6f, 0x53, 0x3f, 0xf0, 0x57, 0x76, 0xc7, 0x60, 0x55, 0xbc, 0xec, 0x96, 0xdd, 0x4d, 0x0b, 0x46, 0x9f, 0xff, 0xb1, 0x57, 0x80, 0x80};

std::string ExpectedText() {
  std::string s;
  for (int i = 0; i < 40; ++i) s += "frame " + std::to_string(i) + " of the quillon test movie; ";
  return s;
}

// A ZWS movie: stage 400 x 300 twips, 12 fps, one frame, background #112233.
const Bytes kZwsMovie = {0x5a, 0x57, 0x53, 0x0d, 0x1b, 0x00, 0x00, 0x00, 0x1e, 0x00, 0x00, 0x00, 0x5d, 0x00, 0x00, 0x80, 0x00, 0x00, 0x28, 0x00, 0x15, 0x38, 0x00, 0x47, 0x2b, 0xd0, 0xab, 0xe2, 0x20, 0x86, 0x20, 0x83, 0x85, 0x6c, 0x88, 0x21, 0x9b, 0xa9, 0x1e, 0x8f, 0xff, 0xff, 0xff, 0x11, 0xc0, 0x00, 0x00};

TEST(Lzma, DecodesAStreamToItsText) {
  const std::span<const std::uint8_t> all(kLzmaText);
  const std::string text = ExpectedText();
  const auto out = LzmaDecode(all.first<5>(), all.subspan(13), text.size());
  ASSERT_TRUE(out) << "a valid LZMA stream was refused";
  EXPECT_EQ(std::string(out->begin(), out->end()), text);
}

TEST(Lzma, RefusesTruncatedAndCorruptStreamsWithoutReadingOutside) {
  const std::span<const std::uint8_t> all(kLzmaText);
  const std::size_t size = ExpectedText().size();
  EXPECT_FALSE(LzmaDecode(all.first<5>(), all.subspan(13, 40), size)) << "a truncated stream was accepted";
  const std::uint8_t badProps[5] = {225, 0, 0, 1, 0};  // lc/lp/pb out of range
  EXPECT_FALSE(LzmaDecode(std::span<const std::uint8_t, 5>(badProps), all.subspan(13), size));
  Bytes corrupt(kLzmaText.begin(), kLzmaText.end());
  for (std::size_t i = 20; i < corrupt.size(); i += 7) corrupt[i] ^= 0x5A;
  const std::span<const std::uint8_t> c(corrupt);
  const auto out = LzmaDecode(c.first<5>(), c.subspan(13), size);  // may decode garbage, must not crash
  if (out) {
    EXPECT_LE(out->size(), size);
  }
}

TEST(LoadMovie, SameMovieReadsAlikeUncompressedAndZlibCompressed) {
  const std::vector<Bytes> tags = {Background({1, 2, 3}), RectShape(1, 200, 200, 400, 400, {255, 0, 0}),
                                   PlaceObject2({.depth = 1, .id = 1}), ShowFrame(), ShowFrame()};
  for (char sig : {'F', 'C'}) {
    const auto r = LoadMovie(MovieFile(64, 48, tags, sig, 24.5));
    ASSERT_EQ(r.error, LoadError::None) << sig;
    const Movie& m = *r.movie;
    EXPECT_EQ(m.compression, sig == 'F' ? Compression::None : Compression::Zlib);
    EXPECT_EQ(m.StageWidth(), 64);
    EXPECT_EQ(m.StageHeight(), 48);
    EXPECT_DOUBLE_EQ(m.frameRate, 24.5);
    EXPECT_EQ(m.frameCount, 2);
    EXPECT_EQ(m.timeline.frames.size(), 2u);
    EXPECT_EQ(m.background, (Rgba{1, 2, 3, 255}));
    ASSERT_NE(m.Find(1), nullptr);
    EXPECT_TRUE(std::holds_alternative<ShapeDef>(*m.Find(1)));
  }
}

TEST(LoadMovie, LzmaCompressedMovieReadsItsHeaderAndTags) {
  const auto r = LoadMovie(kZwsMovie);
  ASSERT_EQ(r.error, LoadError::None);
  EXPECT_EQ(r.movie->compression, Compression::Lzma);
  EXPECT_EQ(r.movie->version, 13);
  EXPECT_EQ(r.movie->StageWidth(), 20);
  EXPECT_EQ(r.movie->StageHeight(), 15);
  EXPECT_DOUBLE_EQ(r.movie->frameRate, 12);
  EXPECT_EQ(r.movie->background, (Rgba{0x11, 0x22, 0x33, 255}));
}

TEST(LoadMovie, TellsNotSwfDamagedAndActionScript3Apart) {
  EXPECT_EQ(LoadMovie(Bytes{'h', 'e', 'l', 'l', 'o'}).error, LoadError::NotSwf);
  EXPECT_EQ(LoadMovie(Bytes{'G', 'W', 'S', 10, 20, 0, 0, 0, 0, 0}).error, LoadError::NotSwf);
  // A zlib movie whose body is not zlib data.
  EXPECT_EQ(LoadMovie(Bytes{'C', 'W', 'S', 10, 100, 0, 0, 0, 1, 2, 3, 4, 5, 6}).error, LoadError::Damaged);
  // An LZMA movie cut off after its properties.
  Bytes cut(kZwsMovie.begin(), kZwsMovie.begin() + 20);
  EXPECT_EQ(LoadMovie(cut).error, LoadError::Damaged);
  // ActionScript 3 code (DoABC) is detected; the facts stay readable.
  const auto as3 = LoadMovie(MovieFile(10, 10, {Tag(69, {0x08, 0, 0, 0}), Tag(82, {1, 2, 3}), ShowFrame()}));
  EXPECT_EQ(as3.error, LoadError::NeedsActionScript3);
  ASSERT_TRUE(as3.movie);
  EXPECT_EQ(as3.movie->StageWidth(), 10);
  // The flag alone, without code, still plays (a timeline-only movie from an AS3 authoring setting).
  EXPECT_EQ(LoadMovie(MovieFile(10, 10, {Tag(69, {0x08, 0, 0, 0}), ShowFrame()})).error, LoadError::None);
}

TEST(LoadMovie, SkipsUnknownTagsAndKeepsWhatPrecedesADamagedTag) {
  const Bytes unknown = Tag(999 & 0x3FF, Bytes(100, 0xEE));
  const auto r = LoadMovie(MovieFile(10, 10, {unknown, RectShape(1, 0, 0, 20, 20, {1, 1, 1}), ShowFrame()}));
  ASSERT_EQ(r.error, LoadError::None);
  EXPECT_NE(r.movie->Find(1), nullptr) << "a shape after an unknown tag was lost";
  // A tag whose length runs past the end of the file ends the movie there.
  Bytes m = MovieFile(10, 10, {RectShape(1, 0, 0, 20, 20, {1, 1, 1}), ShowFrame()});
  m.pop_back();
  m.pop_back();  // drop End
  Append(m, Bytes{0x3F, 0x03, 0xFF, 0xFF, 0xFF, 0x7F});  // DoAction claiming 2 GiB
  const auto d = LoadMovie(m);
  ASSERT_TRUE(d.movie);
  EXPECT_NE(d.movie->Find(1), nullptr);
  EXPECT_EQ(d.movie->timeline.frames.size(), 1u);
}

}  // namespace
}  // namespace quillon::player
