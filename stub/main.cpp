// The projector stub: finds the movie appended to its own file and plays it in a window of
// the stage's size. Movies it cannot play get a window of facts with the reason.
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

#include "swf/movie.h"
#include "movie_source.h"
#include "avm1/classes/extra_classes.h"
#include "audio_out.h"
#include "display/player.h"
#include "display/sound_stage.h"
#include "key_input.h"
#include "mp3_acm.h"
#include "projector.h"
#include "render/stage_view.h"
#include "sound/pacer.h"
#include "stage_menu.h"
#include "swf_facts.h"

namespace {

using namespace quillon::stub;
namespace qp = quillon::player;

constexpr wchar_t kFactsClass[] = L"QuillonProjector";
constexpr wchar_t kPlayerClass[] = L"QuillonProjectorPlayer";
// A stage outside this range is treated as unreadable and the window gets a plain size.
constexpr int kMaxStage = 4096, kPlainWidth = 400, kPlainHeight = 300;

enum ExitCode { kShown = 0, kCannotOpen = 1, kNoMovie = 2, kNotSwf = 3 };

std::wstring Title(const std::wstring& exePath) {
  std::wstring name = exePath.substr(exePath.find_last_of(L"\\/") + 1);
  const auto dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// Test seam: with QUILLON_STUB_REPORT set, the stub writes what it would show to that file
// (UTF-8) instead of opening windows, so its behaviour can be checked without a display.
bool Report(const std::wstring& text) {
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"QUILLON_STUB_REPORT", path, MAX_PATH)) return false;
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  if (FILE* f = _wfopen(path, L"wb")) {
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fclose(f);
  }
  return true;
}

int Fail(const std::wstring& title, const std::wstring& text, int code) {
  if (!Report(text)) MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
  return code;
}

// Only web and mail addresses reach the shell: a movie must not start programs or open files.
void OpenAddress(const std::string& url) {
  const std::wstring w = Widen(url);
  auto starts = [&](const wchar_t* prefix) { return _wcsnicmp(w.c_str(), prefix, wcslen(prefix)) == 0; };
  if (starts(L"http://") || starts(L"https://") || starts(L"mailto:"))
    ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void PumpUntilQuit() {
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

SIZE WindowSizeFor(int clientW, int clientH, DWORD style) {
  RECT r{0, 0, clientW, clientH};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  return {r.right - r.left, r.bottom - r.top};
}

LRESULT CALLBACK FactsProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      InflateRect(&r, -12, -12);
      const auto* text = reinterpret_cast<const std::wstring*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      SetBkMode(dc, TRANSPARENT);
      HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      if (text) DrawTextW(dc, text->c_str(), static_cast<int>(text->size()), &r, DT_LEFT | DT_TOP | DT_WORDBREAK);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == 'Q' && GetKeyState(VK_CONTROL) < 0) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

int ShowFacts(HINSTANCE instance, const std::wstring& title, const std::wstring& text, int width, int height) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FactsProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kFactsClass;
  RegisterClassExW(&wc);
  const DWORD style = WS_OVERLAPPEDWINDOW;
  const SIZE size = WindowSizeFor(width, height, style);
  HWND hwnd = CreateWindowExW(0, kFactsClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return Fail(title, L"The player window could not be created.", kCannotOpen);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&text));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  PumpUntilQuit();
  return kShown;
}

// The latest lines that scripts traced. Scripts may trace every frame for hours, so both the
// count and each line's length are bounded.
class TraceLog {
 public:
  static constexpr std::size_t kMaxLines = 1000, kMaxLineBytes = 4096;

  void Add(const std::string& line) {
    std::size_t n = std::min(line.size(), kMaxLineBytes);
    // Cut before a character, not inside one.
    if (n < line.size())
      while (n > 0 && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) --n;
    if (lines_.size() == kMaxLines) lines_.pop_front();
    lines_.emplace_back(line, 0, n);
  }
  const std::deque<std::string>& Lines() const { return lines_; }

 private:
  std::deque<std::string> lines_;
};

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

