// The services a form container gives each control it hosts. skbutton sees its host only
// through this interface; the Win32 form implements it over real windows and TestSite
// (test_container.h) implements it in memory for unit tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "font.h"
#include "menu.h"
#include "value.h"

namespace quillon::container {

class Site;

// A control placed on a form. Controls of other kinds may sit on the same form.
class Control {
 public:
  virtual ~Control() = default;
  virtual Site& HostSite() const = 0;
};

// Size of a control in its container's units (twips on a form with the default scale).
struct Extent {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const Extent&) const = default;
};

enum class MessageBoxIcon : std::uint8_t { None, Information, Warning, Error, Question };

// System colour indices the control asks for.
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorBtnText = 18;
inline constexpr int kColorInfoBk = 24;
// Mouse pointer codes of the container.
inline constexpr std::int16_t kPointerDefault = 0;
inline constexpr std::int16_t kPointerCustom = 99;

class Site {
 public:
  virtual ~Site() = default;

  // Ambient properties and identity.
  virtual bool UserMode() const = 0;
  virtual bool DisplayAsDefault() const = 0;
  virtual FontDescription AmbientFont() const = 0;
  virtual std::wstring DisplayName() const = 0;

  // The form is told that a property changed (it marks itself modified).
  virtual void PropertyChanged(std::wstring_view name) = 0;
  // A load or save that failed, with the reason.
  virtual void ReportError(std::wstring_view message) = 0;

  // Access keys of the control: each character is one key (lower case); empty clears.
  virtual void SetAccessKeys(std::wstring_view keys) = 0;
  // The focus to the next (forward) or previous control in tab order.
  virtual void MoveFocus(bool forward) = 0;
  // Lets queued input and paints run before the caller goes on.
  virtual void DoEvents() = 0;

  // Current value of a system colour (0x00BBGGRR).
  virtual std::uint32_t SystemColour(int index) const = 0;

  // The control's own window, the window of the form that holds it, and the window of
  // its immediate container (the form itself, or a frame or picture box on it).
  virtual WindowHandle Window() const = 0;
  virtual WindowHandle ParentWindow() const = 0;
  virtual WindowHandle ContainerWindow() const = 0;
  // The parent form's MDIChild property; nothing when it cannot be read.
  virtual std::optional<bool> ParentIsMdiChild() const = 0;
  // Every control of the parent form, this one included.
  virtual std::vector<Control*> FormControls() const = 0;

  // The control window's enabled state: a disabled window receives no mouse or keys.
  virtual void SetWindowEnabled(bool enabled) = 0;
  // Size in container units, and the inner size in the control's own scale (pixels).
  virtual Extent GetExtent() const = 0;
  virtual void SetExtent(Extent extent) = 0;
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;
  // Repaints the control surface now.
  virtual void Refresh() = 0;

  // The control window's pointer settings. SetMouseIcon may throw; callers ignore it.
  virtual std::int16_t MousePointer() const = 0;
  virtual void SetMousePointer(std::int16_t code) = 0;
  virtual PicturePtr MouseIcon() const = 0;
  virtual void SetMouseIcon(PicturePtr icon) = 0;
  // The system hand cursor's handle, 0 when there is none.
  virtual std::uintptr_t LoadHandCursor() = 0;
  virtual void SetCursor(std::uintptr_t cursor) = 0;

  // Whether the window under the cursor is the control's own window.
  virtual bool CursorOverControl() const = 0;
  // Mouse capture for the control's window.
  virtual bool HasCapture() const = 0;
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;

  // A modal popup menu at (x, y) in the control's scale units, with the alignment flags
  // (kPopupRightAlign, kPopupBottomAlign) and an optional default item. Returns when the
  // menu has closed; the chosen item's action has run by then.
  virtual void ShowPopupMenu(const Menu& menu, float x, float y, std::int32_t flags,
                             const Menu* defaultItem) = 0;
  // A modal message box with an OK button.
  virtual void MessageBox(std::wstring_view text, std::wstring_view title, MessageBoxIcon icon) = 0;
  // Opens a document or address with the shell's "open" verb; failures are ignored.
  virtual void ShellOpen(std::wstring_view address) = 0;
  // The container's own tooltip text for the control (its extender property).
  virtual void SetExtenderToolTipText(std::wstring_view text) = 0;

  // Platform facts and the shell library held for the control's life.
  virtual bool IsNtPlatform() const = 0;
  virtual void LoadShellLibrary() = 0;
  virtual void FreeShellLibrary() = 0;
};

}  // namespace quillon::container
