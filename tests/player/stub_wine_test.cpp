// The stub under Wine: outputs made of the built stub, a movie and a trailer report what
// they would do through the QUILLON_STUB_REPORT seam; others play for real on the display.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "avm1/assembler.h"
#include "projector.h"
#include "sound/sound_writer.h"
#include "stub_run.h"
#include "swf_writer.h"
#include "text/text_writer.h"

namespace quillon::player {
namespace {

using namespace test;

using quillon::test::ReadFileBytes;
using quillon::test::StubResult;
using quillon::test::WinPath;

// Writes stub + movie + trailer as `name`.exe in the test folder; gives its path.
std::wstring WriteOutput(const Bytes& movie, const std::wstring& name) {
  const std::wstring dir = WinPath(QUILLON_TEST_TMP);
  CreateDirectoryW(dir.c_str(), nullptr);
  Bytes exe = ReadFileBytes(WinPath(QUILLON_STUB_EXE));
  EXPECT_GT(exe.size(), 1000u);
  Append(exe, movie);
  const auto trailer = convert::MakeTrailer(static_cast<std::uint32_t>(movie.size()));
  exe.insert(exe.end(), trailer.begin(), trailer.end());
  const std::wstring exePath = dir + L"\\" + name + L".exe";
  quillon::test::WriteFileBytes(exePath, exe);
  return exePath;
}

// Runs the output with the report seam set.
StubResult Project(const Bytes& movie, const std::wstring& name) {
  const std::wstring exePath = WriteOutput(movie, name);
  const StubResult out = quillon::test::RunStub(exePath, WinPath(QUILLON_TEST_TMP) + L"\\" + name + L".txt");
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
  const StubResult run = Project(movie, L"Bouncing Square");
  EXPECT_EQ(run.exitCode, 0u) << run.report;
  EXPECT_TRUE(Has(run.report, "playing")) << run.report;
  EXPECT_TRUE(Has(run.report, "64 x 48")) << run.report;
  EXPECT_TRUE(Has(run.report, "Frames: 3")) << run.report;
  EXPECT_TRUE(Has(run.report, "30.00")) << run.report;
  EXPECT_TRUE(Has(run.report, "Title: Bouncing Square")) << "the title is the file name without extension\n"
                                                        << run.report;
}

// Wine may or may not have an audio device here: either way the movie plays, and the stub
// says which it found.
TEST(StubPlays, AMovieWithSoundOpensTheAudioDeviceOrPlaysOnSilent) {
  const auto wave = Sine(440, 22050, 2205);
  const Bytes movie = MovieFile(32, 32,
                                {DefineSound(1, FormatByte(3, 2, true, false), 2205, Pcm16Bytes(wave)), StartSoundTag(1),
                                 ShowFrame()});
  const StubResult run = Project(movie, L"beep");
  EXPECT_EQ(run.exitCode, 0u) << run.report;
  EXPECT_TRUE(Has(run.report, "playing")) << run.report;
  EXPECT_TRUE(Has(run.report, "Sound: playing on the audio device") ||
              Has(run.report, "Sound: no audio device, playing on silent"))
      << run.report;
  const StubResult silent = Project(MovieFile(32, 32, {ShowFrame()}), L"quiet");
  EXPECT_TRUE(Has(silent.report, "Sound: none")) << "no device is opened for a movie without sound\n" << silent.report;
}

TEST(StubPlays, UnplayableMoviesGetTheFactsWithOneSentenceWhy) {
  const StubResult as3 = Project(MovieFile(32, 32, {Tag(69, {0x08, 0, 0, 0}), Tag(82, {1, 2, 3}), ShowFrame()}), L"as3");
  EXPECT_EQ(as3.exitCode, 0u);
  EXPECT_TRUE(Has(as3.report, "ActionScript 3")) << as3.report;
  EXPECT_TRUE(Has(as3.report, "32 x 32")) << "the facts follow the reason\n" << as3.report;
  EXPECT_FALSE(Has(as3.report, "playing"));

  const Bytes damaged{'C', 'W', 'S', 10, 100, 0, 0, 0, 0x78, 0x9C, 1, 2, 3, 4, 5};
  const StubResult bad = Project(damaged, L"damaged");
  EXPECT_EQ(bad.exitCode, 0u);
  EXPECT_TRUE(Has(bad.report, "damaged")) << bad.report;

  // An LZMA body declared at 1 GiB: refused for its size, with the facts, before anything decodes.
  const Bytes huge{'Z', 'W', 'S', 13, 8, 0, 0, 0x40, 5, 0, 0, 0, 0x5d, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const StubResult large = Project(huge, L"huge");
  EXPECT_EQ(large.exitCode, 0u);
  EXPECT_TRUE(Has(large.report, "more memory")) << large.report;
  EXPECT_TRUE(Has(large.report, "The movie:")) << large.report;

  const StubResult text = Project(Bytes{'h', 'e', 'l', 'l', 'o'}, L"text");
  EXPECT_EQ(text.exitCode, 3u) << "not an SWF file keeps its exit code";
}

struct Found {
  DWORD pid;
  HWND hwnd;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM lp) {
  auto* want = reinterpret_cast<Found*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(h, &owner);
  if (owner != want->pid || !IsWindowVisible(h)) return TRUE;
  want->hwnd = h;
  return FALSE;
}

// The visible top-level window of process `pid`, if it has one yet.
HWND WindowOf(DWORD pid) {
  Found f{pid, nullptr};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

void PressCtrl(WORD key) {
  INPUT in[4]{};
  const WORD keys[4] = {VK_CONTROL, key, key, VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = keys[i];
    in[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, in, sizeof(INPUT));
}

// Polls `probe` every 50 ms for up to `ms`; true once it holds.
template <typename Probe>
bool Within(int ms, Probe probe) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (probe()) return true;
    Sleep(50);
  }
  return probe();
}

// A built output running, with the window it opened (null when none came within 20 s).
class Played {
 public:
  explicit Played(const std::wstring& exePath) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exePath + L"\"";
    started_ = CreateProcessW(exePath.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
    if (started_) Within(20000, [&] { return (window_ = WindowOf(pi_.dwProcessId)) != nullptr; });
  }
  ~Played() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  Played(const Played&) = delete;
  Played& operator=(const Played&) = delete;

  bool started() const { return started_; }
  HWND window() const { return window_; }
  // Its exit code, once it has quit within 10 s; 99 when it had to be stopped.
  DWORD Exit() {
    DWORD code = 99;
    if (WaitForSingleObject(pi_.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(pi_.hProcess, &code);
    else TerminateProcess(pi_.hProcess, 99);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_{};
  BOOL started_ = FALSE;
  HWND window_ = nullptr;
};

TEST(StubWindow, PlaysAtTheStageSizeAnimatesGoesFullScreenAndQuits) {
  // Red for the first four seconds (a quarter frame per second, time enough for a slow
  // machine to show the window), then green, held by Stop.
  // The stage is wider than the narrowest window the system allows.
  const Bytes movie = MovieFile(256, 128,
                                {Background({255, 255, 255}), RectShape(1, 0, 0, 5120, 2560, {255, 0, 0}),
                                 RectShape(2, 0, 0, 5120, 2560, {0, 255, 0}), PlaceObject2({.depth = 1, .id = 1}),
                                 ShowFrame(), RemoveObject2(1), PlaceObject2({.depth = 1, .id = 2}),
                                 DoActionTag({0x07}), ShowFrame()},
                                'F', 0.25);
  const std::wstring exePath = WriteOutput(movie, L"Red then green");
  Played run(exePath);
  ASSERT_TRUE(run.started());
  const HWND hwnd = run.window();
  EXPECT_TRUE(hwnd);
  if (hwnd) {
    wchar_t title[64]{};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_EQ(std::wstring(title), L"Red then green");
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 256);
    EXPECT_EQ(client.bottom, 128);
    POINT centre{128, 64};
    ClientToScreen(hwnd, &centre);
    // The colours seen at the stage's centre, in order.
    std::vector<COLORREF> seen;
    Within(15000, [&] {
      const COLORREF c = ScreenPixel(centre.x, centre.y);
      if (seen.empty() || seen.back() != c) seen.push_back(c);
      return c == RGB(0, 255, 0);
    });
    const auto red = std::find(seen.begin(), seen.end(), RGB(255, 0, 0));
    EXPECT_NE(red, seen.end()) << "the first frame was shown";
    EXPECT_NE(std::find(red, seen.end(), RGB(0, 255, 0)), seen.end()) << "then the second";

    // Full screen on 1024 x 768: the 2:1 stage scales by 4 to 1024 x 512, with black bars
    // of 128 rows above and below.
    SetForegroundWindow(hwnd);
    PressCtrl('F');
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_TRUE(Within(5000, [&] {
      RECT r{};
      GetClientRect(hwnd, &r);
      return r.right == sw && r.bottom == sh;
    })) << "Ctrl+F fills the screen";
    if (sw == 1024 && sh == 768) {
      EXPECT_TRUE(Within(3000, [&] { return ScreenPixel(512, 384) == RGB(0, 255, 0); }));
      EXPECT_EQ(ScreenPixel(512, 127), RGB(0, 0, 0));
      EXPECT_EQ(ScreenPixel(512, 128), RGB(0, 255, 0));
      EXPECT_EQ(ScreenPixel(512, 639), RGB(0, 255, 0));
      EXPECT_EQ(ScreenPixel(512, 640), RGB(0, 0, 0));
    }
    PressCtrl('Q');
  }
  EXPECT_EQ(run.Exit(), 0u) << "Ctrl+Q quits";
  DeleteFileW(exePath.c_str());
}

// The client area as the screen shows it; pixels as RGB().
struct Shot {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<std::size_t>(y * width + x)] : CLR_INVALID;
  }
};

Shot CaptureClient(HWND hwnd) {
  Shot shot;
  RECT client{};
  POINT origin{0, 0};
  if (!GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin) || client.right <= 0 || client.bottom <= 0)
    return shot;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = client.right;
  bi.bmiHeader.biHeight = -client.bottom;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp && bits) {
    HGDIOBJ old = SelectObject(mem, bmp);
    if (BitBlt(mem, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY)) {
      shot.width = client.right;
      shot.height = client.bottom;
      const auto* p = static_cast<const std::uint32_t*>(bits);
      shot.pixels.resize(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height));
      for (std::size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = RGB(p[i] >> 16 & 0xFF, p[i] >> 8 & 0xFF, p[i] & 0xFF);
    }
    SelectObject(mem, old);
  }
  if (bmp) DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return shot;
}

namespace as = avm1::testing;

// The script a worker clip runs on each of its frames:
//   if (!state) state = {frames: 0, step: 10};
//   function Counter(start) { this.n = start; }
//   Counter.prototype.add = function (k) { this.n = this.n + k; return this.n; };
//   function area(w, h) { var r3 = w * h; return r3; }       // all in registers
//   o = {w: 3, h: 4}; a = [5, 6, 7];
//   c = new Counter(o.w); c.add(a[2]);                        // c.n = 3 + 7 = 10
//   v = area(c.n, o.h);                                       // 10 * 4 = 40
//   state.frames = state.frames + 1;
//   _parent.light.gotoAndStop(v == 40 ? 2 : 1);
//   _parent.box._x = v / 8 + state.step * (state.frames % 16);  // 5 + 10 k
//   trace(v);
std::vector<std::uint8_t> WorkerScript() {
  as::Asm a;
  a.Push("state").GetVariable().If("ready");
  a.Push("state", "frames", 0, "step", 10, 2).InitObject().SetVariable();
  a.Label("ready");
  a.DefineFunction2("Counter", 3, as::kPreloadThis, {{"start", 2}},
                    [](as::Asm& f) { f.Push(as::Reg{1}, "n", as::Reg{2}).SetMember(); });
  a.Push("Counter").GetVariable().Push("prototype").GetMember().Push("add");
  a.DefineFunction2("", 3, as::kPreloadThis, {{"k", 2}}, [](as::Asm& f) {
    f.Push(as::Reg{1}, "n", as::Reg{1}, "n").GetMember().Push(as::Reg{2}).Add2().SetMember();
    f.Push(as::Reg{1}, "n").GetMember().Return();
  });
  a.SetMember();
  a.DefineFunction2("area", 4, 0, {{"w", 1}, {"h", 2}}, [](as::Asm& f) {
    f.Push(as::Reg{1}, as::Reg{2}).Multiply().StoreRegister(3).Pop().Push(as::Reg{3}).Return();
  });
  a.Push("o", "w", 3, "h", 4, 2).InitObject().SetVariable();
  a.Push("a", 7, 6, 5, 3).InitArray().SetVariable();
  a.Push("c", "o").GetVariable().Push("w").GetMember().Push(1, "Counter").NewObject().SetVariable();
  a.Push("a").GetVariable().Push(2).GetMember().Push(1, "c").GetVariable().Push("add").CallMethod().Pop();
  a.Push("v", "o").GetVariable().Push("h").GetMember();
  a.Push("c").GetVariable().Push("n").GetMember().Push(2, "area").CallFunction().SetVariable();
  a.Push("state").GetVariable().Push("frames", "state").GetVariable().Push("frames").GetMember();
  a.Increment().SetMember();
  a.Push("v").GetVariable().Push(40).Equals2().If("right");
  a.Push(1).Jump("go");
  a.Label("right").Push(2);
  a.Label("go").Push(1, "_parent").GetVariable().Push("light").GetMember().Push("gotoAndStop").CallMethod().Pop();
  a.Push("_parent").GetVariable().Push("box").GetMember().Push("_x");
  a.Push("v").GetVariable().Push(8).Divide();
  a.Push("state").GetVariable().Push("step").GetMember();
  a.Push("state").GetVariable().Push("frames").GetMember().Push(16).Modulo().Multiply().Add2();
  a.SetMember();
  a.Push("v").GetVariable().Trace();
  return a.Code();
}

TEST(StubWindow, FrameScriptsBuildObjectsAndCallFunctionsToDecideWhatIsDrawn) {
  // The top half is a light: a sprite stopped on red whose second frame is green. Below it a
  // 20 pixel blue box starts at x = 230, where no computed position puts it. A worker sprite of
  // two frames, both running the script above, loops at 8 frames per second.
  const Bytes stop = as::Asm().Stop().Code();
  const Bytes movie = MovieFile(
      256, 128,
      {Background({255, 255, 255}), RectShape(1, 0, 0, 5120, 1280, {255, 0, 0}),
       RectShape(2, 0, 0, 5120, 1280, {0, 255, 0}),
       Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), DoActionTag(stop), ShowFrame(), RemoveObject2(1),
                  PlaceObject2({.depth = 1, .id = 2}), ShowFrame()}),
       RectShape(4, 0, 0, 400, 400, {0, 0, 255}), Sprite(5, {PlaceObject2({.depth = 1, .id = 4}), ShowFrame()}),
       Sprite(6, {DoActionTag(WorkerScript()), ShowFrame(), DoActionTag(WorkerScript()), ShowFrame()}),
       PlaceObject2({.depth = 1, .id = 3, .name = "light"}),
       PlaceObject2({.depth = 2, .id = 5, .tx = 230 * 20, .ty = 84 * 20, .name = "box"}),
       PlaceObject2({.depth = 3, .id = 6, .name = "worker"}), ShowFrame()},
      'F', 8);
  const std::wstring exePath = WriteOutput(movie, L"Computed");
  Played run(exePath);
  ASSERT_TRUE(run.started());
  const HWND hwnd = run.window();
  EXPECT_TRUE(hwnd);
  if (hwnd) {
    // The box's left edge is 5 + 10 k for k = frames % 16: 5 to 155.
    std::set<int> expected;
    for (int k = 0; k < 16; ++k) expected.insert(5 + 10 * k);
    bool green = false;
    std::vector<COLORREF> lightAfterGreen;
    std::vector<int> edges;
    std::set<int> distinct;
    Within(20000, [&] {
      const Shot shot = CaptureClient(hwnd);
      const COLORREF light = shot.At(128, 32);
      if (light == RGB(0, 255, 0)) green = true;
      if (green) lightAfterGreen.push_back(light);
      for (int x = 0; x < shot.width; ++x)
        if (shot.At(x, 94) == RGB(0, 0, 255)) {
          edges.push_back(x);
          if (green) distinct.insert(x);
          break;
        }
      return green && distinct.size() >= 4;
    });
    EXPECT_TRUE(green) << "the light turns green only when area() gives 40";
    EXPECT_TRUE(std::all_of(lightAfterGreen.begin(), lightAfterGreen.end(), [](COLORREF c) { return c == RGB(0, 255, 0); }))
        << "every frame computes 40 again";
    EXPECT_GE(distinct.size(), 4u) << "the box moves as the frame count grows";
    std::string stray;
    for (int x : edges)
      if (!expected.count(x) && stray.find(" " + std::to_string(x) + " ") == std::string::npos)
        stray += " " + std::to_string(x) + " ";
    EXPECT_TRUE(stray.empty()) << "the box was seen at x =" << stray;
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(run.Exit(), 0u);
  DeleteFileW(exePath.c_str());
}

