// An in-memory container for unit tests: one TestForm holds TestSites, each site records
// every service call in the form's shared log, in order, so tests can check the order of
// side effects, redraws and notifications.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "site.h"

namespace quillon::container {

class TestForm;

class TestSite : public Site {
 public:
  TestSite(TestForm& form, std::wstring displayName, WindowHandle window, WindowHandle containerWindow);

  // Settings tests change freely.
  bool userMode = true;
  bool displayAsDefault = false;
  FontDescription ambientFont{L"MS Sans Serif", 82500, 400, false, false, false, 0};
  std::wstring displayName;
  WindowHandle window = 0;
  WindowHandle parentWindow = 0x1000;
  WindowHandle containerWindow = 0x1000;
  std::optional<bool> mdiChild = false;
  Extent extent{1455, 495};
  double twipsPerPixel = 15;
  bool cursorOver = false;
  bool capture = false;
  bool windowEnabled = true;
  std::int16_t mousePointer = 0;
  PicturePtr mouseIcon;
  bool mouseIconThrows = false;
  std::uintptr_t handCursor = 0x7F89;  // 0 simulates a system without one
  bool ntPlatform = true;
  bool shellLibraryLoaded = false;
  std::wstring extenderToolTip = L"(unset)";
  std::wstring accessKeys;
  std::map<int, std::uint32_t> systemColours{{kColorBtnFace, 0xF0F0F0}, {kColorBtnText, 0x000000},
                                              {kColorInfoBk, 0xE1FFFF}};
  // Runs during ShowPopupMenu, as the user's actions inside the modal menu loop.
  std::function<void()> whileMenuOpen;
  std::function<void()> whileDoEvents;

  bool UserMode() const override { return userMode; }
  bool DisplayAsDefault() const override { return displayAsDefault; }
  FontDescription AmbientFont() const override { return ambientFont; }
  std::wstring DisplayName() const override { return displayName; }
  void PropertyChanged(std::wstring_view name) override;
  void ReportError(std::wstring_view message) override;
  void SetAccessKeys(std::wstring_view keys) override;
  void MoveFocus(bool forward) override;
  void DoEvents() override;
  std::uint32_t SystemColour(int index) const override;
  WindowHandle Window() const override { return window; }
  WindowHandle ParentWindow() const override { return parentWindow; }
  WindowHandle ContainerWindow() const override { return containerWindow; }
  std::optional<bool> ParentIsMdiChild() const override { return mdiChild; }
  std::vector<Control*> FormControls() const override;
  void SetWindowEnabled(bool enabled) override;
  Extent GetExtent() const override { return extent; }
  void SetExtent(Extent e) override;
  double ScaleWidth() const override { return extent.width / twipsPerPixel; }
  double ScaleHeight() const override { return extent.height / twipsPerPixel; }
  void Refresh() override;
  std::int16_t MousePointer() const override { return mousePointer; }
  void SetMousePointer(std::int16_t code) override;
  PicturePtr MouseIcon() const override { return mouseIcon; }
  void SetMouseIcon(PicturePtr icon) override;
  std::uintptr_t LoadHandCursor() override;
  void SetCursor(std::uintptr_t cursor) override;
  bool CursorOverControl() const override { return cursorOver; }
  bool HasCapture() const override { return capture; }
  void SetCapture() override;
  void ReleaseCapture() override;
  void ShowPopupMenu(const Menu& menu, float x, float y, std::int32_t flags, const Menu* defaultItem) override;
  void MessageBox(std::wstring_view text, std::wstring_view title, MessageBoxIcon icon) override;
  void ShellOpen(std::wstring_view address) override;
  void SetExtenderToolTipText(std::wstring_view text) override;
  bool IsNtPlatform() const override { return ntPlatform; }
  void LoadShellLibrary() override;
  void FreeShellLibrary() override;

  void Log(std::string entry);
  TestForm& Form() const { return form_; }

 private:
  TestForm& form_;
};

// Holds the sites and the controls placed on them, and the shared call log.
class TestForm {
 public:
  TestSite& AddSite(std::wstring displayName, WindowHandle window, WindowHandle containerWindow = 0x1000);
  void Place(Control* control) { controls_.push_back(control); }
  void Remove(Control* control);
  const std::vector<Control*>& Controls() const { return controls_; }

  // "notify:Caption", "redraw", "region", "refresh", "error:...", "popup:x,y,flags", ...
  std::vector<std::string> log;
  // Entries of the log that start with the prefix, in order.
  std::vector<std::string> Logged(std::string_view prefix) const;
  std::vector<std::wstring> messages;  // ReportError texts

 private:
  std::vector<std::unique_ptr<TestSite>> sites_;
  std::vector<Control*> controls_;
};

// ASCII / UTF-8 rendering of a wide string for log entries.
std::string Narrow(std::wstring_view text);

}  // namespace quillon::container