// %APPDATA%\Quillon\<movie name>; empty (saves kept in memory only) when there is none.
std::filesystem::path SaveFolder(const std::wstring& title) {
  wchar_t appData[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring name = title;
  for (wchar_t& c : name)
    if (wcschr(L"\\/:*?\"<>|", c)) c = L'_';
  return std::filesystem::path(appData) / L"Quillon" / name;
}

// The playing window: one per process.
class PlayerWindow {
 public:
  PlayerWindow(std::shared_ptr<const qp::Movie> movie, const std::wstring& exe, const std::wstring& title)
      : player_(std::move(movie)) {
    player_.onGetUrl = [this](const std::string& url, const std::string& target) {
      if (_strnicmp(url.c_str(), "FSCommand:", 10) == 0) FsCommand(url.substr(10), target);
      else OpenAddress(url);
    };
    qp::avm1::SetFullScreenHandler(player_.machine(), [this](bool full) {
      if (hwnd_ && full != fullScreen_) ToggleFullScreen();
    });
    player_.onTrace = [this](const std::string& line) { traces_.Add(line); };
    // A projector's movie has no folder of its own: files it loads are beside the executable,
    // and its saves go to the user's application data, one folder a movie.
    const std::filesystem::path exePath(exe);
    player_.SetDataPaths(exePath.parent_path(), SaveFolder(title), Utf8(exe));
  }

  int Run(HINSTANCE instance, const std::wstring& title) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &PlayerWindow::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kPlayerClass;
    RegisterClassExW(&wc);
    const DWORD style = WS_OVERLAPPEDWINDOW;
    const SIZE size = WindowSizeFor(player_.movie().StageWidth(), player_.movie().StageHeight(), style);
    HWND hwnd = CreateWindowExW(0, kPlayerClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
                                size.cy, nullptr, nullptr, instance, this);
    if (!hwnd) return Fail(title, L"The player window could not be created.", kCannotOpen);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    if (player_.sound().HasSound() && audio_.Open()) player_.sound().KeepAudio(true);
    return Loop();
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<PlayerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<PlayerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
  }

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_ERASEBKGND: return 1;  // every pixel is painted
      case WM_PAINT: Paint(); return 0;
      case WM_SIZE: InvalidateRect(hwnd_, nullptr, FALSE); return 0;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (!trapKeys_ && GetKeyState(VK_CONTROL) < 0 && wp == 'Q') {
          DestroyWindow(hwnd_);
          return 0;
        }
        if (!trapKeys_ && GetKeyState(VK_CONTROL) < 0 && wp == 'F') {
          ToggleFullScreen();
          return 0;
        }
        if (wp == VK_ESCAPE && fullScreen_ && !trapKeys_) {
          ToggleFullScreen();  // Esc leaves full screen and goes no further
          return 0;
        }
        if (msg == WM_SYSKEYDOWN && wp != VK_MENU && wp != VK_F10) break;  // Alt+key stays the system's
        Key(true, wp);
        return 0;
      case WM_KEYUP:
      case WM_SYSKEYUP:
        Key(false, wp);
        if (msg == WM_SYSKEYUP) break;
        return 0;
      case WM_CHAR:
        Typed(static_cast<wchar_t>(wp));
        return 0;
      case WM_MOUSEMOVE: Pointer(lp); return 0;
      case WM_LBUTTONDOWN:
      case WM_MBUTTONDOWN:
        // A held button stays tracked when the pointer leaves the window.
        SetCapture(hwnd_);
        Pointer(lp);
        player_.MouseDown(msg == WM_LBUTTONDOWN ? 1 : 4);
        Changed();
        return 0;
      case WM_LBUTTONUP:
      case WM_MBUTTONUP:
        Pointer(lp);
        player_.MouseUp(msg == WM_LBUTTONUP ? 1 : 4);
        if (!(wp & (MK_LBUTTON | MK_MBUTTON))) ReleaseCapture();
        Changed();
        return 0;
      case WM_MOUSEWHEEL:
        // Three lines a notch, as the system scrolls.
        player_.MouseWheel(GET_WHEEL_DELTA_WPARAM(wp) * 3 / WHEEL_DELTA);
        Changed();
        return 0;
      case WM_SETCURSOR:
        if (LOWORD(lp) != HTCLIENT) break;
        ShowCursorShape();
        return TRUE;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        player_.WindowFocus(msg == WM_SETFOCUS);
        Changed();
        return 0;
      case WM_CONTEXTMENU: StageMenu(lp); return 0;
      case WM_DESTROY:
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
      default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }

  // The client area's stage: scaled to fit unless the movie asked for its own size.
  qp::Viewport View() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = player_.movie().StageWidth(), h = player_.movie().StageHeight();
    return allowScale_ ? qp::FitStage(client.right, client.bottom, w, h) : qp::CentreStage(client.right, client.bottom, w, h);
  }

  // Input changes what the stage shows (button states, the focus rectangle) between frames.
  void Changed() {
    renderedFrame_ = ~0ull;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }

  void Pointer(LPARAM lp) {
    const qp::StagePoint p = qp::ClientToStage(View(), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    player_.MouseMove(p.x, p.y);
    ShowCursorShape();
    Changed();
  }

  void ShowCursorShape() {
    switch (player_.CursorShape()) {
      case qp::Player::Cursor::Hidden: SetCursor(nullptr); break;
      case qp::Player::Cursor::Hand: SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); break;  // IDC_HAND
      default: SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); break;                      // IDC_ARROW
    }
  }

  void Key(bool down, WPARAM vk) {
    const PlayerKey key = KeyOf(vk);
    if (!key.code) return;
    if (down) player_.KeyDown(key.code, key.ascii);
    else player_.KeyUp(key.code, key.ascii);
    Changed();
  }

  void Typed(wchar_t unit) {
    // Characters beyond the first plane come as two units.
    if (unit >= 0xD800 && unit < 0xDC00) {
      highSurrogate_ = unit;
      return;
    }
    char32_t ch = unit;
    if (unit >= 0xDC00 && unit < 0xE000) {
      if (!highSurrogate_) return;
      ch = 0x10000 + ((static_cast<char32_t>(highSurrogate_) - 0xD800) << 10) + (unit - 0xDC00);
    }
    highSurrogate_ = 0;
    // Tab and Escape move the focus and leave full screen; they type nothing.
    if (ch == 9 || ch == 27) return;
    player_.TextInput(ch);
    Changed();
  }

  void StageMenu(LPARAM lp) {
    POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the window's corner
      at = {0, 0};
      ClientToScreen(hwnd_, &at);
    }
    MenuState state;
    state.controls = showMenu_ && qp::avm1::MenuShown(player_.machine());
    state.playing = player_.Playing();
    state.loop = player_.loop;
    state.lowQuality = quality_ == qp::Quality::Low;
    state.fullScreen = fullScreen_;
    state.muted = audio_.Muted();
    const std::size_t frame = player_.CurrentFrame();
    const std::size_t frames = player_.movie().timeline.frames.size();
    switch (ShowStageMenu(hwnd_, at, state)) {
      case MenuCommand::Play: player_.SetPlaying(!state.playing); break;
      case MenuCommand::Loop: player_.loop = !state.loop; break;
      case MenuCommand::Rewind: player_.GotoFrame(player_.rootInstance(), 0, false); break;
      case MenuCommand::Forward:
        if (frame + 1 < frames) player_.GotoFrame(player_.rootInstance(), frame + 1, false);
        break;
      case MenuCommand::Back:
        if (frame > 0) player_.GotoFrame(player_.rootInstance(), frame - 1, false);
        break;
      case MenuCommand::QualityLow: quality_ = qp::Quality::Low; break;
      case MenuCommand::QualityHigh: quality_ = qp::Quality::High; break;
      case MenuCommand::FullScreen: ToggleFullScreen(); break;
      // Silent from the next buffer on, shown or minimised, until the user asks again.
      case MenuCommand::Mute: audio_.SetMuted(!state.muted); break;
      case MenuCommand::Quit: DestroyWindow(hwnd_); return;
      case MenuCommand::None: break;
    }
    Changed();
  }

  // fscommand's projector commands; others mean nothing to a projector.
  void FsCommand(const std::string& command, const std::string& arg) {
    auto is = [](const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; };
    const bool yes = is(arg, "true") || is(arg, "1") || is(arg, "yes");
    if (is(command, "quit")) {
      if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    } else if (is(command, "fullscreen")) {
      if (hwnd_ && yes != fullScreen_) ToggleFullScreen();
    } else if (is(command, "allowscale")) {
      allowScale_ = yes;
      Changed();
    } else if (is(command, "showmenu")) {
      showMenu_ = yes;
    } else if (is(command, "trapallkeys")) {
      trapKeys_ = yes;
    }
  }

  void ToggleFullScreen() {
    if (!fullScreen_) {
      placement_.length = sizeof placement_;
      GetWindowPlacement(hwnd_, &placement_);
      MONITORINFO mi{};
      mi.cbSize = sizeof mi;
      if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &mi)) return;
      SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_POPUP | WS_VISIBLE);
      SetWindowPos(hwnd_, HWND_TOP, mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right - mi.rcMonitor.left,
                   mi.rcMonitor.bottom - mi.rcMonitor.top, SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
      fullScreen_ = true;
    } else {
      SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
      SetWindowPlacement(hwnd_, &placement_);
      SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
      fullScreen_ = false;
    }
    qp::avm1::SetFullScreen(player_.machine(), fullScreen_);
    Changed();
  }

  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    const qp::Viewport v = View();
    // Bars around the stage where the window's shape differs from the stage's.
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const RECT bars[] = {{0, 0, client.right, v.y},
                         {0, v.y + v.height, client.right, client.bottom},
                         {0, v.y, v.x, v.y + v.height},
                         {v.x + v.width, v.y, client.right, v.y + v.height}};
    for (const RECT& r : bars)
      if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, black);
    if (v.width > 0 && v.height > 0) {
      if (canvas_.width != v.width || canvas_.height != v.height || renderedFrame_ != shownFrame_) {
        canvas_ = qp::Canvas(v.width, v.height, {});
        player_.Render(canvas_, quality_, v.scale);
        renderedFrame_ = shownFrame_;
        bgra_.resize(canvas_.pixels.size());
        for (std::size_t i = 0; i < canvas_.pixels.size(); ++i) {
          const qp::Rgba c = canvas_.pixels[i];
          bgra_[i] = static_cast<std::uint32_t>(c.b) | static_cast<std::uint32_t>(c.g) << 8 |
                     static_cast<std::uint32_t>(c.r) << 16;
        }
      }
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = v.width;
      bi.bmiHeader.biHeight = -v.height;  // top-down rows
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      bi.bmiHeader.biCompression = BI_RGB;
      SetDIBitsToDevice(dc, v.x, v.y, static_cast<DWORD>(v.width), static_cast<DWORD>(v.height), 0, 0, 0,
                        static_cast<UINT>(v.height), bgra_.data(), &bi, DIB_RGB_COLORS);
    }
    EndPaint(hwnd_, &ps);
  }

  void NextFrame() {
    player_.Tick();
    if (audio_.IsOpen()) audio_.Queue(player_.sound().TakeAudio());
    ++shownFrame_;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }

  // Frames are timed on the performance counter (see FrameClock), and by the sound device while
  // a streamed sound plays (see Pacer): late frames then run back to back and are drawn once.
  int Loop() {
    LARGE_INTEGER freq, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&now);
    const double rate = player_.movie().frameRate > 0 ? std::min(player_.movie().frameRate, 120.0) : 12.0;
    const double period = static_cast<double>(freq.QuadPart) / rate;
    qp::FrameClock clock(period, static_cast<double>(now.QuadPart));
    const qp::sound::Pacer pacer(AudioOut::kLead, AudioOut::kRate / rate);
    // Frames run at once to catch up before input is looked at again.
    constexpr int kMostCatchUp = 8;
    for (;;) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) return kShown;
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      QueryPerformanceCounter(&now);
      const double t = static_cast<double>(now.QuadPart);
      double waitMs = 0;
      if (audio_.IsOpen() && player_.sound().StreamPlaying()) {
        // Frames that are due run before the device is handed more: after a slow drawing the
        // buffers that played out meanwhile are refilled from the frames that catch up.
        const int due = pacer.FramesDue(audio_.Ahead(), kMostCatchUp);
        for (int i = 0; i < due && player_.sound().StreamPlaying(); ++i) NextFrame();
        audio_.Pump();
        if (due > 0) {
          // When the stream ends, the wall clock takes over from here.
          clock = qp::FrameClock(period, t + period);
          continue;
        }
        // Soon enough to refill the device's buffers as they play.
        waitMs = std::min(pacer.MsToNext(audio_.Ahead(), AudioOut::kRate), 10.0);
      } else {
        audio_.Pump();
        if (clock.Due(t)) {
          NextFrame();
          continue;
        }
        waitMs = (clock.NextDue() - t) * 1000.0 / static_cast<double>(freq.QuadPart);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max(0.0, std::floor(waitMs))), QS_ALLINPUT);
    }
  }

  TraceLog traces_;  // before the player, whose scripts write to it
  qp::Player player_;
  quillon::stub::AudioOut audio_;  // after the player: it goes first
  HWND hwnd_ = nullptr;
  qp::Canvas canvas_;
  std::vector<std::uint32_t> bgra_;
  std::uint64_t shownFrame_ = 0, renderedFrame_ = ~0ull;
  bool fullScreen_ = false;
  WINDOWPLACEMENT placement_{};
  qp::Quality quality_ = qp::Quality::High;
  bool allowScale_ = true, showMenu_ = true, trapKeys_ = false;
  wchar_t highSurrogate_ = 0;
};

