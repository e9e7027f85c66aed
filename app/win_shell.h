// The system shell behind the shell actions (ShellExecuteW).
#pragma once

#include <windows.h>

#include "shell_actions.h"

namespace quillon::app {

class WinShell final : public Shell {
 public:
  // The window that owns what is opened for ShellOwner::Form.
  void SetForm(HWND form) { form_ = form; }
  std::intptr_t Execute(const ShellCall& call) override;

 private:
  HWND form_ = nullptr;
};

}  // namespace quillon::app
