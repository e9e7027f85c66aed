#include "window_services.h"

#include <memory>
#include <type_traits>

namespace quillon::winsvc {
namespace {

struct LibraryFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using OwnedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

bool SystemAppThemed() {
  HMODULE module = GetModuleHandleW(L"uxtheme.dll");
  OwnedLibrary loaded;
  if (module == nullptr) {
    loaded.reset(LoadLibraryW(L"uxtheme.dll"));
    module = loaded.get();
  }
  if (module == nullptr) return false;
  using IsAppThemedFn = BOOL(WINAPI*)();
  const auto isAppThemed = reinterpret_cast<IsAppThemedFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "IsAppThemed")));
  return isAppThemed != nullptr && isAppThemed() != FALSE;
}

}  // namespace

bool IsFunctionExported(const std::string& function, const std::wstring& module) {
  HMODULE handle = GetModuleHandleW(module.c_str());
  OwnedLibrary loaded;
  if (handle == nullptr) {
    loaded.reset(LoadLibraryW(module.c_str()));
    handle = loaded.get();
  }
  if (handle == nullptr) return false;
  return GetProcAddress(handle, function.c_str()) != nullptr;
}

bool IsDllAvailable(const std::wstring& file) { return OwnedLibrary(LoadLibraryW(file.c_str())) != nullptr; }

bool ThemeProbe::IsThemeLibraryPresent() {
  if (!libraryPresent_) libraryPresent_ = queries_.dllAvailable && queries_.dllAvailable(L"uxtheme.dll");
  return *libraryPresent_;
}

bool ThemeProbe::IsThemed() {
  if (!IsThemeLibraryPresent()) return false;
  if (!themed_) themed_ = queries_.appThemed ? queries_.appThemed() : SystemAppThemed();
  return *themed_;
}

void WindowServices::ProbeMouseLeave() {
  mouseLeaveAvailable_ = IsFunctionExported("TrackMouseEvent", L"User32");
  // No fallback to the common-controls twin: every system these windows run on has the user32 one.
}

void WindowServices::TrackMouseLeave(HWND window) const {
  if (!mouseLeaveAvailable_) return;
  TRACKMOUSEEVENT request{};
  request.cbSize = sizeof request;
  request.dwFlags = TME_LEAVE;
  request.hwndTrack = window;
  request.dwHoverTime = 0;
  TrackMouseEvent(&request);
}

void WindowServices::StartSubclassing(HWND control, HWND form, bool formIsMdiChild) {
  ProbeMouseLeave();
  HookWindow(control);
  HookWindow(form);
  HookMessage(control, WM_MOUSELEAVE, kPhaseAfter);
  HookMessage(control, WM_THEMECHANGED, kPhaseAfter);
  if (IsThemed()) HookMessage(control, WM_SYSCOLORCHANGE, kPhaseAfter);
  HookMessage(form, formIsMdiChild ? WM_NCACTIVATE : WM_ACTIVATE, kPhaseAfter);
}

}  // namespace quillon::winsvc