// ---- the movie's data: saves in the application-data folder, files beside the output ----

// Every .sol file under `dir`, with its bytes.
void FindSaves(const std::wstring& dir, std::vector<std::pair<std::wstring, Bytes>>& out, int depth = 0) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = f.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = dir + L"\\" + name;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (depth < 32) FindSaves(path, out, depth + 1);
    } else if (name.size() > 4 && name.substr(name.size() - 4) == L".sol") {
      out.emplace_back(path, ReadFileBytes(path));
    }
  } while (FindNextFileW(h, &f));
  FindClose(h);
}

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = f.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileW(path.c_str());
    } while (FindNextFileW(h, &f));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

std::wstring SavesOf(const std::wstring& movieName) {
  wchar_t appData[MAX_PATH] = {};
  GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  return std::wstring(appData) + L"\\Quillon\\" + movieName;
}

// The number stored under `name` in a .sol file: the name's bytes, the number marker, then
// eight big-endian bytes. NaN when it is not there.
double SavedNumber(const Bytes& sol, const std::string& name) {
  Bytes key{static_cast<std::uint8_t>(name.size() >> 8), static_cast<std::uint8_t>(name.size())};
  key.insert(key.end(), name.begin(), name.end());
  key.push_back(0x00);
  const auto at = std::search(sol.begin(), sol.end(), key.begin(), key.end());
  if (at == sol.end() || sol.end() - at < static_cast<std::ptrdiff_t>(key.size() + 8)) return NAN;
  std::uint64_t bits = 0;
  for (auto p = at + static_cast<std::ptrdiff_t>(key.size()); p != at + static_cast<std::ptrdiff_t>(key.size() + 8); ++p)
    bits = bits << 8 | *p;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

bool Contains(const Bytes& b, const std::string& text) {
  return std::search(b.begin(), b.end(), text.begin(), text.end()) != b.end();
}

// Plays an output until `done` holds (20 s at most), then closes its window, so the player
// ends as a user would end it.
void PlayUntil(const std::wstring& exePath, const std::function<bool()>& done) {
  Played run(exePath);
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.window());
  Within(20000, done);
  PostMessageW(run.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Exit(), 0u);
}

