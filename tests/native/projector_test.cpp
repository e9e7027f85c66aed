// The output format and the start button's procedure, over real files in a temporary folder.
#include "projector.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "posix_files.h"

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

std::wstring Wide(const fs::path& p) { return p.wstring(); }

// Records what the user would see, in order.
class FakeUi final : public ConversionUi {
 public:
  std::wstring input, output;
  Bytes stub{'M', 'Z', 0x90, 0x00, 0x03};
  std::vector<std::wstring> log;
  // Set while a message box is up: which of the three buttons were enabled then.
  std::vector<bool> enabledDuringMessage;
  bool enabled[3] = {true, true, true};

  std::wstring InputDisplay() override { return input; }
  std::wstring OutputDisplay() override { return output; }
  void ClearOutputDisplay() override {
    output.clear();
    log.push_back(L"clear output");
  }
  void SetEnabled(Button b, bool on) override {
    enabled[static_cast<int>(b)] = on;
    static const wchar_t* names[] = {L"cmdsel", L"cmdsave", L"cmdc"};
    log.push_back(std::wstring(on ? L"enable " : L"disable ") + names[static_cast<int>(b)]);
  }
  void ShowMessage(const std::wstring& text) override {
    log.push_back(L"message " + text);
    enabledDuringMessage = {enabled[0], enabled[1], enabled[2]};
  }
  std::span<const std::uint8_t> Stub() override { return stub; }
  bool AllEnabled() const { return enabled[0] && enabled[1] && enabled[2]; }
};

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quillon-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Chooses `movie` (by full path, the display showing its name) and `out` as the output.
  Outcome Start(const fs::path& movie, const fs::path& out) {
    ui.input = movie.filename().wstring();
    ui.output = Wide(out);
    return StartConversion(ui, files, Wide(movie));
  }

  fs::path dir;
  FakeUi ui;
  testing::PosixFileSystem files;
};

TEST(ProjectorFormat, TrailerStoresMagicWithFALastThenLengthLittleEndian) {
  const auto t = MakeTrailer(0x01020304);
  EXPECT_EQ(Bytes(t.begin(), t.end()), (Bytes{0x56, 0x34, 0x12, 0xFA, 0x04, 0x03, 0x02, 0x01}));
}

