// The stub under Wine: outputs made of the built stub, a movie and a trailer report what
// they would do through the QUILLON_STUB_REPORT seam (no display needed).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "projector.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

std::wstring WinPath(const std::string& unixPath) {
  std::wstring w = L"Z:";
  for (char c : unixPath) w.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return w;
}

Bytes ReadAll(const std::wstring& path) {
  Bytes out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  out.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!out.empty()) ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
  out.resize(got);
  CloseHandle(h);
  return out;
}

void WriteAll(const std::wstring& path, const Bytes& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
}

struct Outcome {
  DWORD exitCode = 0xFFFFFFFF;
  std::string report;
};

// Writes stub + movie + trailer as `name`.exe in the test folder and runs it with the seam set.
Outcome Project(const Bytes& movie, const std::wstring& name) {
  const std::wstring dir = WinPath(QUILLON_TEST_TMP);
  CreateDirectoryW(dir.c_str(), nullptr);
  Bytes exe = ReadAll(WinPath(QUILLON_STUB_EXE));
  EXPECT_GT(exe.size(), 1000u);
  Append(exe, movie);
  const auto trailer = convert::MakeTrailer(static_cast<std::uint32_t>(movie.size()));
  exe.insert(exe.end(), trailer.begin(), trailer.end());
  const std::wstring exePath = dir + L"\\" + name + L".exe", report = dir + L"\\" + name + L".txt";
  WriteAll(exePath, exe);
  DeleteFileW(report.c_str());
  SetEnvironmentVariableW(L"QUILLON_STUB_REPORT", report.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exePath + L"\"";
  Outcome out;
  if (CreateProcessW(exePath.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &out.exitCode);
    else TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  SetEnvironmentVariableW(L"QUILLON_STUB_REPORT", nullptr);
  const Bytes r = ReadAll(report);
  out.report.assign(r.begin(), r.end());
  DeleteFileW(exePath.c_str());
  return out;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(StubPlays, APlayableMovieReportsPlayingWithItsStageFramesAndTitle) {
  const Bytes movie = MovieFile(64, 48,
                                {Background({255, 255, 255}), RectShape(1, 0, 0, 200, 200, {255, 0, 0}),
                                 PlaceObject2({.depth = 1, .id = 1}), ShowFrame(),
                                 PlaceObject2({.depth = 1, .tx = 400}), ShowFrame(), ShowFrame()},
                                'C', 30);
  const Outcome run = Project(movie, L"Bouncing Square");
  EXPECT_EQ(run.exitCode, 0u) << run.report;
  EXPECT_TRUE(Has(run.report, "playing")) << run.report;
  EXPECT_TRUE(Has(run.report, "64 x 48")) << run.report;
  EXPECT_TRUE(Has(run.report, "Frames: 3")) << run.report;
  EXPECT_TRUE(Has(run.report, "30.00")) << run.report;
  EXPECT_TRUE(Has(run.report, "Title: Bouncing Square")) << "the title is the file name without extension\n"
                                                        << run.report;
}

TEST(StubPlays, UnplayableMoviesGetTheFactsWithOneSentenceWhy) {
  const Outcome as3 = Project(MovieFile(32, 32, {Tag(69, {0x08, 0, 0, 0}), Tag(82, {1, 2, 3}), ShowFrame()}), L"as3");
  EXPECT_EQ(as3.exitCode, 0u);
  EXPECT_TRUE(Has(as3.report, "ActionScript 3")) << as3.report;
  EXPECT_TRUE(Has(as3.report, "32 x 32")) << "the facts follow the reason\n" << as3.report;
  EXPECT_FALSE(Has(as3.report, "playing"));

  const Bytes damaged{'C', 'W', 'S', 10, 100, 0, 0, 0, 0x78, 0x9C, 1, 2, 3, 4, 5};
  const Outcome bad = Project(damaged, L"damaged");
  EXPECT_EQ(bad.exitCode, 0u);
  EXPECT_TRUE(Has(bad.report, "damaged")) << bad.report;

  const Outcome text = Project(Bytes{'h', 'e', 'l', 'l', 'o'}, L"text");
  EXPECT_EQ(text.exitCode, 3u) << "not an SWF file keeps its exit code";
}

}  // namespace
}  // namespace quillon::player
