// Per-instance window services of skbutton: its hook table on real windows, mouse-leave requests
// and the probes for exported functions, libraries and visual styles.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "hook_chain.h"
#include "window_hooks.h"

namespace quillon::winsvc {

// Whether module (loaded for the question when it is not loaded yet) exports function.
bool IsFunctionExported(const std::string& function, const std::wstring& module);
// Whether the library can be loaded at all.
bool IsDllAvailable(const std::wstring& file);

// The platform questions behind the theme probe, replaceable to count or fake them.
struct ThemeQueries {
  std::function<bool(const std::wstring&)> dllAvailable = IsDllAvailable;
  std::function<bool()> appThemed;  // empty: IsAppThemed of uxtheme
};

// Visual-style probe; each answer is taken once and kept for the life of the instance.
class ThemeProbe {
 public:
  explicit ThemeProbe(ThemeQueries queries = {}) : queries_(std::move(queries)) {}
  bool IsThemeLibraryPresent();
  bool IsThemed();

 private:
  ThemeQueries queries_;
  std::optional<bool> libraryPresent_;
  std::optional<bool> themed_;
};

class WindowServices {
 public:
  explicit WindowServices(SubclassTarget& owner, HookHost& host = WindowHookHost::Instance(),
                          ThemeQueries theme = {})
      : hooks_(host, owner), theme_(std::move(theme)) {}

  int HookWindow(HWND window) { return hooks_.HookWindow(ToHandle(window)); }
  void HookMessage(HWND window, UINT message, int phase) { hooks_.HookMessage(ToHandle(window), message, phase); }
  void UnhookWindow(HWND window) { hooks_.UnhookWindow(ToHandle(window)); }
  void UnhookAll() { hooks_.UnhookAll(); }
  const HookTable& hooks() const { return hooks_; }

  // The run-time subscriptions of a loaded button: the mouse-leave probe, its own window for
  // leaving, theme and (when themed) colour changes, and its form for activation, all delivered
  // after the window's own handling.
  void StartSubclassing(HWND control, HWND form, bool formIsMdiChild = false);

  // Reads whether user32 offers TrackMouseEvent; until then, and without it, no leave is asked for.
  void ProbeMouseLeave();
  bool mouseLeaveAvailable() const { return mouseLeaveAvailable_; }
  // Asks for one WM_MOUSELEAVE when the cursor leaves window.
  void TrackMouseLeave(HWND window) const;

  bool IsThemeLibraryPresent() { return theme_.IsThemeLibraryPresent(); }
  bool IsThemed() { return theme_.IsThemed(); }

 private:
  HookTable hooks_;
  ThemeProbe theme_;
  bool mouseLeaveAvailable_ = false;
};

}  // namespace quillon::winsvc
