// The close glyph's two pictures as committed: size, depth and the colours a user sees.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int r, g, b;
};

// An uncompressed 8-bit BMP, read by hand so the test does not trust the code under test.
struct Bitmap {
  std::int32_t width = 0, height = 0;
  int bitsPerPixel = 0;
  std::uint32_t compression = 0, fileSize = 0, declaredSize = 0;
  std::vector<Rgb> palette;
  std::vector<std::uint8_t> data;
  std::uint32_t offset = 0;

  Rgb At(int x, int y) const {  // y from the top
    const int stride = (width + 3) & ~3;
    const int row = height > 0 ? height - 1 - y : y;
    return palette.at(data.at(offset + static_cast<std::size_t>(row * stride + x)));
  }
};

std::uint32_t U32(const std::vector<std::uint8_t>& d, std::size_t at) {
  return d.at(at) | d.at(at + 1) << 8 | d.at(at + 2) << 16 | static_cast<std::uint32_t>(d.at(at + 3)) << 24;
}

Bitmap Load(const std::string& name) {
  std::ifstream in(std::string(QUILLON_RESOURCES_DIR) + "/" + name, std::ios::binary);
  Bitmap b;
  b.data.assign(std::istreambuf_iterator<char>(in), {});
  if (b.data.size() < 54 || b.data[0] != 'B' || b.data[1] != 'M') return b;
  b.declaredSize = U32(b.data, 2);
  b.fileSize = static_cast<std::uint32_t>(b.data.size());
  b.offset = U32(b.data, 10);
  b.width = static_cast<std::int32_t>(U32(b.data, 18));
  b.height = static_cast<std::int32_t>(U32(b.data, 22));
  b.bitsPerPixel = b.data[28] | b.data[29] << 8;
  b.compression = U32(b.data, 30);
  std::uint32_t colours = U32(b.data, 46);
  if (colours == 0) colours = 256;
  for (std::uint32_t i = 0; i < colours; ++i) {
    const std::size_t at = 54 + 4 * i;
    b.palette.push_back({b.data.at(at + 2), b.data.at(at + 1), b.data.at(at)});
  }
  return b;
}

class Glyphs : public ::testing::TestWithParam<const char*> {};

TEST_P(Glyphs, Are42By19EightBitUncompressedBitmaps) {
  const Bitmap b = Load(GetParam());
  ASSERT_FALSE(b.data.empty()) << GetParam() << " is missing";
  EXPECT_EQ(b.width, 42);
  EXPECT_EQ(std::abs(b.height), 19);
  EXPECT_EQ(b.bitsPerPixel, 8);
  EXPECT_EQ(b.compression, 0u);
  EXPECT_EQ(b.declaredSize, b.fileSize);
  EXPECT_LE(b.palette.size(), 256u);
  // Every row of 42 pixels is padded to 44 bytes.
  EXPECT_EQ(b.fileSize, b.offset + 44u * 19u);
}

TEST_P(Glyphs, CarryAWhiteCrossInTheMiddle) {
  const Bitmap b = Load(GetParam());
  ASSERT_EQ(b.width, 42);
  // The cross's arms meet at the picture's centre, (21, 9.5).
  for (auto [x, y] : std::array<std::pair<int, int>, 4>{{{20, 9}, {21, 9}, {20, 10}, {21, 10}}}) {
    const Rgb c = b.At(x, y);
    EXPECT_GE(std::min({c.r, c.g, c.b}), 230) << GetParam() << " at " << x << "," << y;
  }
  // Beside the cross, on the plate, it is not white.
  const Rgb plate = b.At(8, 9);
  EXPECT_LT(std::min({plate.r, plate.g, plate.b}), 200) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(CloseGlyph, Glyphs, ::testing::Values("picclose1.bmp", "picclose2.bmp"));

TEST(CloseGlyph, AtRestIsLightBlueAndHighlightedIsRedOrange) {
  const Bitmap rest = Load("picclose1.bmp"), lit = Load("picclose2.bmp");
  ASSERT_EQ(rest.width, 42);
  ASSERT_EQ(lit.width, 42);
  for (int y : {4, 9, 14}) {
    const Rgb blue = rest.At(8, y), orange = lit.At(8, y);
    EXPECT_GT(blue.b, blue.r) << "plate at rest, row " << y;
    EXPECT_GT(blue.b, 180) << "plate at rest is light, row " << y;
    EXPECT_GT(orange.r, 200) << "highlighted plate, row " << y;
    EXPECT_GT(orange.r, orange.g + 60) << "highlighted plate, row " << y;
    EXPECT_GT(orange.g, orange.b) << "red-orange leans to yellow, not to blue, row " << y;
  }
  // The plate is rounded: its corner pixel shows what is behind it, not the plate's border.
  const Rgb corner = rest.At(0, 0), edge = rest.At(21, 0);
  EXPECT_NE(std::tie(corner.r, corner.g, corner.b), std::tie(edge.r, edge.g, edge.b));
}

}  // namespace