TEST(ProjectorFormat, LocateMovieFindsTheBytesBeforeTheTrailerAndRefusesBadOnes) {
  const std::array<std::uint8_t, 8> good{0x56, 0x34, 0x12, 0xFA, 3, 0, 0, 0};
  auto at = LocateMovie(good, 100);
  ASSERT_TRUE(at);
  EXPECT_EQ(at->offset, 89u);
  EXPECT_EQ(at->length, 3u);
  // A length exactly filling the file before the trailer is fine; one byte more is not.
  EXPECT_TRUE(LocateMovie(good, 11));
  EXPECT_FALSE(LocateMovie(good, 10));
  // Reversed magic, zero trailer (a bare stub), and a file shorter than a trailer.
  const std::array<std::uint8_t, 8> reversed{0xFA, 0x12, 0x34, 0x56, 3, 0, 0, 0};
  EXPECT_FALSE(LocateMovie(reversed, 100));
  const std::array<std::uint8_t, 8> zeros{};
  EXPECT_FALSE(LocateMovie(zeros, 100));
  EXPECT_FALSE(LocateMovie(good, 7));
  const std::array<std::uint8_t, 8> huge{0x56, 0x34, 0x12, 0xFA, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(LocateMovie(huge, 1000));
}

TEST_F(Conversion, AbcMovieGivesStubThenAbcThenTrailer) {
  WriteAll(dir / "abc.swf", {'a', 'b', 'c'});
  EXPECT_EQ(Start(dir / "abc.swf", dir / "out.exe"), Outcome::Done);
  Bytes expected = ui.stub;
  for (int b : {0x61, 0x62, 0x63, 0x56, 0x34, 0x12, 0xFA, 0x03, 0x00, 0x00, 0x00}) expected.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(ReadAll(dir / "out.exe"), expected);
  EXPECT_EQ(ui.stub.size() + 11, fs::file_size(dir / "out.exe"));
}

TEST_F(Conversion, MovieEndingInTrailerLikeBytesIsCopiedUnchanged) {
  const Bytes movie{'F', 'W', 'S', 0x56, 0x34, 0x12, 0xFA, 0x03, 0x00, 0x00, 0x00};
  WriteAll(dir / "m.swf", movie);
  ASSERT_EQ(Start(dir / "m.swf", dir / "out.exe"), Outcome::Done);
  const Bytes out = ReadAll(dir / "out.exe");
  ASSERT_EQ(out.size(), ui.stub.size() + movie.size() + 8);
  EXPECT_EQ(Bytes(out.begin() + static_cast<long>(ui.stub.size()), out.end() - 8), movie);
  EXPECT_EQ(Bytes(out.end() - 8, out.end()), (Bytes{0x56, 0x34, 0x12, 0xFA, 11, 0, 0, 0}));
}

TEST_F(Conversion, SuccessDisablesThreeButtonsInOrderAndEnablesThemOnlyAfterTheMessage) {
  WriteAll(dir / "a.swf", {1, 2, 3, 4});
  ASSERT_EQ(Start(dir / "a.swf", dir / "out.exe"), Outcome::Done);
  const std::vector<std::wstring> expected{L"disable cmdsel", L"disable cmdsave", L"disable cmdc",
                                           L"message 转换完成！", L"enable cmdsel",   L"enable cmdsave",
                                           L"enable cmdc"};
  EXPECT_EQ(ui.log, expected);
  EXPECT_EQ(ui.enabledDuringMessage, (std::vector<bool>{false, false, false}));
  // Both displays keep their paths, so starting again at once reports the existing output.
  EXPECT_FALSE(ui.input.empty());
  EXPECT_FALSE(ui.output.empty());
  ui.log.clear();
  EXPECT_EQ(StartConversion(ui, files, Wide(dir / "a.swf")), Outcome::OutputExists);
  EXPECT_EQ(ui.log, (std::vector<std::wstring>{L"message 文件已存在，请重新选择保存文件的路径！", L"clear output"}));
  EXPECT_TRUE(ui.output.empty());
}

TEST_F(Conversion, ValidationStopsAtTheFirstMissingPathInOrder) {
  // Both empty: only the input message.
  EXPECT_EQ(StartConversion(ui, files, L""), Outcome::NoInput);
  EXPECT_EQ(ui.log, (std::vector<std::wstring>{L"message 请选择要转换的文件！"}));
  // Input chosen, output empty.
  ui.log.clear();
  ui.input = L"a.swf";
  EXPECT_EQ(StartConversion(ui, files, Wide(dir / "a.swf")), Outcome::NoOutput);
  EXPECT_EQ(ui.log, (std::vector<std::wstring>{L"message 请选择保存文件的路径！"}));
  EXPECT_EQ(files.openedForReading, 0);
}

TEST_F(Conversion, ExistingOutputFileOrFolderIsRefusedAndTheOutputDisplayEmptied) {
  WriteAll(dir / "a.swf", {1});
  WriteAll(dir / "taken.exe", {9, 9});
  EXPECT_EQ(Start(dir / "a.swf", dir / "taken.exe"), Outcome::OutputExists);
  EXPECT_EQ(ui.log, (std::vector<std::wstring>{L"message 文件已存在，请重新选择保存文件的路径！", L"clear output"}));
  EXPECT_EQ(ReadAll(dir / "taken.exe"), (Bytes{9, 9}));
  EXPECT_EQ(ui.input, L"a.swf");
  EXPECT_TRUE(ui.output.empty());

  fs::create_directories(dir / "folder.exe");
  ui.log.clear();
  EXPECT_EQ(Start(dir / "a.swf", dir / "folder.exe"), Outcome::OutputExists);
  EXPECT_TRUE(ui.output.empty());
}

TEST_F(Conversion, OutputAppearingAfterTheCheckIsRefusedAndNotOverwritten) {
  WriteAll(dir / "a.swf", {1, 2});
  files.createBeforeCreateNew = Wide(dir / "late.exe");
  EXPECT_EQ(Start(dir / "a.swf", dir / "late.exe"), Outcome::OutputExists);
  EXPECT_EQ(fs::file_size(dir / "late.exe"), 0u);  // left as the other writer made it
  EXPECT_TRUE(ui.output.empty());
  EXPECT_TRUE(ui.AllEnabled());
  EXPECT_EQ(ui.log[3], L"message 文件已存在，请重新选择保存文件的路径！");
}

TEST_F(Conversion, InputIsReadByItsFullPathWhateverTheCurrentFolder) {
  fs::create_directories(dir / "movies");
  WriteAll(dir / "movies" / "a.swf", {7});
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const Outcome o = Start(dir / "movies" / "a.swf", dir / "out.exe");
  fs::current_path(before);
  EXPECT_EQ(o, Outcome::Done);
}

TEST_F(Conversion, MissingInputIsReportedNeverCreatedAndLeavesNoOutput) {
  EXPECT_EQ(Start(dir / "gone.swf", dir / "out.exe"), Outcome::CannotRead);
  EXPECT_FALSE(fs::exists(dir / "gone.swf"));
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
  EXPECT_EQ(ui.log[3], L"message 无法读取要转换的文件！");
  EXPECT_TRUE(ui.AllEnabled());
  EXPECT_EQ(ui.log.back(), L"enable cmdc");
}

TEST_F(Conversion, InputThatIsAFolderCannotBeRead) {
  fs::create_directories(dir / "movie.swf");
  EXPECT_EQ(Start(dir / "movie.swf", dir / "out.exe"), Outcome::CannotRead);
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

TEST_F(Conversion, EmptyMovieIsRefusedWithoutWritingAnything) {
  WriteAll(dir / "empty.swf", {});
  EXPECT_EQ(Start(dir / "empty.swf", dir / "out.exe"), Outcome::EmptyMovie);
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
  EXPECT_EQ(ui.log[3], L"message 要转换的文件是空文件！");
  EXPECT_TRUE(ui.AllEnabled());
}

TEST_F(Conversion, OutputInAMissingFolderIsReportedAsUnwritable) {
  WriteAll(dir / "a.swf", {1});
  EXPECT_EQ(Start(dir / "a.swf", dir / "no-such-folder" / "out.exe"), Outcome::CannotWrite);
  EXPECT_EQ(ui.log[3], L"message 无法写入保存文件，请重新选择保存文件的路径！");
  EXPECT_TRUE(ui.AllEnabled());
}

TEST_F(Conversion, WriteFailingPartWayRemovesThePartlyWrittenOutput) {
  WriteAll(dir / "a.swf", Bytes(5000, 0xAB));
  // Fail in the stub, in the movie and in the trailer.
  for (std::uint64_t limit : {std::uint64_t{2}, std::uint64_t{ui.stub.size() + 100}, std::uint64_t{ui.stub.size() + 5000 + 4}}) {
    ui.log.clear();
    files.failWritesAfter = limit;
    EXPECT_EQ(Start(dir / "a.swf", dir / "out.exe"), Outcome::CannotWrite) << limit;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << "a partial output was left behind at limit " << limit;
    EXPECT_TRUE(ui.AllEnabled());
    EXPECT_EQ(ui.output, Wide(dir / "out.exe"));  // the user may simply try again
  }
}

TEST_F(Conversion, MissingStubIsReportedAndNothingWritten) {
  WriteAll(dir / "a.swf", {1});
  ui.stub.clear();
  EXPECT_EQ(Start(dir / "a.swf", dir / "out.exe"), Outcome::NoStub);
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
  EXPECT_TRUE(ui.AllEnabled());
}

TEST_F(Conversion, MovieOf2GiBIsRefusedAsTooLarge) {
  {
    std::ofstream big(dir / "big.swf", std::ios::binary);
  }
  fs::resize_file(dir / "big.swf", std::uint64_t{1} << 31);  // sparse: takes no disk space
  EXPECT_EQ(Start(dir / "big.swf", dir / "out.exe"), Outcome::TooLarge);
  EXPECT_EQ(ui.log[3], L"message 要转换的文件太大，不能超过 2GB！");
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

// A file system in memory that logs the order of opening and closing; the movie declares any
// size and reads as zeros until `readable` bytes have gone, then fails.
class LoggingFiles final : public FileSystem {
 public:
  std::uint64_t movieSize = 0, readable = 0, written = 0;
  std::vector<std::string> log;

  class In final : public InputFile {
   public:
    explicit In(LoggingFiles& fs) : fs_(fs) {}
    ~In() override { fs_.log.push_back("close movie"); }
    std::optional<std::uint64_t> Size() override { return fs_.movieSize; }
    std::optional<std::size_t> Read(std::span<std::uint8_t> into) override {
      if (fs_.readable == 0) return std::nullopt;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), fs_.readable));
      std::fill_n(into.begin(), n, std::uint8_t{0});
      fs_.readable -= n;
      return n;
    }

   private:
    LoggingFiles& fs_;
  };
  class Out final : public OutputFile {
   public:
    explicit Out(LoggingFiles& fs) : fs_(fs) {}
    bool Write(std::span<const std::uint8_t> bytes) override {
      fs_.written += bytes.size();
      return true;
    }
    bool Close() override {
      fs_.log.push_back("close output");
      return true;
    }

   private:
    LoggingFiles& fs_;
  };

  bool Exists(const std::wstring&) override { return false; }
  std::unique_ptr<InputFile> OpenRead(const std::wstring&) override {
    log.push_back("open movie");
    return std::make_unique<In>(*this);
  }
  CreateResult CreateNew(const std::wstring&, std::unique_ptr<OutputFile>& file) override {
    log.push_back("open output");
    file = std::make_unique<Out>(*this);
    return CreateResult::Created;
  }
  void Remove(const std::wstring&) override { log.push_back("remove output"); }
};