TEST(StubData, ASavedCounterCarriesOverToTheNextStart) {
  //   so = SharedObject.getLocal("counter"); d = so.data;
  //   if (d.count == undefined) d.count = 0;
  //   d.count = d.count + 1; stop();
  // with no flush: the count is saved when the player ends.
  as::Asm a;
  a.Push("so", "counter", 1, "SharedObject").GetVariable().Push("getLocal").CallMethod().SetVariable();
  a.Push("d", "so").GetVariable().Push("data").GetMember().SetVariable();
  a.Push("d").GetVariable().Push("count").GetMember().Push(as::Undefined{}).Equals2().Not().If("has");
  a.Push("d").GetVariable().Push("count", 0).SetMember();
  a.Label("has");
  a.Push("d").GetVariable().Push("count", "d").GetVariable().Push("count").GetMember().Increment().SetMember();
  a.Stop();
  const Bytes movie = MovieFile(64, 64, {DoActionTag(a.Code()), ShowFrame()}, 'F', 20);
  const std::wstring saves = SavesOf(L"Counter");
  RemoveTree(saves);
  const std::wstring exePath = WriteOutput(movie, L"Counter");
  for (int run = 1; run <= 2; ++run) {
    const ULONGLONG start = GetTickCount64();
    PlayUntil(exePath, [start] { return GetTickCount64() - start > 1500; });
    std::vector<std::pair<std::wstring, Bytes>> found;
    FindSaves(saves, found);
    ASSERT_EQ(found.size(), 1u) << "run " << run;
    EXPECT_NE(found[0].first.find(L"\\localhost\\"), std::wstring::npos);
    EXPECT_NE(found[0].first.find(L"\\Counter.exe\\counter.sol"), std::wstring::npos);
    EXPECT_EQ(found[0].second[0], 0x00);
    EXPECT_EQ(found[0].second[1], 0xBF);
    EXPECT_EQ(SavedNumber(found[0].second, "count"), run) << "run " << run;
  }
  DeleteFileW(exePath.c_str());
  RemoveTree(saves);
}

