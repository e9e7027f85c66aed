#include "button_site.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cmath>
#include <string>
#include <vector>

#include "button_form.h"
#include "gdi_objects.h"

namespace quillon::controls::win {
namespace {

constexpr std::int16_t kLeft = 1, kRight = 2, kMiddle = 4;
constexpr std::int16_t kShift = 1, kCtrl = 2, kAlt = 4;
constexpr LPARAM kAltContext = 1 << 29;  // WM_SYS* key messages: Alt was down

void RegisterButtonClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;  // the double click replays the press
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = ButtonSite::kClassName;
    return RegisterClassExW(&wc);
  }();
  (void)atom;
}

std::int16_t ShiftState(LPARAM keyContext = 0) {
  std::int16_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= kShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= kCtrl;
  if (GetKeyState(VK_MENU) < 0 || (keyContext & kAltContext) != 0) shift |= kAlt;
  return shift;
}

std::int16_t ButtonsOf(WPARAM keys) {
  std::int16_t buttons = 0;
  if (keys & MK_LBUTTON) buttons |= kLeft;
  if (keys & MK_RBUTTON) buttons |= kRight;
  if (keys & MK_MBUTTON) buttons |= kMiddle;
  return buttons;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HCURSOR PointerCursor(std::int16_t code) {
  // The container's pointer codes that have a system cursor; the rest show the arrow.
  LPCWSTR id = IDC_ARROW;
  switch (code) {
    case 2: id = IDC_CROSS; break;
    case 3: id = IDC_IBEAM; break;
    case 5: id = IDC_SIZEALL; break;
    case 6: id = IDC_SIZENESW; break;
    case 7: id = IDC_SIZENS; break;
    case 8: id = IDC_SIZENWSE; break;
    case 9: id = IDC_SIZEWE; break;
    case 10: id = IDC_UPARROW; break;
    case 11: id = IDC_WAIT; break;
    case 12: id = IDC_NO; break;
    case 13: id = IDC_APPSTARTING; break;
    case 14: id = IDC_HELP; break;
    default: break;
  }
  return LoadCursorW(nullptr, id);
}

struct MenuFree {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuFree>;

// Builds the platform menu of a container menu; item identifiers index `chosen` from 1.
OwnedMenu BuildMenu(const container::Menu& menu, const container::Menu* defaultItem,
                    std::vector<const container::Menu*>& chosen) {
  OwnedMenu popup(CreatePopupMenu());
  if (!popup) return popup;
  for (const auto& item : menu.items) {
    if (!item) continue;
    if (item->caption == L"-") {
      AppendMenuW(popup.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const UINT state = (item->enabled ? 0u : MF_GRAYED) | (item->checked ? MF_CHECKED : 0u);
    if (!item->items.empty()) {
      OwnedMenu sub = BuildMenu(*item, defaultItem, chosen);
      if (sub && AppendMenuW(popup.get(), MF_POPUP | MF_STRING | state, reinterpret_cast<UINT_PTR>(sub.get()),
                             item->caption.c_str())) {
        sub.release();  // now part of popup
      }
      continue;
    }
    chosen.push_back(item.get());
    const auto id = static_cast<UINT>(chosen.size());
    AppendMenuW(popup.get(), MF_STRING | state, id, item->caption.c_str());
    if (item.get() == defaultItem) SetMenuDefaultItem(popup.get(), id, FALSE);
  }
  return popup;
}

}  // namespace

ButtonSite::ButtonSite(ButtonForm& form, const ButtonPlacement& placement, const RendererFactory& renderer)
    : form_(form), name_(placement.name), services_(*this) {
  RegisterButtonClass();
  const HWND parent = placement.parent != nullptr ? placement.parent : form.hwnd();
  const RECT& r = placement.bounds;
  window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)), GetModuleHandleW(nullptr),
                            nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  }
  if (renderer) renderer_ = renderer(*this);
  control_ = std::make_unique<skbutton>(*this);
  control_->SetRenderer(renderer_.get());
  control_->SetWindowServices(this);
}

ButtonSite::~ButtonSite() {
  DestroyControl();
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  window_ = nullptr;
}

void ButtonSite::DestroyControl() {
  if (!control_) return;
  // The destruction sequence unhooks; the tip goes with the button.
  control_.reset();
  toolTip_.Destroy();
  services_.UnhookAll();
  renderer_.reset();
  buffer_.Reset();
}