TEST(ConversionFiles, TheMovieIsClosedBeforeTheOutput) {
  FakeUi ui;
  ui.input = L"a.swf";
  ui.output = L"out.exe";
  LoggingFiles files;
  files.movieSize = files.readable = 3;
  ASSERT_EQ(StartConversion(ui, files, L"a.swf"), Outcome::Done);
  EXPECT_EQ(files.log, (std::vector<std::string>{"open movie", "open output", "close movie", "close output"}))
      << "the output was closed while the movie was still open";
  EXPECT_EQ(files.written, ui.stub.size() + 3 + 8);
}

TEST(ConversionFiles, AnOutputThatWouldReach2GiBIsRefusedAsTooLarge) {
  FakeUi ui;
  ui.input = L"a.swf";
  ui.output = L"out.exe";
  constexpr std::uint64_t k2GiB = std::uint64_t{1} << 31;
  // The largest movie whose output stays below 2 GiB converts; one byte more is refused.
  LoggingFiles fits;
  fits.movieSize = fits.readable = k2GiB - 1 - kTrailerSize - ui.stub.size();
  EXPECT_EQ(StartConversion(ui, fits, L"a.swf"), Outcome::Done);
  EXPECT_EQ(fits.written, k2GiB - 1);
  ui.log.clear();
  LoggingFiles over;
  over.movieSize = fits.movieSize + 1;
  over.readable = 1 << 20;  // a refusal reads nothing, an attempt fails here instead
  EXPECT_EQ(StartConversion(ui, over, L"a.swf"), Outcome::TooLarge);
  EXPECT_EQ(ui.log[3], L"message " + messages::kTooLarge);
  EXPECT_EQ(over.written, 0u) << "an output of 2 GiB was begun";
  EXPECT_EQ(std::count(over.log.begin(), over.log.end(), "open output"), 0);
}