TEST(StubData, AMovieReadsTheVariablesAndXmlBesideIt) {
  //   lv = new LoadVars(); lv.onLoad = function (ok) { save("vars", lv.v) }; lv.load("vars.txt");
  //   x = new XML(); x.onLoad = function (ok) { save("xml", x.firstChild.attributes.v) }; x.load("data.xml");
  // where save(key, v) is so = SharedObject.getLocal("got"); so.data[key] = v; so.flush().
  auto save = [](as::Asm& f, const std::string& key, const std::function<void(as::Asm&)>& value) {
    f.Push("so", "got", 1, "SharedObject").GetVariable().Push("getLocal").CallMethod().SetVariable();
    f.Push("so").GetVariable().Push("data").GetMember().Push(key);
    value(f);
    f.SetMember();
    f.Push(0, "so").GetVariable().Push("flush").CallMethod().Pop();
  };
  as::Asm a;
  a.Push("lv", 0, "LoadVars").NewObject().SetVariable();
  a.Push("lv").GetVariable().Push("onLoad");
  a.DefineFunction("", {"ok"}, [&](as::Asm& f) {
    save(f, "vars", [](as::Asm& g) { g.Push("lv").GetVariable().Push("v").GetMember(); });
  });
  a.SetMember();
  a.Push("vars.txt", 1, "lv").GetVariable().Push("load").CallMethod().Pop();
  a.Push("x", 0, "XML").NewObject().SetVariable();
  a.Push("x").GetVariable().Push("onLoad");
  a.DefineFunction("", {"ok"}, [&](as::Asm& f) {
    save(f, "xml", [](as::Asm& g) {
      g.Push("x").GetVariable().Push("firstChild").GetMember().Push("attributes").GetMember().Push("v").GetMember();
    });
  });
  a.SetMember();
  a.Push("data.xml", 1, "x").GetVariable().Push("load").CallMethod().Pop();
  a.Stop();
  const Bytes movie = MovieFile(64, 64, {DoActionTag(a.Code()), ShowFrame()}, 'F', 20);
  const std::wstring saves = SavesOf(L"Reader");
  RemoveTree(saves);
  const std::wstring dir = WinPath(QUILLON_TEST_TMP);
  const std::string vars = "v=beside%20the%20output&other=1", xml = "<data v=\"from the xml\"><item/></data>";
  quillon::test::WriteFileBytes(dir + L"\\vars.txt", Bytes(vars.begin(), vars.end()));
  quillon::test::WriteFileBytes(dir + L"\\data.xml", Bytes(xml.begin(), xml.end()));
  const std::wstring exePath = WriteOutput(movie, L"Reader");
  std::vector<std::pair<std::wstring, Bytes>> found;
  PlayUntil(exePath, [&] {
    found.clear();
    FindSaves(saves, found);
    return found.size() == 1 && Contains(found[0].second, "beside the output") && Contains(found[0].second, "from the xml");
  });
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(Contains(found[0].second, "beside the output"));
  EXPECT_TRUE(Contains(found[0].second, "from the xml"));
  DeleteFileW(exePath.c_str());
  DeleteFileW((dir + L"\\vars.txt").c_str());
  DeleteFileW((dir + L"\\data.xml").c_str());
  RemoveTree(saves);
}

