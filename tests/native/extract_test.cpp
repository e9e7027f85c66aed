// Writing a projector without the window, and taking the movie back out of one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "posix_files.h"
#include "projector.h"

namespace quillon::convert {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class Projectors : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillon-extract-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::wstring W(const char* name) const { return (dir / name).wstring(); }

  fs::path dir;
  testing::PosixFileSystem files;
  const Bytes stub{'M', 'Z', 1, 2, 3, 4, 5};
};

TEST_F(Projectors, WrittenWithoutTheWindowAndExtractedBackByteForByte) {
  Bytes movie(3 * kCopyChunk + 17);
  for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
  WriteAll(dir / "m.swf", movie);
  std::vector<std::uint64_t> seen;
  const CopyProgress progress = [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_EQ(total, movie.size());
    seen.push_back(done);
  };
  ASSERT_EQ(WriteProjectorFile(stub, files, W("m.swf"), W("m.exe"), progress), Outcome::Done);
  EXPECT_EQ(fs::file_size(dir / "m.exe"), stub.size() + movie.size() + kTrailerSize);
  // Progress rises, chunk by chunk, to the whole movie.
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), movie.size());

  ASSERT_EQ(ExtractMovie(files, W("m.exe"), W("back.swf")), Outcome::Done);
  EXPECT_TRUE(ReadAll(dir / "back.swf") == movie);
  EXPECT_EQ(ExtractMovie(files, W("m.exe"), W("back.swf")), Outcome::OutputExists);
  EXPECT_TRUE(ReadAll(dir / "back.swf") == movie) << "an existing file was overwritten";
}

TEST_F(Projectors, FilesWithoutAMovieBehindAValidTrailerAreNotProjectors) {
  const auto trailer = [](std::uint32_t n) {
    const auto t = MakeTrailer(n);
    return Bytes(t.begin(), t.end());
  };
  Bytes zeroLength = stub;
  for (auto b : trailer(0)) zeroLength.push_back(b);
  Bytes tooLong = stub;
  for (auto b : trailer(100)) tooLong.push_back(b);
  WriteAll(dir / "bare.exe", stub);
  WriteAll(dir / "zero.exe", zeroLength);
  WriteAll(dir / "long.exe", tooLong);
  WriteAll(dir / "tiny.exe", {0x56, 0x34, 0x12});
  for (const char* name : {"bare.exe", "zero.exe", "long.exe", "tiny.exe"}) {
    EXPECT_EQ(ExtractMovie(files, W(name), W("out.swf")), Outcome::NotProjector) << name;
    EXPECT_FALSE(fs::exists(dir / "out.swf")) << name;
  }
  EXPECT_EQ(ExtractMovie(files, W("missing.exe"), W("out.swf")), Outcome::CannotRead);
  EXPECT_FALSE(fs::exists(dir / "missing.exe"));
}

TEST_F(Projectors, AFailedExtractionLeavesNothingBehind) {
  Bytes projector = stub;
  const Bytes movie(5000, 0x42);
  projector.insert(projector.end(), movie.begin(), movie.end());
  const auto t = MakeTrailer(5000);
  projector.insert(projector.end(), t.begin(), t.end());
  WriteAll(dir / "p.exe", projector);
  files.failWritesAfter = 1000;
  EXPECT_EQ(ExtractMovie(files, W("p.exe"), W("out.swf")), Outcome::CannotWrite);
  EXPECT_FALSE(fs::exists(dir / "out.swf"));
  EXPECT_EQ(ExtractMovie(files, W("p.exe"), W("no-folder/out.swf")), Outcome::CannotWrite);
}

TEST_F(Projectors, TheWindowsRulesHoldWithoutTheWindow) {
  WriteAll(dir / "empty.swf", {});
  EXPECT_EQ(WriteProjectorFile(stub, files, W("empty.swf"), W("e.exe")), Outcome::EmptyMovie);
  WriteAll(dir / "m.swf", {1, 2, 3});
  WriteAll(dir / "taken.exe", {7});
  EXPECT_EQ(WriteProjectorFile(stub, files, W("m.swf"), W("taken.exe")), Outcome::OutputExists);
  EXPECT_EQ(ReadAll(dir / "taken.exe"), Bytes{7});
  EXPECT_EQ(WriteProjectorFile({}, files, W("m.swf"), W("n.exe")), Outcome::NoStub);
  EXPECT_FALSE(fs::exists(dir / "e.exe"));
  EXPECT_FALSE(fs::exists(dir / "n.exe"));
}

}  // namespace
}  // namespace quillon::convert
