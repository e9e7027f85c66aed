#include "shell_actions.h"

namespace quillon::app {

std::intptr_t RunFile(Shell& shell, const std::wstring& path) {
  return shell.Execute({ShellOwner::Desktop, L"Open", path, L"", L"C:\\", kShowNormal});
}

void OpenFileClicked(Shell& shell, const std::wstring& outputPath) {
  if (outputPath.empty()) return;
  RunFile(shell, outputPath);
}

void OpenFolderClicked(Shell& shell, const std::wstring& outputPath, const std::wstring& outputFolder) {
  // The display decides: a folder kept from an output the start button refused does not count.
  if (outputPath.empty()) return;
  shell.Execute({ShellOwner::Form, L"open", outputFolder, L"", L"", kShowNormal});
}

void MakerLinkClicked(Shell& shell) {
  shell.Execute({ShellOwner::None, L"open", kMakerWebPage, std::nullopt, std::nullopt, kShowMaximized});
}

}  // namespace quillon::app
