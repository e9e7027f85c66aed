#include "test_container.h"

#include <algorithm>

#include "form_text.h"

namespace quillon::container {

std::string Narrow(std::wstring_view text) { return ToUtf8(text); }

TestSite::TestSite(TestForm& form, std::wstring name, WindowHandle win, WindowHandle container)
    : displayName(std::move(name)), window(win), containerWindow(container), form_(form) {}

void TestSite::Log(std::string entry) { form_.log.push_back(std::move(entry)); }

void TestSite::PropertyChanged(std::wstring_view name) { Log("notify:" + Narrow(name)); }

void TestSite::ReportError(std::wstring_view message) {
  form_.messages.emplace_back(message);
  Log("error:" + Narrow(message));
}

void TestSite::SetAccessKeys(std::wstring_view keys) {
  accessKeys = keys;
  Log("accesskeys:" + Narrow(keys));
}

void TestSite::MoveFocus(bool forward) { Log(forward ? "focus:next" : "focus:previous"); }

void TestSite::DoEvents() {
  Log("doevents");
  if (whileDoEvents) whileDoEvents();
}

std::uint32_t TestSite::SystemColour(int index) const {
  auto it = systemColours.find(index);
  return it != systemColours.end() ? it->second : 0;
}

std::vector<Control*> TestSite::FormControls() const { return form_.Controls(); }

void TestSite::SetWindowEnabled(bool enabled) {
  windowEnabled = enabled;
  Log(enabled ? "window:enabled" : "window:disabled");
}

void TestSite::SetExtent(Extent e) {
  extent = e;
  Log("extent:" + std::to_string(e.width) + "x" + std::to_string(e.height));
}

void TestSite::Refresh() { Log("refresh"); }

void TestSite::SetMousePointer(std::int16_t code) {
  mousePointer = code;
  Log("pointer:" + std::to_string(code));
}

void TestSite::SetMouseIcon(PicturePtr icon) {
  Log(icon ? "mouseicon:set" : "mouseicon:none");
  if (mouseIconThrows) throw ValueError("invalid pointer icon");
  mouseIcon = std::move(icon);
}

std::uintptr_t TestSite::LoadHandCursor() {
  Log("loadhand");
  return handCursor;
}

void TestSite::SetCursor(std::uintptr_t cursor) { Log("setcursor:" + std::to_string(cursor)); }

void TestSite::SetCapture() {
  capture = true;
  Log("capture");
}

void TestSite::ReleaseCapture() {
  capture = false;
  Log("release");
}

void TestSite::ShowPopupMenu(const Menu& menu, float x, float y, std::int32_t flags, const Menu* defaultItem) {
  Log("popup:" + Narrow(menu.caption) + "@" + std::to_string(static_cast<int>(x)) + "," +
      std::to_string(static_cast<int>(y)) + " flags " + std::to_string(flags) +
      (defaultItem != nullptr ? " default " + Narrow(defaultItem->caption) : std::string()));
  if (whileMenuOpen) whileMenuOpen();
}

void TestSite::MessageBox(std::wstring_view text, std::wstring_view title, MessageBoxIcon icon) {
  Log("messagebox:" + Narrow(title) + "|" + std::to_string(static_cast<int>(icon)) + "|" + Narrow(text));
}

void TestSite::ShellOpen(std::wstring_view address) { Log("shellopen:" + Narrow(address)); }

void TestSite::SetExtenderToolTipText(std::wstring_view text) {
  extenderToolTip = text;
  Log("extendertip:" + Narrow(text));
}

void TestSite::LoadShellLibrary() {
  shellLibraryLoaded = true;
  Log("shell:load");
}

void TestSite::FreeShellLibrary() {
  shellLibraryLoaded = false;
  Log("shell:free");
}

TestSite& TestForm::AddSite(std::wstring displayName, WindowHandle window, WindowHandle containerWindow) {
  sites_.push_back(std::make_unique<TestSite>(*this, std::move(displayName), window, containerWindow));
  return *sites_.back();
}

void TestForm::Remove(Control* control) { std::erase(controls_, control); }

std::vector<std::string> TestForm::Logged(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const auto& e : log) {
    if (e.starts_with(prefix)) out.push_back(e);
  }
  return out;
}

}  // namespace quillon::container
