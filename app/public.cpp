#include "public.h"

#include <objbase.h>

#include "main_window.h"

namespace quillon::app {
namespace {

int RunForm(HINSTANCE instance) {
  FormT form;
  if (!FormT::Register(instance) || !form.Create(instance)) return 1;
  ShowWindow(form.hwnd(), SW_SHOWNORMAL);
  MSG m{};
  BOOL got;
  while ((got = GetMessageW(&m, nullptr, 0, 0)) > 0) {
    if (IsWindow(form.hwnd()) && form.PreTranslateMessage(m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return got < 0 ? 1 : static_cast<int>(m.wParam);
}

}  // namespace

SingleInstance::SingleInstance(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {
  const DWORD error = GetLastError();
  // A name held by a copy we may not open (another security context) still means it runs.
  another_ = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  if (another_) mutex_.reset();
}

int StartUp(HINSTANCE instance) {
  const SingleInstance instanceGuard;
  if (instanceGuard.AnotherRuns()) return 0;
  // Shell actions may reach COM-based handlers, which want an apartment on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int code = RunForm(instance);
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

}  // namespace quillon::app
