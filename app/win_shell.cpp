#include "win_shell.h"

#include <shellapi.h>

namespace quillon::app {
namespace {

const wchar_t* TextOrNull(const std::optional<std::wstring>& text) { return text ? text->c_str() : nullptr; }

}  // namespace

std::intptr_t WinShell::Execute(const ShellCall& call) {
  HWND owner = call.owner == ShellOwner::Desktop ? GetDesktopWindow()
               : call.owner == ShellOwner::Form  ? form_
                                                 : nullptr;
  HINSTANCE result = ShellExecuteW(owner, call.verb.c_str(), call.file.c_str(), TextOrNull(call.parameters),
                                   TextOrNull(call.directory), call.show);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace quillon::app
