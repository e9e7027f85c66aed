// The projector stub: finds the movie appended to its own file and shows what it is.
#include <windows.h>

#include <cstdio>
#include <string>

#include "movie_source.h"
#include "swf_facts.h"

namespace {

using namespace quillon::stub;

constexpr wchar_t kClassName[] = L"QuillonProjector";
constexpr std::size_t kHeadBytes = 64 * 1024;
// A stage outside this range is treated as unreadable and the window gets a plain size.
constexpr int kMaxStage = 4096, kPlainWidth = 400, kPlainHeight = 300;

enum ExitCode { kShown = 0, kCannotOpen = 1, kNoMovie = 2, kNotSwf = 3 };

std::wstring Title(const std::wstring& exePath) {
  std::wstring name = exePath.substr(exePath.find_last_of(L"\\/") + 1);
  const auto dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
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
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  RECT r{0, 0, width, height};
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRectEx(&r, style, FALSE, 0);
  HWND hwnd = CreateWindowExW(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return Fail(title, L"The player window could not be created.", kCannotOpen);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&text));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return kShown;
}


}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::wstring exe = OwnPath();
  const std::wstring title = Title(exe);
  const MovieSource source = ReadOwnMovie(exe, kHeadBytes);
  switch (source.error) {
    case SourceError::CannotOpen:
      return Fail(title, L"This player cannot read its own file, so it cannot find its movie.", kCannotOpen);
    case SourceError::NoTrailer:
      return Fail(title, L"This player carries no movie: its file does not end in a valid movie trailer.", kNoMovie);
    case SourceError::None: break;
  }
  const auto facts = ReadSwfFacts(source.head);
  if (!facts) return Fail(title, L"The movie inside this player is not an SWF file.", kNotSwf);
  std::wstring text = L"This player cannot play its movie yet. The movie:\n\n" + DescribeFacts(*facts, source.movieSize);
  if (Report(text)) return kShown;
  const bool sized = facts->hasFrameHeader && facts->stageWidth > 0 && facts->stageWidth <= kMaxStage &&
                     facts->stageHeight > 0 && facts->stageHeight <= kMaxStage;
  return ShowFacts(instance, title, text, sized ? facts->stageWidth : kPlainWidth,
                   sized ? facts->stageHeight : kPlainHeight);
}
