// quillon-convert as a Windows console program.
#include <windows.h>

#include "command_line.h"
#include "win_files.h"

namespace quillon::cli {
namespace {

class WinPlatform final : public Platform {
 public:
  convert::FileSystem& Files() override { return files_; }
  std::span<const std::uint8_t> EmbeddedStub() override { return app::EmbeddedStub(); }
  std::wstring LastError() override {
    const DWORD code = files_.LastError();
    if (code == 0) return {};
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring why = n ? std::wstring(text, n) : L"system error " + std::to_wstring(code);
    if (text) LocalFree(text);
    // One line: the system's text ends in a full stop and a line break.
    while (!why.empty() && (why.back() == L'\n' || why.back() == L'\r' || why.back() == L'.' || why.back() == L' '))
      why.pop_back();
    return why;
  }
  void ClearError() override { files_.ClearError(); }
  void Out(const std::wstring& text) override { Put(STD_OUTPUT_HANDLE, text); }
  void Err(const std::wstring& text) override { Put(STD_ERROR_HANDLE, text); }
  bool ErrIsTerminal() override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  }
  std::wstring_view Separators() override { return L"\\/"; }

 private:
  // A console gets the text as it is; a pipe or a file gets it as UTF-8.
  static void Put(DWORD which, const std::wstring& text) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(h, &mode)) {
      WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
      return;
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  }
  app::WinFileSystem files_;
};

}  // namespace
}  // namespace quillon::cli

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  quillon::cli::WinPlatform platform;
  return quillon::cli::Run(args, platform);
}