// Deterministic content, one byte at a time, so no two chunks of the movie are alike.
std::uint8_t PatternByte(std::uint64_t i) {
  std::uint64_t x = i * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  return static_cast<std::uint8_t>(x >> 17);
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(Conversion, SixtyFourMiBMovieConvertsByteExactlyWithoutHoldingItInMemory) {
  constexpr std::uint64_t kSize = 64u << 20;
  {
    std::ofstream out(dir / "big.swf", std::ios::binary);
    Bytes chunk(1 << 16);
    for (std::uint64_t at = 0; at < kSize; at += chunk.size()) {
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = PatternByte(at + i);
      out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    }
  }
  const long before = PeakKiB();
  ASSERT_EQ(Start(dir / "big.swf", dir / "out.exe"), Outcome::Done);
  EXPECT_LT(PeakKiB() - before, 16 * 1024) << "the conversion held the movie in memory";

  ASSERT_EQ(fs::file_size(dir / "out.exe"), ui.stub.size() + kSize + 8);
  std::ifstream in(dir / "out.exe", std::ios::binary);
  Bytes head(ui.stub.size());
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  EXPECT_EQ(head, ui.stub);
  Bytes chunk(1 << 16);
  std::uint64_t mismatches = 0;
  for (std::uint64_t at = 0; at < kSize; at += chunk.size()) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    for (std::size_t i = 0; i < chunk.size(); ++i) mismatches += chunk[i] != PatternByte(at + i);
  }
  EXPECT_EQ(mismatches, 0u);
  Bytes trailer(8);
  in.read(reinterpret_cast<char*>(trailer.data()), 8);
  EXPECT_EQ(trailer, (Bytes{0x56, 0x34, 0x12, 0xFA, 0x00, 0x00, 0x00, 0x04}));  // 64 MiB = 0x04000000
}

}  // namespace
}  // namespace quillon::convert
