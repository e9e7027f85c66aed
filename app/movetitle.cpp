#include "movetitle.h"

namespace quillon::app::movetitle {
namespace {

// A window procedure has no context of its own, so the procedure it chains to lives here.
WNDPROC saved = nullptr;

}  // namespace

void Install(HWND form) {
  const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(form, GWLP_WNDPROC));
  if (current == &DragProcedure) return;  // chaining to itself would recurse without end
  saved = current;
  SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DragProcedure));
}

void Restore(HWND form) {
  if (!saved) return;
  SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
  saved = nullptr;
}

WNDPROC SavedProcedure() { return saved; }

LRESULT CALLBACK DragProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const WNDPROC next = saved;
  const LRESULT result = next ? CallWindowProcW(next, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCHITTEST && result == HTCLIENT) return HTCAPTION;
  return result;
}

}  // namespace quillon::app::movetitle