// One answer to one connection on a loopback port, with what the request said.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string answer) : answer_(std::move(answer)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    listen(listener_, 1);
    thread_ = std::thread([this] {
      const SOCKET c = accept(listener_, nullptr, nullptr);
      if (c == INVALID_SOCKET) return;
      DWORD timeout = 10000;
      setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
      char buf[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
      }
      send(c, answer_.data(), static_cast<int>(answer_.size()), 0);
      shutdown(c, SD_SEND);
      closesocket(c);
    });
  }
  ~LoopbackServer() {
    closesocket(listener_);  // ends a wait for a connection that never came
    thread_.join();
    WSACleanup();
  }
  int port = 0;
  std::string request;

 private:
  std::string answer_;
  SOCKET listener_ = INVALID_SOCKET;
  std::thread thread_;
};

TEST(StubData, AWebLoadGoesThroughThePlatformAndArrivesLater) {
  LoopbackServer server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 18\r\n\r\nv=from%20the%20web");
  //   lv = new LoadVars(); lv.onHTTPStatus = function (s) { status = s };
  //   lv.onLoad = function (ok) { so = SharedObject.getLocal("web"); so.data.v = lv.v;
  //                               so.data.status = status; so.flush() };
  //   lv.load("http://127.0.0.1:PORT/vars?x=1");
  as::Asm a;
  a.Push("lv", 0, "LoadVars").NewObject().SetVariable();
  a.Push("lv").GetVariable().Push("onHTTPStatus");
  a.DefineFunction("", {"s"}, [](as::Asm& f) { f.Push("status", "s").GetVariable().SetVariable(); });
  a.SetMember();
  a.Push("lv").GetVariable().Push("onLoad");
  a.DefineFunction("", {"ok"}, [](as::Asm& f) {
    f.Push("so", "web", 1, "SharedObject").GetVariable().Push("getLocal").CallMethod().SetVariable();
    f.Push("so").GetVariable().Push("data").GetMember().Push("v", "lv").GetVariable().Push("v").GetMember().SetMember();
    f.Push("so").GetVariable().Push("data").GetMember().Push("status", "status").GetVariable().SetMember();
    f.Push(0, "so").GetVariable().Push("flush").CallMethod().Pop();
  });
  a.SetMember();
  a.Push("http://127.0.0.1:" + std::to_string(server.port) + "/vars?x=1", 1, "lv").GetVariable();
  a.Push("load").CallMethod().Pop();
  a.Stop();
  const Bytes movie = MovieFile(64, 64, {DoActionTag(a.Code()), ShowFrame()}, 'F', 20);
  const std::wstring saves = SavesOf(L"Web");
  RemoveTree(saves);
  const std::wstring exePath = WriteOutput(movie, L"Web");
  std::vector<std::pair<std::wstring, Bytes>> found;
  PlayUntil(exePath, [&] {
    found.clear();
    FindSaves(saves, found);
    return found.size() == 1 && Contains(found[0].second, "from the web");
  });
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(Contains(found[0].second, "from the web"));
  EXPECT_EQ(SavedNumber(found[0].second, "status"), 200);
  EXPECT_EQ(server.request.substr(0, server.request.find("\r\n")), "GET /vars?x=1 HTTP/1.1");
  DeleteFileW(exePath.c_str());
  RemoveTree(saves);
}

