// Reading a movie's facts from its header, as the stub's fallback window shows them.
#include "swf_facts.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace quillon::stub {
namespace {

using Bytes = std::vector<std::uint8_t>;

// RECT 0..550 x 0..400 pixels (11000 x 8000 twips) with 15-bit fields, 24 fps, 10 frames.
Bytes FrameHeader() {
  // nbits=15; xmin=0, xmax=11000, ymin=0, ymax=8000: 5 + 60 bits = 65 bits -> 9 bytes.
  std::vector<int> bits;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  put(15, 5);
  put(0, 15);
  put(11000, 15);
  put(0, 15);
  put(8000, 15);
  Bytes out((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  for (int b : {0x80, 24, 10, 0}) out.push_back(static_cast<std::uint8_t>(b));  // 24.5 fps, 10 frames
  return out;
}

Bytes Movie(char signature, const Bytes& body) {
  Bytes m{static_cast<std::uint8_t>(signature), 'W', 'S', 10};
  const auto len = static_cast<std::uint32_t>(8 + FrameHeader().size());
  for (int i = 0; i < 4; ++i) m.push_back(static_cast<std::uint8_t>(len >> (8 * i)));
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

TEST(SwfFacts, UncompressedHeaderGivesStageRateAndFrames) {
  const auto facts = ReadSwfFacts(Movie('F', FrameHeader()));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->compression, Compression::None);
  EXPECT_EQ(facts->version, 10);
  ASSERT_TRUE(facts->hasFrameHeader);
  EXPECT_EQ(facts->stageWidth, 550);
  EXPECT_EQ(facts->stageHeight, 400);
  EXPECT_DOUBLE_EQ(facts->frameRate, 24.5);
  EXPECT_EQ(facts->frameCount, 10);
}

TEST(SwfFacts, ZlibBodyIsInflatedForTheHeader) {
  const Bytes plain = FrameHeader();
  Bytes packed(compressBound(static_cast<uLong>(plain.size())));
  uLongf n = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress(packed.data(), &n, plain.data(), static_cast<uLong>(plain.size())), Z_OK);
  packed.resize(n);
  const auto facts = ReadSwfFacts(Movie('C', packed));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->compression, Compression::Zlib);
  ASSERT_TRUE(facts->hasFrameHeader);
  EXPECT_EQ(facts->stageWidth, 550);
  EXPECT_EQ(facts->frameCount, 10);
}

// The file attributes as the first tag: code 69, length 4, flags first.
Bytes WithAttributes(std::uint8_t flags) {
  Bytes body = FrameHeader();
  for (int b : {(69 << 6 | 4) & 0xFF, (69 << 6 | 4) >> 8, int{flags}, 0, 0, 0}) body.push_back(static_cast<std::uint8_t>(b));
  return body;
}

TEST(SwfFacts, FileAttributesTellActionScript3EvenInsideZlib) {
  const auto as3 = ReadSwfFacts(Movie('F', WithAttributes(0x08 | 0x01)));
  ASSERT_TRUE(as3);
  EXPECT_TRUE(as3->hasFileAttributes);
  EXPECT_TRUE(as3->actionScript3);
  // Network access alone is not ActionScript 3.
  const Bytes plain = WithAttributes(0x01);
  Bytes packed(compressBound(static_cast<uLong>(plain.size())));
  uLongf n = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress(packed.data(), &n, plain.data(), static_cast<uLong>(plain.size())), Z_OK);
  packed.resize(n);
  const auto as2 = ReadSwfFacts(Movie('C', packed));
  ASSERT_TRUE(as2);
  EXPECT_TRUE(as2->hasFileAttributes);
  EXPECT_FALSE(as2->actionScript3);
  // No attributes: an older movie, which cannot be ActionScript 3.
  const auto old = ReadSwfFacts(Movie('F', FrameHeader()));
  EXPECT_FALSE(old->hasFileAttributes);
  EXPECT_FALSE(old->actionScript3);
}

TEST(SwfFacts, DamagedLzmaStreamShowsOnlyItsPlainHeader) {
  const auto facts = ReadSwfFacts(Movie('Z', Bytes(20, 0x5D)));
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->compression, Compression::Lzma);
  EXPECT_FALSE(facts->hasFrameHeader);
  EXPECT_NE(DescribeFacts(*facts, 28).find(L"LZMA"), std::wstring::npos);
}

TEST(SwfFacts, NonSwfAndTruncatedInputAreHandledWithoutReadingPastTheEnd) {
  EXPECT_FALSE(ReadSwfFacts(Bytes{'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4}));
  EXPECT_FALSE(ReadSwfFacts(Bytes{'F', 'W', 'S'}));
  const Bytes whole = Movie('F', FrameHeader());
  for (std::size_t n = 8; n < whole.size(); ++n) {
    const auto facts = ReadSwfFacts(std::span(whole.data(), n));
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->hasFrameHeader) << n;
  }
  // A damaged zlib body reads as no frame header, not as garbage.
  const auto damaged = ReadSwfFacts(Movie('C', Bytes(30, 0xFF)));
  ASSERT_TRUE(damaged);
  EXPECT_FALSE(damaged->hasFrameHeader);
}

TEST(SwfFacts, DescriptionNamesEveryFact) {
  const auto facts = ReadSwfFacts(Movie('F', FrameHeader()));
  const std::wstring text = DescribeFacts(*facts, 12345);
  for (const wchar_t* part : {L"SWF version: 10", L"none (FWS)", L"550 x 400", L"24.50", L"Frames: 10", L"12345 bytes"})
    EXPECT_NE(text.find(part), std::wstring::npos) << part;
}

}  // namespace
}  // namespace quillon::stub
