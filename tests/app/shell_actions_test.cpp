// What the three shell buttons hand to the shell, for each button and each path state.
#include "shell_actions.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "paths.h"
#include "projector.h"

namespace quillon::app {
namespace {

// Records each call instead of launching anything; answers like a shell that found nothing.
class RecordingShell final : public Shell {
 public:
  std::vector<ShellCall> calls;
  std::intptr_t answer = 2;  // file not found
  std::intptr_t Execute(const ShellCall& call) override {
    calls.push_back(call);
    return answer;
  }
};

// The window as the handlers see it: two displays, the dialogs' answers, the files that exist.
class FakeWindow final : public ChooserUi, public convert::ConversionUi {
 public:
  std::wstring inputDisplay, outputDisplay;
  std::wstring openAnswer, saveAnswer;
  std::vector<std::wstring> messages;

  std::wstring ChooseOpenFile(const std::wstring&, const std::wstring& byDefault) override {
    return openAnswer.empty() ? byDefault : openAnswer;
  }
  std::wstring ChooseSaveFile(const std::wstring&, const std::wstring& byDefault) override {
    return saveAnswer.empty() ? byDefault : saveAnswer;
  }
  std::wstring ListedName(const std::wstring& path) override { return path.substr(path.rfind(L'\\') + 1); }
  void SetInputDisplay(const std::wstring& t) override { inputDisplay = t; }
  void SetOutputDisplay(const std::wstring& t) override { outputDisplay = t; }

  std::wstring InputDisplay() override { return inputDisplay; }
  std::wstring OutputDisplay() override { return outputDisplay; }
  void ClearOutputDisplay() override { outputDisplay.clear(); }
  void SetEnabled(convert::Button, bool) override {}
  void ShowMessage(const std::wstring& text) override { messages.push_back(text); }
  std::span<const std::uint8_t> Stub() override { return {}; }
};

// Only existence matters here: the start button refuses an output that exists.
class ExistingFiles final : public convert::FileSystem {
 public:
  std::set<std::wstring> existing;
  bool Exists(const std::wstring& path) override { return existing.count(path) != 0; }
  std::unique_ptr<convert::InputFile> OpenRead(const std::wstring&) override { return nullptr; }
  convert::CreateResult CreateNew(const std::wstring&, std::unique_ptr<convert::OutputFile>&) override {
    return convert::CreateResult::Failed;
  }
  void Remove(const std::wstring&) override {}
};

TEST(RunFile, OpensThePathWithTheDesktopAsOwnerAndTheDriveRootAsWorkingFolder) {
  RecordingShell shell;
  EXPECT_EQ(RunFile(shell, L"D:\\games\\movie.exe"), 2) << "the shell's answer comes back unchanged";
  ASSERT_EQ(shell.calls.size(), 1u);
  const ShellCall& c = shell.calls[0];
  EXPECT_EQ(c.owner, ShellOwner::Desktop);
  EXPECT_EQ(c.verb, L"Open");
  EXPECT_EQ(c.file, L"D:\\games\\movie.exe");
  ASSERT_TRUE(c.parameters.has_value()) << "parameters are an empty text, not a null pointer";
  EXPECT_EQ(*c.parameters, L"");
  ASSERT_TRUE(c.directory.has_value());
  EXPECT_EQ(*c.directory, L"C:\\");
  EXPECT_EQ(c.show, 1);
}

// The panel's three shell buttons in each path state a user can reach.
class ShellButtons : public ::testing::Test {
 protected:
  FakeWindow window;
  PathState state;
  ExistingFiles files;
  RecordingShell shell;

  void ChooseOutput(const std::wstring& path) {
    window.saveAnswer = path;
    SelectOutputClicked(window, state);
  }
  void ChooseInput(const std::wstring& path) {
    window.openAnswer = path;
    SelectInputClicked(window, state);
  }
  void Start() { convert::StartConversion(window, files, state.inputPath); }
  void ClickFile() { OpenFileClicked(shell, window.OutputDisplay()); }
  void ClickFolder() { OpenFolderClicked(shell, window.OutputDisplay(), state.outputFolder); }
  void ClickLink() { MakerLinkClicked(shell); }

