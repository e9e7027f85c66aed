// Under Wine: the embedded stub, the conversion over real Windows files, and the stub run on outputs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "projector.h"
#include "stub_run.h"
#include "win_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace quillon;

using test::ReadFileBytes;
using test::RunStub;
using test::StubResult;
using test::WinPath;
using test::WriteFileBytes;

// An uncompressed movie with a 320 x 240 stage, 12 fps and 7 frames, then End.
Bytes TinySwf() {
  // RECT with 14-bit fields: 0, 6400, 0, 4800 twips; 5 + 56 bits -> 8 bytes.
  std::vector<int> bits;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back(static_cast<int>((v >> i) & 1));
  };
  put(14, 5);
  put(0, 14);
  put(6400, 14);
  put(0, 14);
  put(4800, 14);
  Bytes body((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) body[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  for (int b : {0, 12, 7, 0, 0, 0}) body.push_back(static_cast<std::uint8_t>(b));  // rate, count, End
  Bytes m{'F', 'W', 'S', 9};
  const auto len = static_cast<std::uint32_t>(8 + body.size());
  for (int i = 0; i < 4; ++i) m.push_back(static_cast<std::uint8_t>(len >> (8 * i)));
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

class Folder {
 public:
  explicit Folder(const std::wstring& name) : path_(WinPath(QUILLON_TEST_TMP) + L"\\" + name) {
    CreateDirectoryW(WinPath(QUILLON_TEST_TMP).c_str(), nullptr);
    Clean();
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Folder() { Clean(); }
  std::wstring operator/(const std::wstring& leaf) const { return path_ + L"\\" + leaf; }

 private:
  void Clean() {
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((path_ + L"\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((path_ + L"\\" + f.cFileName).c_str());
      } while (FindNextFileW(h, &f));
      FindClose(h);
    }
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring path_;
};

class RecordingUi final : public convert::ConversionUi {
 public:
  Bytes stub;
  std::wstring input, output;
  std::vector<std::wstring> messages;
  std::wstring InputDisplay() override { return input; }
  std::wstring OutputDisplay() override { return output; }
  void ClearOutputDisplay() override { output.clear(); }
  void SetEnabled(convert::Button, bool) override {}
  void ShowMessage(const std::wstring& text) override { messages.push_back(text); }
  std::span<const std::uint8_t> Stub() override { return stub; }
};

TEST(EmbeddedStub, QuillonCarriesTheBuiltStubAsCustom101InChinesePrc) {
  HMODULE exe = LoadLibraryExW(WinPath(QUILLON_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC res = FindResourceExW(exe, L"CUSTOM", MAKEINTRESOURCEW(101), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  ASSERT_NE(res, nullptr) << "no CUSTOM/101 resource in language 2052";
  EXPECT_EQ(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), 2052);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(exe, res)));
  const Bytes embedded(bytes, bytes + SizeofResource(exe, res));
  FreeLibrary(exe);
  const Bytes built = ReadFileBytes(WinPath(QUILLON_STUB_EXE));
  ASSERT_GT(built.size(), 1000u);
  EXPECT_TRUE(embedded == built) << "the embedded stub differs from the built one";
}

class StubRun : public ::testing::Test {
 protected:
  void SetUp() override { ui.stub = ReadFileBytes(WinPath(QUILLON_STUB_EXE)); }
  // Converts `movie` from folder `from` into `to`\out.exe through the real Windows file access.
  std::wstring Convert(const Folder& from, const Folder& to, const Bytes& movie, const std::wstring& name) {
    WriteFileBytes(from / name, movie);
    ui.input = name;
    ui.output = to / L"out.exe";
    EXPECT_EQ(convert::StartConversion(ui, files, from / name), convert::Outcome::Done);
    return ui.output;
  }
  RecordingUi ui;
  app::WinFileSystem files;
};

TEST_F(StubRun, ProducedOutputIsStubMovieTrailerAndTheStubReportsItsMovie) {
  Folder dir(L"facts");
  const Bytes movie = TinySwf();
  const std::wstring out = Convert(dir, dir, movie, L"tiny.swf");
  Bytes expected = ui.stub;
  expected.insert(expected.end(), movie.begin(), movie.end());
  const auto trailer = convert::MakeTrailer(static_cast<std::uint32_t>(movie.size()));
  expected.insert(expected.end(), trailer.begin(), trailer.end());
  EXPECT_TRUE(ReadFileBytes(out) == expected);

  const StubResult run = RunStub(out, dir / L"report.txt");
  EXPECT_EQ(run.exitCode, 0u) << run.report;
  EXPECT_NE(run.report.find("320"), std::string::npos) << run.report;
  EXPECT_NE(run.report.find("240"), std::string::npos) << run.report;
}

TEST_F(StubRun, MovieInAFolderOutsideTheAnsiCodePageConvertsAndPlays) {
  Folder from(L"Фильмы 映画");
  Folder to(L"出力 вывод");
  const std::wstring out = Convert(from, to, TinySwf(), L"мультик.swf");
  EXPECT_EQ(ReadFileBytes(out).size(), ui.stub.size() + TinySwf().size() + 8);
  EXPECT_EQ(RunStub(out, to / L"report.txt").exitCode, 0u);
}

TEST_F(StubRun, BareStubAndDamagedTrailersExitCleanlyWithAMessage) {
  Folder dir(L"damaged");
  // The bare stub carries no trailer.
  const StubResult bare = RunStub(WinPath(QUILLON_STUB_EXE), dir / L"r1.txt");
  EXPECT_EQ(bare.exitCode, 2u);
  EXPECT_FALSE(bare.report.empty());

  // A trailer whose length is larger than the file.
  Bytes big = ui.stub;
  const auto huge = convert::MakeTrailer(0x7FFFFFF0u);
  big.insert(big.end(), huge.begin(), huge.end());
  WriteFileBytes(dir / L"huge.exe", big);
  const StubResult tooLong = RunStub(dir / L"huge.exe", dir / L"r2.txt");
  EXPECT_EQ(tooLong.exitCode, 2u);
  EXPECT_FALSE(tooLong.report.empty());

  // A valid trailer around something that is not a movie.
  Bytes notSwf = ui.stub;
  for (char c : std::string("hello")) notSwf.push_back(static_cast<std::uint8_t>(c));
  const auto five = convert::MakeTrailer(5);
  notSwf.insert(notSwf.end(), five.begin(), five.end());
  WriteFileBytes(dir / L"text.exe", notSwf);
  const StubResult text = RunStub(dir / L"text.exe", dir / L"r3.txt");
  EXPECT_EQ(text.exitCode, 3u);
  EXPECT_FALSE(text.report.empty());
}

TEST(WinFiles, CreateNewRefusesAnExistingFileAndListedNameSkipsFolders) {
  Folder dir(L"files");
  WriteFileBytes(dir / L"taken.exe", Bytes{1});
  std::unique_ptr<convert::OutputFile> out;
  app::WinFileSystem files;
  EXPECT_EQ(files.CreateNew(dir / L"taken.exe", out), convert::CreateResult::AlreadyExists);
  EXPECT_EQ(files.CreateNew(dir / L"missing\\x.exe", out), convert::CreateResult::Failed);
  EXPECT_EQ(app::ListedName(dir / L"taken.exe"), L"taken.exe");
  EXPECT_EQ(app::ListedName(dir / L"TAKEN.EXE"), L"taken.exe");  // as the file system lists it
  EXPECT_EQ(app::ListedName(dir / L"nothing.swf"), L"");
  CreateDirectoryW((dir / L"sub.swf").c_str(), nullptr);
  EXPECT_EQ(app::ListedName(dir / L"sub.swf"), L"");
  EXPECT_EQ(app::ListedName(dir / L"*.exe"), L"");
  RemoveDirectoryW((dir / L"sub.swf").c_str());
}

// The error mode the existence test ran under, seen from inside its attributes query.
UINT modeDuringQuery = 0;
std::uint32_t RecordingQuery(const wchar_t*) {
  modeDuringQuery = GetThreadErrorMode();
  return INVALID_FILE_ATTRIBUTES;
}

TEST(WinFiles, TheExistenceTestSuppressesTheSystemsCriticalErrorBox) {
  const UINT before = GetThreadErrorMode();
  ASSERT_EQ(before & SEM_FAILCRITICALERRORS, 0u);
  modeDuringQuery = 0;
  EXPECT_FALSE(app::PathExists(L"A:\\out.exe", RecordingQuery));
  EXPECT_NE(modeDuringQuery & SEM_FAILCRITICALERRORS, 0u)
      << "a removed disk would show the system's box before Quillon's own message";
  EXPECT_EQ(GetThreadErrorMode(), before) << "the error mode was not put back";
  // The real query: a file, a folder and nothing.
  Folder dir(L"exists");
  WriteFileBytes(dir / L"a.exe", Bytes{1});
  EXPECT_TRUE(app::PathExists(dir / L"a.exe"));
  CreateDirectoryW((dir / L"sub").c_str(), nullptr);
  EXPECT_TRUE(app::PathExists(dir / L"sub"));
  RemoveDirectoryW((dir / L"sub").c_str());
  EXPECT_FALSE(app::PathExists(dir / L"b.exe"));
}

}  // namespace