LRESULT CALLBACK ButtonSite::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ButtonSite*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || !self->control_) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT ButtonSite::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  skbutton& c = *control_;
  const auto x = static_cast<float>(GET_X_LPARAM(lParam));
  const auto y = static_cast<float>(GET_Y_LPARAM(lParam));
  // The system sends no input to a disabled window; posted input is refused the same way.
  const bool input = (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                     (message >= WM_KEYFIRST && message <= WM_KEYLAST);
  if (input && !IsWindowEnabled(window_)) return DefWindowProcW(window_, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (!resizing_) {
        resizing_ = true;
        c.OnResize();
        resizing_ = false;
      }
      return 0;
    case WM_SETFOCUS:
      c.OnGotFocus();
      form_.FocusChanged();
      return 0;
    case WM_KILLFOCUS:
      c.OnLostFocus();
      form_.FocusChanged();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      if (GetFocus() != window_) SetFocus(window_);
      const std::int16_t button = message == WM_LBUTTONDOWN                                  ? kLeft
                                  : message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK ? kRight
                                                                                               : kMiddle;
      pressed_ |= button;
      // The release of a right or middle press comes back here wherever it happens, so no
      // pressed bit outlives its button.
      if (button != kLeft && GetCapture() == nullptr) ::SetCapture(window_);
      if (control_) control_->OnMouseDown(button, ShiftState(), x, y);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (GetFocus() != window_) SetFocus(window_);
      pressed_ |= kLeft;
      if (control_) control_->OnDblClick();
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const std::int16_t button = message == WM_LBUTTONUP ? kLeft : message == WM_RBUTTONUP ? kRight : kMiddle;
      // A press that began elsewhere (or was cancelled) ends here without a Click.
      if ((pressed_ & button) == 0) return 0;
      pressed_ = static_cast<std::int16_t>(pressed_ & ~button);
      if (button != kLeft && (pressed_ & kLeft) == 0 && GetCapture() == window_) ::ReleaseCapture();
      c.OnMouseUp(button, ShiftState(), x, y);
      return 0;
    }
    case WM_CANCELMODE:
      pressed_ = 0;
      break;
    case WM_MOUSEMOVE:
      // A right or middle button that is up again was released where this window did not hear it.
      pressed_ = static_cast<std::int16_t>(pressed_ & (kLeft | ButtonsOf(wParam)));
      c.OnMouseMove(ButtonsOf(wParam), ShiftState(), x, y);
      return 0;
    case WM_KEYDOWN:
      c.OnKeyDown(static_cast<std::int16_t>(wParam), ShiftState(lParam));
      return 0;
    case WM_KEYUP:
      c.OnKeyUp(static_cast<std::int16_t>(wParam), ShiftState(lParam));
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+Space reaches the control (which ignores it) and still opens the form's system menu.
      c.OnKeyDown(static_cast<std::int16_t>(wParam), ShiftState(lParam));
      break;
    case WM_SYSKEYUP:
      c.OnKeyUp(static_cast<std::int16_t>(wParam), ShiftState(lParam));
      break;
    case WM_CHAR:
      c.OnKeyPress(static_cast<std::int16_t>(wParam));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        OnSetCursor();
        return TRUE;
      }
      break;
    case WM_DESTROY:
      DestroyControl();
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void ButtonSite::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  painting_ = true;
  if (control_) control_->OnPaint();
  painting_ = false;
  if (dc != nullptr) {
    if (buffer_.dc() != nullptr) {
      BitBlt(dc, 0, 0, buffer_.width(), buffer_.height(), buffer_.dc(), 0, 0, SRCCOPY);
    } else {
      FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  EndPaint(window_, &ps);
}

void ButtonSite::OnSetCursor() {
  if (control_ && control_->HandPointer()) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
  } else if (HCURSOR custom = mousePointer_ == container::kPointerCustom ? IconCursor() : nullptr) {
    ::SetCursor(custom);
  } else {
    ::SetCursor(PointerCursor(mousePointer_));
  }
}

HCURSOR ButtonSite::IconCursor() {
  if (iconCursor_ || !mouseIcon_) return iconCursor_.get();
  const container::Picture& icon = *mouseIcon_;
  if (icon.width <= 0 || icon.height <= 0 ||
      icon.pixels.size() != static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height))
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = icon.width;
  info.bmiHeader.biHeight = -icon.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const render::GdiObject<HBITMAP> colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // All-zero mask: the colour image's alpha decides what shows.
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((icon.width + 15) / 16 * 2) * icon.height, 0);
  const render::GdiObject<HBITMAP> mask(CreateBitmap(icon.width, icon.height, 1, 1, zeros.data()));
  if (!colour || !bits || !mask) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < icon.pixels.size(); ++i)
    out[i] = icon.hasAlpha ? icon.pixels[i] : icon.pixels[i] | 0xFF000000u;
  ICONINFO parts{};
  parts.fIcon = FALSE;
  // An icon has no hot spot of its own: the pointer's point is its middle.
  parts.xHotspot = static_cast<DWORD>(icon.width / 2);
  parts.yHotspot = static_cast<DWORD>(icon.height / 2);
  parts.hbmMask = mask.Get();
  parts.hbmColor = colour.Get();
  iconCursor_.reset(CreateIconIndirect(&parts));
  return iconCursor_.get();
}

