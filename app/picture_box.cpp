#include "picture_box.h"

#include <windowsx.h>

namespace quillon::app {
namespace {

constexpr wchar_t kClassName[] = L"QuillonPictureBox";

}  // namespace

PictureBox::~PictureBox() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool PictureBox::Register(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool PictureBox::Create(HWND parent, int id, const RECT& place, COLORREF back, GdiObject<HBITMAP> picture,
                        Listener listener, DWORD extraStyle, DWORD extraExStyle) {
  back_ = back;
  picture_ = std::move(picture);
  listener_ = std::move(listener);
  return CreateWindowExW(extraExStyle, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | extraStyle,
                         place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), this) != nullptr;
}

void PictureBox::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

LRESULT CALLBACK PictureBox::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return RouteToInstance(hwnd, msg, wp, lp, &PictureBox::hwnd_, &PictureBox::HandleMessage);
}

LRESULT PictureBox::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills everything
    case WM_PAINT: {
      const PaintScope paint(hwnd_);
      Paint(paint.dc());
      return 0;
    }
    case WM_MOUSEMOVE:
      if (listener_) listener_(Event::MouseMove);
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      if (!pressed_) return 0;
      pressed_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      RECT client;
      GetClientRect(hwnd_, &client);
      const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      // The listener may destroy the whole form, this box included: nothing after it.
      if (PtInRect(&client, at) && listener_) listener_(Event::Click);
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      // Controls placed on the box belong to the form: their notifications go up.
      return SendMessageW(GetParent(hwnd_), msg, wp, lp);
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void PictureBox::Paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  const GdiObject<HBRUSH> brush(CreateSolidBrush(back_));
  FillRect(dc, &client, brush.get());
  if (!picture_) return;
  BITMAP info{};
  if (!GetObjectW(picture_.get(), sizeof info, &info)) return;
  const MemoryDc source(dc);
  const SelectIn select(source.get(), picture_.get());
  BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
}

}  // namespace quillon::app