  static ShellCall Folder(const std::wstring& folder) {
    return {ShellOwner::Form, L"open", folder, L"", L"", 1};
  }
  static ShellCall Run(const std::wstring& path) { return {ShellOwner::Desktop, L"Open", path, L"", L"C:\\", 1}; }
  static ShellCall Page() {
    return {ShellOwner::None, L"open", kMakerWebPage, std::nullopt, std::nullopt, 3};
  }
};

TEST_F(ShellButtons, EmptyOutputDisplayNothingHappens) {
  ClickFile();
  ClickFolder();
  EXPECT_TRUE(shell.calls.empty()) << "with nothing chosen the file and folder buttons must not call the shell";
  ChooseInput(L"C:\\movies\\a.swf");
  ClickFile();
  ClickFolder();
  EXPECT_TRUE(shell.calls.empty()) << "a chosen movie alone is not an output";
}

TEST_F(ShellButtons, AfterChoosingAnOutputTheFileRunsAndItsFolderOpens) {
  ChooseOutput(L"C:\\out dir\\demo.exe");
  ClickFile();
  ClickFolder();
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0], Run(L"C:\\out dir\\demo.exe"));
  EXPECT_EQ(shell.calls[1], Folder(L"C:\\out dir"));
}

TEST_F(ShellButtons, BeforeConvertingTheFileButtonStillAsksTheShellAndIgnoresItsRefusal) {
  ChooseOutput(L"C:\\out\\not-yet.exe");
  shell.answer = 2;  // the shell finds no such file
  ClickFile();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(window.OutputDisplay(), L"C:\\out\\not-yet.exe") << "a failed shell call changes no state";
  EXPECT_EQ(state.outputFolder, L"C:\\out");
  EXPECT_TRUE(window.messages.empty()) << "a failed shell call shows no message";
}

TEST_F(ShellButtons, TheFolderIsTheOneTakenWhenTheOutputWasChosen) {
  ChooseOutput(L"C:\\first\\a.exe");
  ChooseOutput(L"E:\\second\\deeper\\b.exe");
  ClickFolder();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0], Folder(L"E:\\second\\deeper"));
  ChooseOutput(L"C:\\root.exe");
  ClickFolder();
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1], Folder(L"C:"));
}

TEST_F(ShellButtons, AfterTheStartButtonEmptiedTheDisplayTheFolderButtonDoesNothing) {
  ChooseInput(L"C:\\movies\\a.swf");
  ChooseOutput(L"C:\\out\\exists.exe");
  files.existing.insert(L"C:\\out\\exists.exe");
  Start();
  ASSERT_EQ(window.messages, std::vector<std::wstring>{convert::messages::kOutputExists});
  ASSERT_EQ(window.OutputDisplay(), L"") << "the start button empties the display of an existing output";
  ASSERT_EQ(state.outputFolder, L"C:\\out") << "the folder is still held";
  ClickFolder();
  ClickFile();
  EXPECT_TRUE(shell.calls.empty()) << "the folder button must follow the display, not the folder it kept";
}

TEST_F(ShellButtons, TheMakerLinkOpensThePageMaximisedInEveryState) {
  ClickLink();  // nothing chosen
  ChooseInput(L"C:\\movies\\a.swf");
  ChooseOutput(L"C:\\out\\exists.exe");
  ClickLink();  // both chosen
  files.existing.insert(L"C:\\out\\exists.exe");
  Start();
  ClickLink();  // output refused and emptied
  ASSERT_EQ(shell.calls.size(), 3u);
  for (const ShellCall& c : shell.calls) {
    EXPECT_EQ(c, Page());
    EXPECT_FALSE(c.parameters.has_value()) << "parameters are a null pointer";
    EXPECT_FALSE(c.directory.has_value()) << "the directory is a null pointer";
    EXPECT_EQ(c.owner, ShellOwner::None);
  }
}

TEST(MakerWebPage, IsAnOrdinaryWebAddressOfTheMaker) {
  EXPECT_EQ(kMakerWebPage.rfind(L"https://", 0), 0u);
  EXPECT_NE(kMakerWebPage.find(L"corvandel"), std::wstring::npos);
  EXPECT_EQ(kMakerWebPage.find_first_of(L" \t\"<>"), std::wstring::npos);
}

}  // namespace
}  // namespace quillon::app