void ButtonSite::SetAccessKeys(std::wstring_view keys) {
  // The platform's full case mapping, so every cased letter matches typed in either case.
  accessKeys_.assign(keys);
  if (!accessKeys_.empty()) CharLowerBuffW(accessKeys_.data(), static_cast<DWORD>(accessKeys_.size()));
}

HDC ButtonSite::BackBufferDc() {
  RECT client{};
  GetClientRect(window_, &client);
  return buffer_.Ensure(client.right - client.left, client.bottom - client.top);
}

void ButtonSite::Present() {
  if (painting_ || buffer_.dc() == nullptr || window_ == nullptr) return;
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  BitBlt(dc, 0, 0, buffer_.width(), buffer_.height(), buffer_.dc(), 0, 0, SRCCOPY);
  ReleaseDC(window_, dc);
}

void ButtonSite::Refresh() {
  if (buffer_.dc() != nullptr) {
    Present();
  } else if (window_ != nullptr) {
    InvalidateRect(window_, nullptr, FALSE);
  }
}

bool ButtonSite::CanTakeFocus() const {
  return window_ != nullptr && control_ && IsWindowEnabled(window_) && IsWindowVisible(window_);
}

void ButtonSite::AmbientChanged(std::wstring_view name) {
  if (control_) control_->OnAmbientChanged(name);
}

// ---- container::Site ----

bool ButtonSite::UserMode() const { return form_.userMode; }
bool ButtonSite::DisplayAsDefault() const { return form_.DisplaysAsDefault(*this); }
container::FontDescription ButtonSite::AmbientFont() const { return form_.ambientFont; }

void ButtonSite::PropertyChanged(std::wstring_view name) {
  if (form_.propertyChanged) form_.propertyChanged(*this, name);
}

void ButtonSite::ReportError(std::wstring_view message) {
  if (form_.errorReported) form_.errorReported(*this, message);
}

void ButtonSite::MoveFocus(bool forward) { form_.MoveFocus(this, forward); }
void ButtonSite::DoEvents() { ButtonForm::DoEvents(); }

container::WindowHandle ButtonSite::ParentWindow() const { return winsvc::ToHandle(form_.hwnd()); }
container::WindowHandle ButtonSite::ContainerWindow() const { return winsvc::ToHandle(GetParent(window_)); }

std::optional<bool> ButtonSite::ParentIsMdiChild() const {
  if (!IsWindow(form_.hwnd())) return std::nullopt;
  return (GetWindowLongPtrW(form_.hwnd(), GWL_EXSTYLE) & WS_EX_MDICHILD) != 0;
}

std::vector<container::Control*> ButtonSite::FormControls() const {
  std::vector<container::Control*> controls;
  for (const auto& site : form_.sites()) {
    if (site->control() != nullptr) controls.push_back(site->control());
  }
  return controls;
}

void ButtonSite::SetWindowEnabled(bool enabled) {
  if (window_ != nullptr) EnableWindow(window_, enabled ? TRUE : FALSE);
}

container::Extent ButtonSite::GetExtent() const {
  RECT r{};
  GetWindowRect(window_, &r);
  const int dpi = ScreenDpi();
  return {MulDiv(r.right - r.left, 1440, dpi), MulDiv(r.bottom - r.top, 1440, dpi)};
}