// A DefineButton2 showing shape `shape` in every state, running `release` when clicked.
Bytes ClickButton(int id, int shape, const Bytes& release) {
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  body.push_back(0);  // tracked as a push button
  Bytes recs{0x0F};
  U16(recs, static_cast<unsigned>(shape));
  U16(recs, 1);
  Append(recs, MatrixBytes(0, 0));
  recs.push_back(0);  // no colour transform terms
  recs.push_back(0);  // end of the records
  U16(body, static_cast<unsigned>(recs.size() + 2));
  Append(body, recs);
  U16(body, 0);  // the last (only) condition
  U16(body, 0x08);  // released over the button
  Append(body, release);
  body.push_back(0);
  return Tag(34, body);
}

// Red until the 60-pixel grey button at (20, 20) is clicked, then green.
Bytes ButtonMovie() {
  const Bytes stop = as::Asm().Stop().Code();
  const Bytes next = as::Asm().GotoFrame(1).Stop().Code();
  return MovieFile(200, 100,
                   {Background({255, 255, 255}), RectShape(1, 0, 0, 4000, 2000, {255, 0, 0}),
                    RectShape(2, 0, 0, 4000, 2000, {0, 255, 0}), RectShape(3, 0, 0, 1200, 1200, {128, 128, 128}, true),
                    ClickButton(4, 3, next), PlaceObject2({.depth = 1, .id = 1}),
                    PlaceObject2({.depth = 2, .id = 4, .tx = 400, .ty = 400, .name = "b"}), DoActionTag(stop), ShowFrame(),
                    RemoveObject2(1), PlaceObject2({.depth = 1, .id = 2}), ShowFrame()},
                   'F', 12);
}

