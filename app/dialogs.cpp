#include "dialogs.h"

#include "paths.h"

namespace quillon::app {
namespace {

constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_CREATEPROMPT | OFN_EXPLORER |
                             OFN_NODEREFERENCELINKS | OFN_LONGNAMES;
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_LONGNAMES;
static_assert(kOpenFlags == 0x382204 && kSaveFlags == 0x280006);

constexpr DWORD kFileChars = 2048, kTitleChars = 511;

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring Choose(DialogKind kind, HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  const std::unique_ptr<DialogRecord> record = MakeDialogRecord(kind, owner, filter, ProgramPath());
  const BOOL ok = kind == DialogKind::Save ? GetSaveFileNameW(&record->ofn) : GetOpenFileNameW(&record->ofn);
  if (!ok) return byDefault;
  return DialogResult(record->file);
}

}  // namespace

std::unique_ptr<DialogRecord> MakeDialogRecord(DialogKind kind, HWND owner, const std::wstring& filter,
                                               const std::wstring& programPath) {
  auto record = std::make_unique<DialogRecord>();
  DialogRecord& r = *record;
  r.filterList = DialogFilter(filter);
  // Blank names of spaces, as the dialog expects to start from an empty-looking name.
  r.file.assign(kFileChars, L' ');
  r.file.back() = L'\0';
  r.title.assign(kTitleChars, L' ');
  r.title.back() = L'\0';
  r.initialDir = InitialFolder(programPath);

  const bool save = kind == DialogKind::Save;
  OPENFILENAMEW& ofn = r.ofn;
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  ofn.hwndOwner = owner;
  ofn.hInstance = GetModuleHandleW(nullptr);
  ofn.lpstrFilter = r.filterList.c_str();
  ofn.lpstrFile = r.file.data();
  ofn.nMaxFile = kFileChars;
  ofn.lpstrFileTitle = r.title.data();
  ofn.nMaxFileTitle = kTitleChars;
  ofn.lpstrInitialDir = r.initialDir.c_str();
  ofn.lpstrTitle = kDialogTitle.c_str();
  ofn.Flags = save ? kSaveFlags : kOpenFlags;
  ofn.lpstrDefExt = save ? L"" : nullptr;
  return record;
}

std::wstring ChooseOpenFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  return Choose(DialogKind::Open, owner, filter, byDefault);
}

std::wstring ChooseSaveFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault) {
  return Choose(DialogKind::Save, owner, filter, byDefault);
}

}  // namespace quillon::app
