// The file choosers' text rules and the two chooser buttons' effect on the path state.
#include "paths.h"

#include <gtest/gtest.h>

#include <map>

namespace quillon::app {
namespace {

TEST(ParentFolder, KeepsTheTextBeforeTheLastBackslash) {
  EXPECT_EQ(ParentFolder(L"C:\\out\\demo.exe"), L"C:\\out");
  EXPECT_EQ(ParentFolder(L"C:\\out\\"), L"C:\\out");
  EXPECT_EQ(ParentFolder(L"C:\\demo.exe"), L"C:");
  EXPECT_EQ(ParentFolder(L"demo.exe"), L"");
  EXPECT_EQ(ParentFolder(L""), L"");
  EXPECT_EQ(ParentFolder(L"\\\\server\\share\\a b\\x.exe"), L"\\\\server\\share\\a b");
}

TEST(InitialFolder, IsTheProgramsFolderWithADrivesRootKeptWhole) {
  EXPECT_EQ(InitialFolder(L"C:\\Tools\\Quillon.exe"), L"C:\\Tools");
  EXPECT_EQ(InitialFolder(L"C:\\Quillon.exe"), L"C:\\") << "the dialogs opened drive-relative, not at the root";
  EXPECT_EQ(InitialFolder(L"d:\\Quillon.exe"), L"d:\\");
  EXPECT_EQ(InitialFolder(L"\\\\server\\share\\Quillon.exe"), L"\\\\server\\share");
  EXPECT_EQ(InitialFolder(L"C:\\A:\\Quillon.exe"), L"C:\\A:") << "only a drive at the start is a root";
}

TEST(DialogFilter, BarsBecomeNulsAndTheListEndsInADoubleNul) {
  const std::wstring list = DialogFilter(kMovieFilter);
  const std::wstring expected(L"动画文件(*.swf)\0*.swf\0所有文件(*.*)\0*.*\0\0", 33);
  EXPECT_EQ(list, expected);
  EXPECT_EQ(DialogFilter(kOutputFilter), std::wstring(L"EXE文件(*.exe)\0*.exe\0\0", 20));
}

TEST(DialogResult, TakesTheTextBeforeTheFirstNul) {
  const wchar_t single[] = L"C:\\m\\a.swf\0   ";
  EXPECT_EQ(DialogResult(std::span(single, 14)), L"C:\\m\\a.swf");
  // Several files selected: the folder, NUL, the names; only the folder comes back.
  const wchar_t multi[] = L"C:\\m\0a.swf\0b.swf\0\0";
  EXPECT_EQ(DialogResult(std::span(multi, 18)), L"C:\\m");
  const wchar_t full[] = {L'a', L'b', L'c'};
  EXPECT_EQ(DialogResult(std::span(full, 3)), L"abc");
}

class FakeChooser final : public ChooserUi {
 public:
  std::wstring openAnswer, saveAnswer;
  std::map<std::wstring, std::wstring> listed;  // path -> name as listed
  std::wstring input = L"unchanged", output = L"unchanged";
  std::wstring lastFilter;

  std::wstring ChooseOpenFile(const std::wstring& filter, const std::wstring& byDefault) override {
    lastFilter = filter;
    return openAnswer.empty() ? byDefault : openAnswer;
  }
  std::wstring ChooseSaveFile(const std::wstring& filter, const std::wstring& byDefault) override {
    lastFilter = filter;
    return saveAnswer.empty() ? byDefault : saveAnswer;
  }
  std::wstring ListedName(const std::wstring& path) override {
    auto it = listed.find(path);
    return it == listed.end() ? L"" : it->second;
  }
  void SetInputDisplay(const std::wstring& t) override { input = t; }
  void SetOutputDisplay(const std::wstring& t) override { output = t; }
};

TEST(Choosers, CancellingEitherDialogChangesNothing) {
  FakeChooser ui;
  PathState state{L"C:\\m\\x.swf", L"C:\\o"};
  SelectInputClicked(ui, state);
  SelectOutputClicked(ui, state);
  EXPECT_EQ(ui.input, L"unchanged");
  EXPECT_EQ(ui.output, L"unchanged");
  EXPECT_EQ(state.inputPath, L"C:\\m\\x.swf");
  EXPECT_EQ(state.outputFolder, L"C:\\o");
}

TEST(Choosers, ChosenMovieShowsItsListedNameAndKeepsItsFullPath) {
  FakeChooser ui;
  PathState state;
  ui.openAnswer = L"C:\\movies\\a.swf";
  ui.listed[L"C:\\movies\\a.swf"] = L"a.swf";
  SelectInputClicked(ui, state);
  EXPECT_EQ(ui.lastFilter, kMovieFilter);
  EXPECT_EQ(ui.input, L"a.swf");
  EXPECT_EQ(state.inputPath, L"C:\\movies\\a.swf");
}

TEST(Choosers, SeveralMoviesOrAnUncreatedNameEmptyTheInputDisplay) {
  FakeChooser ui;
  PathState state{L"C:\\m\\old.swf", L""};
  ui.input = L"old.swf";
  ui.openAnswer = L"C:\\movies";  // a multiple selection yields the folder alone
  SelectInputClicked(ui, state);
  EXPECT_EQ(ui.input, L"");
  EXPECT_EQ(state.inputPath, L"");
}

TEST(Choosers, ChosenOutputFillsTheDisplayAsReturnedAndTakesItsFolder) {
  FakeChooser ui;
  PathState state;
  ui.saveAnswer = L"C:\\out dir\\demo.exe";
  SelectOutputClicked(ui, state);
  EXPECT_EQ(ui.lastFilter, kOutputFilter);
  EXPECT_EQ(ui.output, L"C:\\out dir\\demo.exe");
  EXPECT_EQ(state.outputFolder, L"C:\\out dir");
}

}  // namespace
}  // namespace quillon::app
