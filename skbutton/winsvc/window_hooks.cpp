#include "window_hooks.h"

#include <map>

namespace quillon::winsvc {
namespace {

struct WindowHooks final : OriginalProcedure {
  WNDPROC original = nullptr;
  HookChain chain;

  LResult Call(WindowHandle window, MessageNumber message, WParam wParam, LParam lParam) const override {
    return CallWindowProcW(original, ToHwnd(window), message, wParam, lParam);
  }
};

using Registry = std::map<HWND, std::shared_ptr<WindowHooks>>;

Registry& Windows() {
  static Registry windows;
  return windows;
}

std::shared_ptr<WindowHooks> Lookup(HWND window) {
  const auto it = Windows().find(window);
  return it == Windows().end() ? nullptr : it->second;
}

LRESULT CALLBACK HookProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool OursOnTop(HWND window) {
  return GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HookProcedure);
}

// Puts the window's own procedure back when nothing was installed over ours.
void ReleaseIfIdle(HWND window, const std::shared_ptr<WindowHooks>& hooks, bool force) {
  if ((!force && !hooks->chain.empty()) || !OursOnTop(window)) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hooks->original));
  Windows().erase(window);
}

LRESULT CALLBACK HookProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Held for the whole call: a hook may unhook everything, and the original procedure is still due.
  const std::shared_ptr<WindowHooks> hooks = Lookup(window);
  if (!hooks) return DefWindowProcW(window, message, wParam, lParam);
  const LRESULT result = hooks->chain.Dispatch(ToHandle(window), message, wParam, lParam, *hooks);
  if (message == WM_NCDESTROY) {
    // The window is gone; hooks still recorded by their owners are detached quietly later.
    ReleaseIfIdle(window, hooks, true);
    Windows().erase(window);
  } else if (hooks->chain.empty()) {
    // A procedure that was over ours has been taken off since the last removal.
    ReleaseIfIdle(window, hooks, false);
  }
  return result;
}

}  // namespace

WindowHookHost& WindowHookHost::Instance() {
  static WindowHookHost host;
  return host;
}

std::shared_ptr<Hook> WindowHookHost::Attach(WindowHandle handle, SubclassTarget& owner) {
  const HWND window = ToHwnd(handle);
  std::shared_ptr<WindowHooks> hooks = Lookup(window);
  if (!hooks) {
    if (!IsWindow(window)) return nullptr;
    hooks = std::make_shared<WindowHooks>();
    const LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProcedure));
    if (previous == 0) return nullptr;  // another process's window, or refused
    hooks->original = reinterpret_cast<WNDPROC>(previous);
    Windows()[window] = hooks;
  }
  return hooks->chain.Push(owner);
}

void WindowHookHost::Detach(WindowHandle handle, const std::shared_ptr<Hook>& hook) {
  const HWND window = ToHwnd(handle);
  const std::shared_ptr<WindowHooks> hooks = Lookup(window);
  if (!hooks) {
    // The window was destroyed first: only make sure the hook calls nobody.
    HookChain orphan;
    orphan.Remove(hook);
    return;
  }
  hooks->chain.Remove(hook);
  ReleaseIfIdle(window, hooks, false);
}

std::size_t WindowHookHost::HookCount(HWND window) const {
  const auto hooks = Lookup(window);
  return hooks ? hooks->chain.size() : 0;
}

bool WindowHookHost::HasChain(HWND window) const { return Lookup(window) != nullptr; }

}  // namespace quillon::winsvc
