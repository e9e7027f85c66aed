// Module Public: start-up. A second running copy ends at once, silently.
#include <windows.h>

#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The system removes the mutex with the process, so a crashed copy cannot leave it behind.
  HANDLE running = CreateMutexW(nullptr, TRUE, L"Local\\Quillon.SingleInstance");
  if (running && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(running);
    return 0;
  }
  quillon::app::FormT form;
  int code = 1;
  if (quillon::app::FormT::Register(instance) && form.Create(instance)) {
    ShowWindow(form.hwnd(), SW_SHOWNORMAL);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(form.hwnd(), &m)) continue;
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    code = static_cast<int>(m.wParam);
  }
  if (running) CloseHandle(running);
  return code;
}