void ButtonSite::SetExtent(container::Extent extent) {
  const int dpi = ScreenDpi();
  SetWindowPos(window_, nullptr, 0, 0, MulDiv(extent.width, dpi, 1440), MulDiv(extent.height, dpi, 1440),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

double ButtonSite::ScaleWidth() const {
  RECT r{};
  GetClientRect(window_, &r);
  return r.right - r.left;
}

double ButtonSite::ScaleHeight() const {
  RECT r{};
  GetClientRect(window_, &r);
  return r.bottom - r.top;
}

std::uintptr_t ButtonSite::LoadHandCursor() {
  return reinterpret_cast<std::uintptr_t>(LoadCursorW(nullptr, IDC_HAND));
}

void ButtonSite::SetCursor(std::uintptr_t cursor) {
  if (cursor != 0) ::SetCursor(reinterpret_cast<HCURSOR>(cursor));
}

bool ButtonSite::CursorOverControl() const {
  POINT p{};
  if (!GetCursorPos(&p)) return false;
  return WindowFromPoint(p) == window_;
}

void ButtonSite::ReleaseCapture() { ::ReleaseCapture(); }

void ButtonSite::ShowPopupMenu(const container::Menu& menu, float x, float y, std::int32_t flags,
                               const container::Menu* defaultItem) {
  std::vector<const container::Menu*> chosen;
  OwnedMenu popup = BuildMenu(menu, defaultItem, chosen);
  if (!popup) return;
  POINT at{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
  ClientToScreen(window_, &at);
  constexpr UINT kPassed = TPM_RIGHTBUTTON | TPM_CENTERALIGN | TPM_RIGHTALIGN | TPM_VCENTERALIGN | TPM_BOTTOMALIGN;
  const UINT command = static_cast<UINT>(TrackPopupMenuEx(
      popup.get(), (static_cast<UINT>(flags) & kPassed) | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, window_, nullptr));
  popup.reset();
  if (command >= 1 && command <= chosen.size()) {
    const container::Menu* item = chosen[command - 1];
    if (item->action) item->action();
  }
}

void ButtonSite::MessageBox(std::wstring_view text, std::wstring_view title, container::MessageBoxIcon icon) {
  UINT style = MB_OK;
  switch (icon) {
    case container::MessageBoxIcon::Information: style |= MB_ICONINFORMATION; break;
    case container::MessageBoxIcon::Warning: style |= MB_ICONWARNING; break;
    case container::MessageBoxIcon::Error: style |= MB_ICONERROR; break;
    case container::MessageBoxIcon::Question: style |= MB_ICONQUESTION; break;
    case container::MessageBoxIcon::None: break;
  }
  const std::wstring t(text), c(title);
  MessageBoxW(form_.hwnd(), t.c_str(), c.c_str(), style);
}

void ButtonSite::ShellOpen(std::wstring_view address) {
  const std::wstring a(address);
  ShellExecuteW(window_, L"open", a.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ButtonSite::SetExtenderToolTipText(std::wstring_view text) {
  extenderToolTip_.assign(text);
  form_.SetControlToolTip(*this, text);
}

bool ButtonSite::IsNtPlatform() const {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(&version)) return true;  // only the NT family runs the wide build at all
  return (version.dwPlatformId & 2u) != 0;
}

void ButtonSite::LoadShellLibrary() { shellLibrary_.reset(LoadLibraryW(L"shell32.dll")); }
void ButtonSite::FreeShellLibrary() { shellLibrary_.reset(); }

// ---- WindowServices ----

bool ButtonSite::IsFunctionExported(std::wstring_view function, std::wstring_view module) {
  std::string name;
  for (const wchar_t ch : function) {
    if (ch > 0x7F) return false;  // export names are ASCII
    name.push_back(static_cast<char>(ch));
  }
  return winsvc::IsFunctionExported(name, std::wstring(module));
}

bool ButtonSite::HookWindow(std::uintptr_t window) {
  const HWND w = winsvc::ToHwnd(window);
  if (!IsWindow(w)) return false;
  services_.HookWindow(w);
  return true;
}

void ButtonSite::HookMessage(std::uintptr_t window, std::uint32_t message, int phase) {
  services_.HookMessage(winsvc::ToHwnd(window), message, phase);
}

void ButtonSite::TrackMouseLeave(std::uintptr_t window) {
  if (!services_.mouseLeaveAvailable()) services_.ProbeMouseLeave();
  services_.TrackMouseLeave(winsvc::ToHwnd(window));
}

void ButtonSite::CreateToolTip() {
  if (!control_) return;
  winsvc::ToolTipSettings s;
  s.enabled = control_->Enabled();
  s.menuJustClosed = control_->MenuJustClosed();
  s.down = control_->State() == 2;
  s.text = control_->ToolTip();
  s.title = control_->TooltipTitle();
  s.icon = control_->ToolTipIcon();
  s.type = control_->ToolTipType();
  s.backColor = control_->TooltipBackColor();
  s.rightToLeft = control_->TooltipRightToLeft();
  toolTip_.CreateToolTip(window_, s);
}

void ButtonSite::Subclass_WndProc(bool before, bool& handled, winsvc::LResult& result, winsvc::WindowHandle& window,
                                  winsvc::MessageNumber& message, winsvc::WParam& wParam, winsvc::LParam& lParam) {
  if (!control_) return;
  if (!before && wParam == 0 && (message == WM_ACTIVATE || message == WM_NCACTIVATE) &&
      winsvc::ToHwnd(window) == form_.hwnd()) {
    // The form lost activation: a press in progress is over and its release must not click.
    pressed_ = 0;
    if (GetCapture() == window_) ::ReleaseCapture();
  }
  // The control keeps results as 32-bit values; a result it leaves alone keeps all its bits.
  const auto given = static_cast<std::int32_t>(result);
  std::int32_t result32 = given;
  control_->Subclass_WndProc(before, handled, result32, window, message, wParam, lParam);
  if (result32 != given) result = result32;
}

}  // namespace quillon::controls::win
