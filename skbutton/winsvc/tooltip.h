// The button's own tooltip: a system tooltip window, standard or balloon, with an optional title
// and icon and background colour, watching the button's window by itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::winsvc {

inline constexpr int kToolTipMaxWidth = 240;  // pixels; longer tips wrap

// The control's state and properties that decide the tip.
struct ToolTipSettings {
  bool enabled = true;           // Enabled
  bool menuJustClosed = false;   // MenuJustClosed
  bool down = false;             // ButtonState is Down
  std::wstring text;             // ToolTip
  std::optional<std::wstring> title;  // TooltipTitle; empty optional: never assigned
  std::int32_t icon = 0;         // ToolTipIcon: 0 none, 1 info, 2 warning, 3 error
  std::int32_t type = 0;         // ToolTipType: 0 standard, 1 balloon
  std::uint32_t backColor = 0;   // TooltipBackColor, an OLE colour; 0 keeps the system colour
  bool rightToLeft = false;      // RightToLeft
};

// OLE colour to an explicit colour; a system colour becomes its current value, failure gives -1.
std::uint32_t TranslateOleColour(std::uint32_t colour);

class ToolTip {
 public:
  ToolTip() = default;
  ~ToolTip() { Destroy(); }
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;

  // Replaces the tip of the control window; does nothing for a disabled or pressed button or one
  // whose menu has just closed. Returns whether a new tip window exists.
  bool CreateToolTip(HWND control, const ToolTipSettings& settings, HINSTANCE instance = nullptr);
  HWND window() const { return window_; }
  // Destroys the tip window if it still exists.
  void Destroy();

 private:
  HWND window_ = nullptr;
};

}  // namespace quillon::winsvc
