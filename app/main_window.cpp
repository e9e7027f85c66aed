#include "main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "dialogs.h"
#include "movetitle.h"
#include "placement.h"

namespace quillon::app {
namespace {

constexpr wchar_t kClassName[] = L"FormT";
constexpr wchar_t kCaption[] = L"Quillon";
constexpr wchar_t kCloseTip[] = L"关闭";

struct ControlPlace {
  Control control;
  const wchar_t* caption;
  int x, y, width, height;  // pixels, relative to the panel
  bool enabled;
};

// In tab order, which is also the creation order.
constexpr ControlPlace kPlaces[] = {
    {Control::cmdsel, L"选择转换文件", 216, 8, 97, 33, true},
    {Control::cmdopath, L"", 8, 8, 201, 33, false},
    {Control::cmdspath, L"", 8, 48, 201, 33, false},
    {Control::cmdc, L"开始转换", 216, 88, 97, 33, true},
    {Control::cmdfile, L"打开文件", 8, 88, 97, 33, true},
    {Control::cmdmemu, L"打开目录", 112, 88, 97, 33, true},
    {Control::cmdsave, L"选择保存路径", 216, 48, 97, 33, true},
    {Control::cmdlink, L"Corvandel  制作  ", 8, 128, 305, 33, true},
};

constexpr int kFirstControlId = 100;
constexpr int kPicture3Id = 90, kPicClose1Id = 91, kPicClose2Id = 92;

int IdOf(Control c) { return kFirstControlId + static_cast<int>(c); }

GdiObject<HBITMAP> LoadPicture(const wchar_t* name) {
  return GdiObject<HBITMAP>(static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

BYTE Mix(BYTE from, BYTE to, int step, int steps) {
  return static_cast<BYTE>(RoundHalfEven(from + (to - from) * static_cast<double>(step) / steps));
}

double TwipsPerPixelOfScreen(int axis) {
  const WindowDc screen(nullptr);
  return TwipsPerPixel(screen.get() ? GetDeviceCaps(screen.get(), axis) : 96);
}

bool Contains(const RECT& r, POINT p) { return PtInRect(&r, p) != FALSE; }

}  // namespace

FormT::~FormT() {
  if (hwnd_ && IsWindow(hwnd_)) Unload();
}

bool FormT::Register(HINSTANCE instance) {
  const INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  if (!PictureBox::Register(instance)) return false;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND FormT::Create(HINSTANCE instance) {
  // No frame: the window is its client area. First placed in the middle of the work area.
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = (work.left + work.right - layout::kClientWidth) / 2;
  const int y = (work.top + work.bottom - layout::kClientHeight) / 2;
  if (!CreateWindowExW(0, kClassName, kCaption, WS_POPUP | WS_CLIPCHILDREN, x, y, layout::kClientWidth,
                       layout::kClientHeight, nullptr, nullptr, instance, this))
    return nullptr;
  Load();
  return hwnd_;
}

void FormT::Load() {
  infor();
  // The tooltip is a topmost window owned by the form. Made first, it keeps the form from
  // turning topmost under Wine, so it comes after.
  AddCloseTooltip();
}

void FormT::AddCloseTooltip() {
  closeTip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
  if (closeTip_.get()) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(picclose2_.hwnd());
    tool.lpszText = const_cast<wchar_t*>(kCloseTip);
    SendMessageW(closeTip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void FormT::infor() {
  movetitle::Install(hwnd_);
  // The form keeps its place in twips; SetWindowPos wants pixels.
  RECT r;
  GetWindowRect(hwnd_, &r);
  const double perPixelX = TwipsPerPixelOfScreen(LOGPIXELSX), perPixelY = TwipsPerPixelOfScreen(LOGPIXELSY);
  const TwipsPlace twips = PlaceInTwips({r.left, r.top, r.right - r.left, r.bottom - r.top}, perPixelX, perPixelY);
  const PixelPlace p = TopmostPlace(twips, perPixelX, perPixelY);
  SetWindowPos(hwnd_, HWND_TOPMOST, p.x, p.y, p.width, p.height, 0);
}

void FormT::Unload() {
  movetitle::Restore(hwnd_);
  DestroyWindow(hwnd_);
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
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  const LRESULT result = self->HandleMessage(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

LRESULT FormT::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      systemShell_.SetForm(hwnd_);
      CreateControls();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole surface
    case WM_PAINT: {
      const PaintScope paint(hwnd_);
      Paint(paint.dc());
      return 0;
    }
    case WM_MOUSEMOVE:
      OnFormMouseMove({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        const int index = LOWORD(wp) - kFirstControlId;
        if (index >= 0 && index < static_cast<int>(Control::kCount)) OnClick(static_cast<Control>(index));
      }
      return 0;
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void FormT::CreateControls() {
  picclose1_.Create(hwnd_, kPicClose1Id, layout::kPicClose, GetSysColor(COLOR_WINDOW), LoadPicture(L"PICCLOSE1"),
                    [this](PictureBox::Event e) {
                      if (e == PictureBox::Event::MouseMove) picclose1_MouseMove();
                    });
  picclose2_.Create(hwnd_, kPicClose2Id, layout::kPicClose, GetSysColor(COLOR_WINDOW), LoadPicture(L"PICCLOSE2"),
                    [this](PictureBox::Event e) {
                      if (e == PictureBox::Event::Click) picclose2_Click();
                    });
  picture3_.Create(hwnd_, kPicture3Id, layout::kPicture3, layout::kPanelColour, {},
                   [this](PictureBox::Event e) {
                     if (e == PictureBox::Event::MouseMove) Picture3_MouseMove();
                   },
                   0, WS_EX_CONTROLPARENT);
  // The glyph at rest lies above the highlighted one.
  SetWindowPos(picclose2_.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(picclose1_.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (const auto& p : kPlaces) {
    HWND item = CreateWindowExW(0, L"BUTTON", p.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, p.x,
                                p.y, p.width, p.height, picture3_.hwnd(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(p.control))),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnableWindow(item, p.enabled);
    controls_[static_cast<std::size_t>(p.control)] = item;
  }
}

void FormT::Paint(HDC dc) {
  // Image2: the title strip, a vertical gradient from darker to lighter blue-violet.
  const RECT& strip = layout::kImage2;
  const int rows = strip.bottom - strip.top;
  for (int row = 0; row < rows; ++row) {
    const COLORREF c = RGB(Mix(GetRValue(layout::kStripTop), GetRValue(layout::kStripBottom), row, rows - 1),
                           Mix(GetGValue(layout::kStripTop), GetGValue(layout::kStripBottom), row, rows - 1),
                           Mix(GetBValue(layout::kStripTop), GetBValue(layout::kStripBottom), row, rows - 1));
    const GdiObject<HBRUSH> brush(CreateSolidBrush(c));
    const RECT line{strip.left, strip.top + row, strip.right, strip.top + row + 1};
    FillRect(dc, &line, brush.get());
  }
  // Image1: the application icon, stretched to its place.
  const RECT& icon = layout::kImage1;
  if (HICON appIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                     icon.right - icon.left, icon.bottom - icon.top, 0))) {
    DrawIconEx(dc, icon.left, icon.top, appIcon, icon.right - icon.left, icon.bottom - icon.top, 0, nullptr,
               DI_NORMAL);
    DestroyIcon(appIcon);
  }
  // Label1: the title, transparent over the strip.
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lstrcpynW(lf.lfFaceName, L"宋体", LF_FACESIZE);
  const GdiObject<HFONT> font(CreateFontIndirectW(&lf));
  const SelectIn selectFont(dc, font.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  RECT label = layout::kLabel1;
  DrawTextW(dc, kCaption, -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

void FormT::OnFormMouseMove(POINT at) {
  // The window's surface carries three drawn controls; Image1 and Label1 lie above Image2.
  if (Contains(layout::kImage1, at) || Contains(layout::kLabel1, at)) return;
  if (Contains(layout::kImage2, at)) Image2_MouseMove();
}

void FormT::Image2_MouseMove() { picclose1_.SetVisible(true); }

void FormT::Picture3_MouseMove() { picclose1_.SetVisible(true); }

void FormT::picclose1_MouseMove() {
  picclose1_.SetVisible(false);
  picclose2_.SetVisible(true);
}

void FormT::picclose2_Click() { Unload(); }

void FormT::OnClick(Control control) {
  switch (control) {
    case Control::cmdsel: SelectInputClicked(*this, paths_); break;
    case Control::cmdsave: SelectOutputClicked(*this, paths_); break;
    case Control::cmdc: convert::StartConversion(*this, files_, paths_.inputPath); break;
    case Control::cmdfile: OpenFileClicked(*shell_, OutputDisplay()); break;
    case Control::cmdmemu: OpenFolderClicked(*shell_, OutputDisplay(), paths_.outputFolder); break;
    case Control::cmdlink: MakerLinkClicked(*shell_); break;
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
