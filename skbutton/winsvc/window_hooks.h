// Hooks on real windows. The first hook of a window replaces its procedure with one fixed procedure
// that looks the window's hook chain up and runs it; the procedure goes back when the last hook is
// removed, unless someone else has put a procedure over ours meanwhile (ours then stays as a plain
// forwarder, so that their saved pointer keeps working).
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "hook_chain.h"

namespace quillon::winsvc {

inline WindowHandle ToHandle(HWND window) { return reinterpret_cast<WindowHandle>(window); }
inline HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

class WindowHookHost final : public HookHost {
 public:
  // Windows belong to the user-interface thread, so does this registry.
  static WindowHookHost& Instance();

  std::shared_ptr<Hook> Attach(WindowHandle window, SubclassTarget& owner) override;
  void Detach(WindowHandle window, const std::shared_ptr<Hook>& hook) override;

  // Number of live hooks on the window (0 when it carries no chain).
  std::size_t HookCount(HWND window) const;
  // Whether the fixed procedure is still installed somewhere in the window's procedure chain.
  bool HasChain(HWND window) const;

  WindowHookHost(const WindowHookHost&) = delete;
  WindowHookHost& operator=(const WindowHookHost&) = delete;

 private:
  WindowHookHost() = default;
};

}  // namespace quillon::winsvc
