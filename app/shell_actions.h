// The three buttons that hand work to the system shell: cmdfile runs the produced
// executable, cmdmemu opens its folder, cmdlink opens the maker's web page. Portable:
// the shell is reached through `Shell`, which the Win32 side implements and tests record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::app {

inline const std::wstring kMakerWebPage = L"https://www.corvandel.com/quillon/";

// Show commands, as the shell numbers them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMaximized = 3;

// Which window owns what the shell opens.
enum class ShellOwner { None, Desktop, Form };

// One call of the shell's execute operation; an absent text is passed as a null pointer.
struct ShellCall {
  ShellOwner owner = ShellOwner::None;
  std::wstring verb;
  std::wstring file;
  std::optional<std::wstring> parameters;
  std::optional<std::wstring> directory;
  int show = kShowNormal;
  friend bool operator==(const ShellCall&, const ShellCall&) = default;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The shell's result: greater than 32 on success.
  virtual std::intptr_t Execute(const ShellCall& call) = 0;
};

// Opens a file through the shell with the desktop as owner and "C:\" as working directory.
std::intptr_t RunFile(Shell& shell, const std::wstring& path);

// The click handlers; `outputPath` is the caption of cmdspath, `outputFolder` the folder
// taken when the output was chosen. Failures of the shell are ignored.
void OpenFileClicked(Shell& shell, const std::wstring& outputPath);                                 // cmdfile
void OpenFolderClicked(Shell& shell, const std::wstring& outputPath, const std::wstring& outputFolder);  // cmdmemu
void MakerLinkClicked(Shell& shell);                                                                // cmdlink

}  // namespace quillon::app
