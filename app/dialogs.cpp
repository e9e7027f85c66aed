#include "dialogs.h"

#include <commdlg.h>

#include <vector>

#include "paths.h"

namespace quillon::app {
namespace {

constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_CREATEPROMPT | OFN_EXPLORER |
                             OFN_NODEREFERENCELINKS | OFN_LONGNAMES;
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_LONGNAMES;
static_assert(kOpenFlags == 0x382204 && kSaveFlags == 0x280006);

constexpr DWORD kFileChars = 2048, kTitleChars = 511;

std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return ParentFolder(path);
}

std::wstring Choose(bool save, HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  const std::wstring filterList = DialogFilter(filter);
  // Blank names of spaces, as the dialog expects to start from an empty-looking name.
  std::vector<wchar_t> file(kFileChars, L' ');
  file.back() = L'\0';
  std::vector<wchar_t> title(kTitleChars, L' ');
  title.back() = L'\0';
  const std::wstring initialDir = ProgramFolder();

  OPENFILENAMEW ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  ofn.hwndOwner = owner;
  ofn.hInstance = GetModuleHandleW(nullptr);
  ofn.lpstrFilter = filterList.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = kFileChars;
  ofn.lpstrFileTitle = title.data();
  ofn.nMaxFileTitle = kTitleChars;
  ofn.lpstrInitialDir = initialDir.c_str();
  ofn.lpstrTitle = kDialogTitle.c_str();
  ofn.Flags = save ? kSaveFlags : kOpenFlags;
  ofn.lpstrDefExt = save ? L"" : nullptr;
  const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return byDefault;
  return DialogResult(file);
}

}  // namespace

std::wstring ChooseOpenFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  return Choose(false, owner, filter, byDefault);
}

std::wstring ChooseSaveFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  return Choose(true, owner, filter, byDefault);
}

}  // namespace quillon::app