// Whether the movie's sound would reach a device: the report opens one to find out, as the
// window does, and says when the movie plays on silent.
std::wstring DescribeSound(const qp::Movie& movie) {
  if (!qp::SoundStage::MovieHasSound(movie)) return L"Sound: none\n";
  quillon::stub::AudioOut out;
  return out.Open() ? L"Sound: playing on the audio device\n" : L"Sound: no audio device, playing on silent\n";
}

std::wstring Describe(const qp::Movie& movie) {
  wchar_t line[256];
  std::swprintf(line, 256, L"playing\nStage: %d x %d pixels\nFrame rate: %.2f frames per second\nFrames: %zu\n",
                movie.StageWidth(), movie.StageHeight(), movie.frameRate, movie.timeline.frames.size());
  return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::wstring exe = OwnPath();
  const std::wstring title = Title(exe);
  const MovieSource source = ReadOwnMovie(exe, quillon::convert::kMaxMovieSize);
  switch (source.error) {
    case SourceError::CannotOpen:
      return Fail(title, L"This player cannot read its own file, so it cannot find its movie.", kCannotOpen);
    case SourceError::NoTrailer:
      return Fail(title, L"This player carries no movie: its file does not end in a valid movie trailer.", kNoMovie);
    case SourceError::None: break;
  }
  const auto facts = ReadSwfFacts(source.head);
  if (!facts) return Fail(title, L"The movie inside this player is not an SWF file.", kNotSwf);

  // MP3 sound is decoded as the movie is read, by the system's codec.
  qp::sound::SetMp3Decoders(&MakeAcmMp3Decoder);
  const qp::LoadResult loaded = qp::LoadMovie(source.head);
  const wchar_t* why = nullptr;
  if (loaded.error == qp::LoadError::NeedsActionScript3)
    why = L"This player cannot play its movie: the movie is written in ActionScript 3, which this player does not run.";
  else if (loaded.error == qp::LoadError::TooLarge)
    why = L"This player cannot play its movie: its pictures and sounds need more memory than this player has.";
  else if (loaded.error != qp::LoadError::None || !loaded.movie)
    why = L"This player cannot play its movie: the movie is damaged beyond reading.";
  else if (loaded.movie->StageWidth() <= 0 || loaded.movie->StageWidth() > kMaxStage ||
           loaded.movie->StageHeight() <= 0 || loaded.movie->StageHeight() > kMaxStage)
    why = L"This player cannot play its movie: its stage size is not usable.";
  if (why) {
    std::wstring text = std::wstring(why) + L"\n\nThe movie:\n\n" + DescribeFacts(*facts, source.movieSize);
    if (Report(text)) return kShown;
    const bool sized = facts->hasFrameHeader && facts->stageWidth > 0 && facts->stageWidth <= kMaxStage &&
                       facts->stageHeight > 0 && facts->stageHeight <= kMaxStage;
    return ShowFacts(instance, title, text, sized ? facts->stageWidth : kPlainWidth,
                     sized ? facts->stageHeight : kPlainHeight);
  }
  if (Report(Describe(*loaded.movie) + L"Title: " + title + L"\n" + DescribeSound(*loaded.movie))) return kShown;
  PlayerWindow window(loaded.movie, exe, title);
  return window.Run(instance, title);
}
