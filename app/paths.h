// Path state of the main window and the text rules of the file choosers. Portable.
#pragma once

#include <span>
#include <string>

namespace quillon::app {

// What the two choosers leave behind besides the two displays' captions.
struct PathState {
  std::wstring inputPath;     // full path of the chosen movie; the display shows its name only
  std::wstring outputFolder;  // ParentFolder of the output path, taken when it is chosen
};

// The text before the last backslash; empty when there is none.
std::wstring ParentFolder(const std::wstring& path);

// The folder the file dialogs open in: the folder of the program at `programPath`, where a
// drive's root keeps its backslash ("C:\\", not the drive-relative "C:").
std::wstring InitialFolder(const std::wstring& programPath);

// "a|b|c|d" becomes "a\0b\0c\0d\0\0", the dialog's filter list.
std::wstring DialogFilter(const std::wstring& filter);

// The text of a dialog's file buffer before its first NUL (the whole buffer when it has none).
std::wstring DialogResult(std::span<const wchar_t> buffer);

inline const std::wstring kMovieFilter = L"动画文件(*.swf)|*.swf|所有文件(*.*)|*.*";
inline const std::wstring kOutputFilter = L"EXE文件(*.exe)|*.exe";
inline const std::wstring kDialogTitle = L"打开文件";

// What the two chooser buttons need of the window and the system.
class ChooserUi {
 public:
  virtual ~ChooserUi() = default;
  virtual std::wstring ChooseOpenFile(const std::wstring& filter, const std::wstring& byDefault) = 0;
  virtual std::wstring ChooseSaveFile(const std::wstring& filter, const std::wstring& byDefault) = 0;
  // The name part of an ordinary file as the file system lists it; empty when no such file exists.
  virtual std::wstring ListedName(const std::wstring& path) = 0;
  virtual void SetInputDisplay(const std::wstring& text) = 0;
  virtual void SetOutputDisplay(const std::wstring& text) = 0;
};

void SelectInputClicked(ChooserUi& ui, PathState& state);   // cmdsel
void SelectOutputClicked(ChooserUi& ui, PathState& state);  // cmdsave

}  // namespace quillon::app
