// The resources of the built Quillon.exe as the system reads them: the icon group with its
// ten images in order, the version record, the embedded stub's place, the stored design and
// the pictures it names.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "form_design.h"
#include "resource_pictures.h"

namespace quillon::app {
namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

class Module {
 public:
  Module() : module_(LoadLibraryExW(QUILLON_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~Module() {
    if (module_) FreeLibrary(module_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

std::string Bytes(HMODULE module, LPCWSTR type, LPCWSTR name) { return std::string(ResourceBytes(module, type, name)); }

std::uint16_t U16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(d.at(at)) | static_cast<unsigned char>(d.at(at + 1)) << 8);
}
std::uint32_t U32(const std::string& d, std::size_t at) { return U16(d, at) | static_cast<std::uint32_t>(U16(d, at + 2)) << 16; }
std::uint32_t U32BigEndian(const std::string& d, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(d.at(at + i));
  return v;
}

TEST(ShippedResources, IconGroupOneHoldsTenImagesInOrder) {
  const Module exe;
  ASSERT_TRUE(exe.get()) << "cannot open " << QUILLON_EXE;
  ASSERT_TRUE(FindResourceExW(exe.get(), MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1), kChinese));
  const std::string group = Bytes(exe.get(), MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));
  ASSERT_EQ(group.size(), 6u + 10u * 14u);
  EXPECT_EQ(U16(group, 2), 1) << "an icon group";
  ASSERT_EQ(U16(group, 4), 10);
  struct Image {
    int size, bits;
  };
  const Image expected[] = {{48, 4}, {32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {256, 32}, {48, 32}, {32, 32}, {16, 32}};
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE("image " + std::to_string(i + 1));
    const std::size_t at = 6 + 14 * static_cast<std::size_t>(i);
    const int width = static_cast<unsigned char>(group[at]), height = static_cast<unsigned char>(group[at + 1]);
    EXPECT_EQ(width == 0 ? 256 : width, expected[i].size);
    EXPECT_EQ(height == 0 ? 256 : height, expected[i].size);
    EXPECT_EQ(static_cast<unsigned char>(group[at + 2]), expected[i].bits == 4 ? 16 : 0) << "colour count";
    EXPECT_EQ(U16(group, at + 6), expected[i].bits);
    const WORD id = U16(group, at + 12);
    EXPECT_EQ(id, 30001 + i);
    const std::string image = Bytes(exe.get(), MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id));
    ASSERT_FALSE(image.empty()) << "icon resource " << id << " missing";
    EXPECT_EQ(U32(group, at + 8), image.size()) << "the group's byte count of the image";
    if (expected[i].size == 256) {
      ASSERT_EQ(image.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0) << "the 256-pixel image is stored as PNG";
      EXPECT_EQ(U32BigEndian(image, 16), 256u);
      EXPECT_EQ(U32BigEndian(image, 20), 256u);
    } else {
      EXPECT_EQ(U32(image, 0), 40u) << "a DIB with its mask";
      EXPECT_EQ(static_cast<int>(U32(image, 4)), expected[i].size);
      EXPECT_EQ(static_cast<int>(U32(image, 8)), 2 * expected[i].size);
      EXPECT_EQ(U16(image, 14), expected[i].bits);
    }
  }
}

TEST(ShippedResources, TheIconLoadsAtEverySizeTheSystemAsksFor) {
  const Module exe;
  ASSERT_TRUE(exe.get());
  for (int size : {16, 20, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(LoadImageW(exe.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    EXPECT_TRUE(icon) << size;
    if (icon) DestroyIcon(icon);
  }
}

std::wstring VersionText(const std::vector<char>& block, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"(missing)";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(ShippedResources, VersionRecordIsChinesePrcUnicodeOneZeroShownAsOneHundredths) {
  const Module exe;
  ASSERT_TRUE(FindResourceExW(exe.get(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kChinese));
  const DWORD size = GetFileVersionInfoSizeW(QUILLON_EXE, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(QUILLON_EXE, 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);
  for (const wchar_t* key : {L"Comments", L"FileDescription", L"ProductName", L"InternalName"})
    EXPECT_EQ(VersionText(block, key), L"Quillon") << static_cast<char>(key[0]);
  EXPECT_EQ(VersionText(block, L"OriginalFilename"), L"Quillon.exe");
  EXPECT_EQ(VersionText(block, L"FileVersion"), L"1.00");
  EXPECT_EQ(VersionText(block, L"ProductVersion"), L"1.00");
  EXPECT_EQ(VersionText(block, L"CompanyName"), L"Corvandel");
  EXPECT_EQ(VersionText(block, L"LegalCopyright"), L"Corvandel");
}

TEST(ShippedResources, TheStubSitsAtCustom101InChinese) {
  const Module exe;
  EXPECT_TRUE(FindResourceExW(exe.get(), L"CUSTOM", MAKEINTRESOURCEW(101), kChinese));
}

TEST(ShippedResources, TheStoredDesignIsTheCommittedOneAndResolvesEveryPicture) {
  const Module exe;
  std::ifstream in(QUILLON_RESOURCES_DIR "/FormT.form", std::ios::binary);
  const std::string committed{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(Bytes(exe.get(), L"FORM", L"FORMT"), committed);
  HMODULE module = exe.get();
  const FormDesign design(committed, [module](std::wstring_view name) { return LoadResourcePicture(module, name); });
  EXPECT_EQ(design.Caption(), L"Quillon");
}

TEST(ShippedResources, ThePicturesDecodeWithTheirSizesAndColours) {
  const Module exe;
  const container::PicturePtr strip = LoadResourcePicture(exe.get(), L"TITLESTRIP");
  ASSERT_TRUE(strip) << "the title-strip JPEG must decode";
  EXPECT_EQ(strip->width, 630);
  EXPECT_EQ(strip->height, 69);
  EXPECT_FALSE(strip->hasAlpha);
  const auto channel = [&](int x, int y, int shift) { return static_cast<int>(strip->pixels[y * 630 + x] >> shift & 0xFF); };
  // Darker blue-violet rgb(58, 52, 168) at the top, lighter rgb(118, 112, 228) at the bottom.
  for (int x : {0, 300, 629}) {
    EXPECT_NEAR(channel(x, 0, 16), 58, 3);
    EXPECT_NEAR(channel(x, 0, 8), 52, 3);
    EXPECT_NEAR(channel(x, 0, 0), 168, 3);
    EXPECT_NEAR(channel(x, 68, 16), 118, 3);
    EXPECT_NEAR(channel(x, 68, 8), 112, 3);
    EXPECT_NEAR(channel(x, 68, 0), 228, 3);
    EXPECT_NEAR(channel(x, 34, 16), 88, 3) << "half way";
  }
  const container::PicturePtr glyph = LoadResourcePicture(exe.get(), L"PICCLOSE1");
  ASSERT_TRUE(glyph);
  EXPECT_EQ(glyph->width, 42);
  EXPECT_EQ(glyph->height, 19);
  EXPECT_EQ(glyph->bitsPerPixel, 8);
  EXPECT_EQ(glyph->resourceName, L"PICCLOSE1");
  const container::PicturePtr icon = LoadResourcePicture(exe.get(), L"1");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->kind, container::Picture::Kind::Icon);
  EXPECT_EQ(icon->width, 32);
  EXPECT_TRUE(icon->hasAlpha);
  EXPECT_EQ(icon->pixels[0] >> 24, 0u) << "the plate's rounded corner is transparent";
  EXPECT_EQ(icon->pixels[16 * 32 + 16] >> 24, 255u);
  EXPECT_FALSE(LoadResourcePicture(exe.get(), L"NOSUCHPICTURE"));
}

// A 32-bit top-down DIB section of one row of pixels.
GdiObject<HBITMAP> Row32(const std::vector<std::uint32_t>& pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(pixels.size());
  info.bmiHeader.biHeight = -1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bits) std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
  return bitmap;
}

TEST(BitmapPictures, ThirtyTwoBitBitmapsKeepTheirAlphaUnlessItIsAllZero) {
  const std::vector<std::uint32_t> soft{0x80FF0000u, 0x00000000u, 0xFF00FF00u};
  const GdiObject<HBITMAP> withAlpha = Row32(soft);
  const container::PicturePtr kept = PictureFromBitmap(withAlpha.get(), 32);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->hasAlpha) << "a 32-bit bitmap's own alpha was dropped: it draws opaque";
  EXPECT_EQ(kept->pixels, soft);
  EXPECT_EQ(kept->bitsPerPixel, 32);

  const GdiObject<HBITMAP> noAlpha = Row32({0x00112233u, 0x00445566u});
  const container::PicturePtr opaque = PictureFromBitmap(noAlpha.get(), 32);
  ASSERT_TRUE(opaque);
  EXPECT_FALSE(opaque->hasAlpha) << "alpha bytes that are all zero mean an opaque picture";
  EXPECT_EQ(opaque->pixels, (std::vector<std::uint32_t>{0xFF112233u, 0xFF445566u}));

  // Lower depths never carry alpha, whatever their fourth byte reads as.
  const container::PicturePtr low = PictureFromBitmap(withAlpha.get(), 24);
  ASSERT_TRUE(low);
  EXPECT_FALSE(low->hasAlpha);
  EXPECT_EQ(low->pixels[0], 0xFFFF0000u);
}

}  // namespace
}  // namespace quillon::app