void SendMouse(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

void SendKey(WORD vk) {
  INPUT in[2]{};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = vk;
    in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(2, in, sizeof(INPUT));
}

// The cursor the player's window shows. Cursor handles belong to the process that loaded them
// under Wine, so the test compares the player's handles with each other, not with its own.
HCURSOR ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) ? info.hCursor : nullptr;
}

TEST(StubInput, AClickOnAButtonMovesThePlayheadAndTheHandShowsOverIt) {
  const std::wstring exePath = WriteOutput(ButtonMovie(), L"Click me");
  Played run(exePath);
  ASSERT_TRUE(run.started());
  const HWND hwnd = run.window();
  ASSERT_TRUE(hwnd);
  SetForegroundWindow(hwnd);
  auto screen = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
  };
  const POINT beside = screen(150, 50), onButton = screen(50, 50);
  EXPECT_TRUE(Within(10000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(255, 0, 0); })) << "the first frame shows";
  SetCursorPos(beside.x, beside.y);
  SendMouse(MOUSEEVENTF_MOVE);
  HCURSOR arrow = nullptr;
  EXPECT_TRUE(Within(3000, [&] { return (arrow = ShownCursor()) != nullptr; })) << "a cursor beside the button";
  SetCursorPos(onButton.x, onButton.y);
  SendMouse(MOUSEEVENTF_MOVE);
  EXPECT_TRUE(Within(3000, [&] { return ShownCursor() && ShownCursor() != arrow; }))
      << "another cursor (the hand) over the button";
  SetCursorPos(beside.x, beside.y);
  SendMouse(MOUSEEVENTF_MOVE);
  EXPECT_TRUE(Within(3000, [&] { return ShownCursor() == arrow; })) << "the arrow again beside it";
  SetCursorPos(onButton.x, onButton.y);
  SendMouse(MOUSEEVENTF_MOVE);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(Within(5000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(0, 255, 0); }))
      << "the click ran the button's action: the second frame shows";
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Exit(), 0u);
  DeleteFileW(exePath.c_str());
}

