// Module General: the open and save dialogs behind the two chooser buttons.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <memory>
#include <string>
#include <vector>

namespace quillon::app {

std::wstring ChooseOpenFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault);
std::wstring ChooseSaveFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault);

enum class DialogKind { Open, Save };

// One chooser's dialog record together with the buffers its members point into.
struct DialogRecord {
  std::wstring filterList, initialDir;
  std::vector<wchar_t> file, title;
  OPENFILENAMEW ofn{};
};
// Fills the record for the program at `programPath`; the dialog is not shown.
std::unique_ptr<DialogRecord> MakeDialogRecord(DialogKind kind, HWND owner, const std::wstring& filter,
                                               const std::wstring& programPath);

}  // namespace quillon::app
