// Module General: the open and save dialogs behind the two chooser buttons.
#pragma once

#include <windows.h>

#include <string>

namespace quillon::app {

std::wstring ChooseOpenFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault);
std::wstring ChooseSaveFile(HWND owner, const std::wstring& filter, const std::wstring& byDefault);

}  // namespace quillon::app
