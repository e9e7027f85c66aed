#include "main_window.h"

#include "dialogs.h"

namespace quillon::app {
namespace {

constexpr wchar_t kClassName[] = L"FormT";
constexpr wchar_t kCaption[] = L"Quillon";
constexpr int kClientWidth = 319, kClientHeight = 196;
constexpr int kPanelTop = 31;
constexpr COLORREF kPanelColour = RGB(0x80, 0x80, 0xFF);

struct ControlPlace {
  Control control;
  const wchar_t* caption;
  int x, y, width, height;  // pixels; panel controls relative to the panel
  bool onPanel;
  bool enabled;
};

constexpr ControlPlace kPlaces[] = {
    {Control::cmdopath, L"", 8, 8, 201, 33, true, false},
    {Control::cmdsel, L"选择转换文件", 216, 8, 97, 33, true, true},
    {Control::cmdspath, L"", 8, 48, 201, 33, true, false},
    {Control::cmdsave, L"选择保存路径", 216, 48, 97, 33, true, true},
    {Control::cmdfile, L"打开文件", 8, 88, 97, 33, true, true},
    {Control::cmdmemu, L"打开目录", 112, 88, 97, 33, true, true},
    {Control::cmdc, L"开始转换", 216, 88, 97, 33, true, true},
    {Control::cmdlink, L"Corvandel  制作  ", 8, 128, 305, 33, true, true},
    {Control::picclose, L"×", 272, 8, 42, 19, false, true},
};

int IdOf(Control c) { return 100 + static_cast<int>(c); }

}  // namespace

bool FormT::Register(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

HWND FormT::Create(HINSTANCE instance) {
  RECT r{0, 0, kClientWidth, kClientHeight};
  const DWORD style = WS_POPUP | WS_CLIPCHILDREN;
  AdjustWindowRectEx(&r, style, FALSE, 0);
  return CreateWindowExW(0, kClassName, kCaption, style, 200, 200, r.right - r.left, r.bottom - r.top, nullptr,
                         nullptr, instance, this);
}

LRESULT CALLBACK FormT::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  FormT* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<FormT*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<FormT*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  return self ? self->HandleMessage(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT FormT::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      panelBrush_ = CreateSolidBrush(kPanelColour);
      CreateControls();
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd_, &r);
      RECT strip = r, panel = r;
      strip.bottom = panel.top = kPanelTop;
      FillRect(reinterpret_cast<HDC>(wp), &strip, reinterpret_cast<HBRUSH>(COLOR_ACTIVECAPTION + 1));
      FillRect(reinterpret_cast<HDC>(wp), &panel, panelBrush_);
      return 1;
    }
    case WM_NCHITTEST: {
      const LRESULT hit = DefWindowProcW(hwnd_, msg, wp, lp);
      return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        const int id = LOWORD(wp) - 100;
        if (id >= 0 && id < static_cast<int>(Control::kCount)) OnClick(static_cast<Control>(id));
      }
      return 0;
    case WM_DESTROY:
      if (panelBrush_) DeleteObject(panelBrush_);
      panelBrush_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void FormT::CreateControls() {
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (const auto& p : kPlaces) {
    HWND item = CreateWindowExW(0, L"BUTTON", p.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, p.x,
                                p.y + (p.onPanel ? kPanelTop : 0), p.width, p.height, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(p.control))),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnableWindow(item, p.enabled);
    controls_[static_cast<std::size_t>(p.control)] = item;
  }
}

void FormT::OnClick(Control control) {
  switch (control) {
    case Control::cmdsel: SelectInputClicked(*this, paths_); break;
    case Control::cmdsave: SelectOutputClicked(*this, paths_); break;
    case Control::cmdc: convert::StartConversion(*this, files_, paths_.inputPath); break;
    case Control::picclose: DestroyWindow(hwnd_); break;
    default: break;
  }
}

std::wstring FormT::Caption(Control control) const {
  HWND item = Item(control);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return text;
}

void FormT::SetCaption(Control control, const std::wstring& text) { SetWindowTextW(Item(control), text.c_str()); }

void FormT::SetEnabled(convert::Button button, bool enabled) {
  const Control c = button == convert::Button::Select ? Control::cmdsel
                    : button == convert::Button::Save ? Control::cmdsave
                                                      : Control::cmdc;
  EnableWindow(Item(c), enabled);
}

void FormT::ShowMessage(const std::wstring& text) {
  MessageBoxW(hwnd_, text.c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
}

std::wstring FormT::ChooseOpenFile(const std::wstring& filter, const std::wstring& byDefault) {
  return app::ChooseOpenFile(hwnd_, filter, byDefault);
}

std::wstring FormT::ChooseSaveFile(const std::wstring& filter, const std::wstring& byDefault) {
  return app::ChooseSaveFile(hwnd_, filter, byDefault);
}

std::wstring FormT::ListedName(const std::wstring& path) { return app::ListedName(path); }

}  // namespace quillon::app