TEST(StubInput, TabFocusesTheButtonWithTheYellowFrameAndEnterPressesIt) {
  const std::wstring exePath = WriteOutput(ButtonMovie(), L"Tab and Enter");
  Played run(exePath);
  ASSERT_TRUE(run.started());
  const HWND hwnd = run.window();
  ASSERT_TRUE(hwnd);
  SetForegroundWindow(hwnd);
  POINT beside{150, 50}, corner{21, 21};
  ClientToScreen(hwnd, &beside);
  ClientToScreen(hwnd, &corner);
  EXPECT_TRUE(Within(10000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(255, 0, 0); }));
  EXPECT_EQ(ScreenPixel(corner.x, corner.y), RGB(128, 128, 128));
  SendKey(VK_TAB);
  EXPECT_TRUE(Within(3000, [&] { return ScreenPixel(corner.x, corner.y) == RGB(255, 255, 0); }))
      << "Tab gives the button the focus and its frame";
  EXPECT_EQ(ScreenPixel(beside.x, beside.y), RGB(255, 0, 0)) << "focus alone does not press it";
  SendKey(VK_RETURN);
  EXPECT_TRUE(Within(5000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(0, 255, 0); }))
      << "Enter presses the focused button";
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Exit(), 0u);
  DeleteFileW(exePath.c_str());
}

// Red while the input field's variable `answer` is not "quill", green once it is: a looping
// watcher clip sends the root to its green second frame when the word is there.
Bytes InputFieldMovie() {
  as::Asm check;
  check.Push("_root").GetVariable().Push("answer").GetMember().Push("quill").Equals2().Not().If("wait");
  check.Push(2, 1, "_root").GetVariable().Push("gotoAndStop").CallMethod().Pop();
  check.Label("wait");
  TestFont font;
  font.id = 3;
  font.codes = u"iloqu";
  EditText field;
  field.id = 4;
  field.xMin = 400, field.xMax = 3600, field.yMin = 400, field.yMax = 1000;
  field.fontId = 3;
  field.height = 360;
  field.outlines = true;
  field.border = true;
  field.readOnly = false;
  field.variable = "answer";
  return MovieFile(200, 120,
                   {Background({255, 255, 255}), RectShape(1, 0, 0, 4000, 2400, {255, 0, 0}),
                    RectShape(2, 0, 0, 4000, 2400, {0, 255, 0}), FontTag(font), EditTextTag(field),
                    Sprite(5, {DoActionTag(check.Code()), ShowFrame(), ShowFrame()}), PlaceObject2({.depth = 1, .id = 1}),
                    PlaceObject2({.depth = 2, .id = 4, .name = "field"}), PlaceObject2({.depth = 3, .id = 5}),
                    DoActionTag(as::Asm().Stop().Code()), ShowFrame(), RemoveObject2(1),
                    PlaceObject2({.depth = 1, .id = 2}), ShowFrame()},
                   'F', 12);
}

void TypeUnicode(const std::wstring& text) {
  for (const wchar_t ch : text) {
    INPUT in[2]{};
    for (int i = 0; i < 2; ++i) {
      in[i].type = INPUT_KEYBOARD;
      in[i].ki.wScan = static_cast<WORD>(ch);
      in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, in, sizeof(INPUT));
    Sleep(30);
  }
}

TEST(StubInput, WordsTypedIntoAnInputFieldReachItsVariable) {
  const std::wstring exePath = WriteOutput(InputFieldMovie(), L"Type the word");
  Played run(exePath);
  ASSERT_TRUE(run.started());
  const HWND hwnd = run.window();
  ASSERT_TRUE(hwnd);
  SetForegroundWindow(hwnd);
  POINT beside{100, 90}, inField{60, 35};
  ClientToScreen(hwnd, &beside);
  ClientToScreen(hwnd, &inField);
  EXPECT_TRUE(Within(10000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(255, 0, 0); })) << "red at first";
  SetCursorPos(inField.x, inField.y);
  SendMouse(MOUSEEVENTF_MOVE);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  SendMouse(MOUSEEVENTF_LEFTUP);
  Sleep(300);
  TypeUnicode(L"qui");
  Sleep(500);
  EXPECT_EQ(ScreenPixel(beside.x, beside.y), RGB(255, 0, 0)) << "part of the word is not the word";
  TypeUnicode(L"ll");
  EXPECT_TRUE(Within(5000, [&] { return ScreenPixel(beside.x, beside.y) == RGB(0, 255, 0); }))
      << "the typed word reached the variable the frame script reads";
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Exit(), 0u);
  DeleteFileW(exePath.c_str());
}

}  // namespace
}  // namespace quillon::player
