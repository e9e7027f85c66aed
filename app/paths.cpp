#include "paths.h"

namespace quillon::app {

std::wstring ParentFolder(const std::wstring& path) {
  const auto at = path.rfind(L'\\');
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

std::wstring InitialFolder(const std::wstring& programPath) {
  std::wstring folder = ParentFolder(programPath);
  const bool driveAlone = folder.size() == 2 && folder[1] == L':' &&
                          ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z'));
  if (driveAlone) folder.push_back(L'\\');
  return folder;
}

std::wstring DialogFilter(const std::wstring& filter) {
  std::wstring list = filter;
  for (auto& c : list)
    if (c == L'|') c = L'\0';
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

std::wstring DialogResult(std::span<const wchar_t> buffer) {
  std::wstring text;
  for (wchar_t c : buffer) {
    if (c == L'\0') break;
    text.push_back(c);
  }
  return text;
}

void SelectInputClicked(ChooserUi& ui, PathState& state) {
  const std::wstring chosen = ui.ChooseOpenFile(kMovieFilter, L"");
  if (chosen.empty()) return;
  const std::wstring name = ui.ListedName(chosen);
  ui.SetInputDisplay(name);
  state.inputPath = name.empty() ? std::wstring() : chosen;
}

void SelectOutputClicked(ChooserUi& ui, PathState& state) {
  const std::wstring chosen = ui.ChooseSaveFile(kOutputFilter, L"");
  if (chosen.empty()) return;
  ui.SetOutputDisplay(chosen);
  state.outputFolder = ParentFolder(chosen);
}

}  // namespace quillon::app
