#include "main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "dialogs.h"
#include "movetitle.h"
#include "placement.h"
#include "resource_pictures.h"

namespace quillon::app {
namespace {

using container::FormObject;

constexpr wchar_t kClassName[] = L"FormT";
constexpr wchar_t kDesignType[] = L"FORM";
constexpr wchar_t kDesignName[] = L"FORMT";

constexpr int kFirstControlId = 100;
constexpr int kPicture3Id = 90, kPicClose1Id = 91, kPicClose2Id = 92;

int IdOf(Control c) { return kFirstControlId + static_cast<int>(c); }

double TwipsPerPixelOfScreen(int axis) {
  const WindowDc screen(nullptr);
  return TwipsPerPixel(screen.get() ? GetDeviceCaps(screen.get(), axis) : 96);
}

bool Contains(const RECT& r, POINT p) { return PtInRect(&r, p) != FALSE; }

bool IsKind(const FormObject& object, std::wstring_view kind) { return container::KeyEquals(object.kind, kind); }

// An OLE colour as the drawing calls want it: system colour indexes become their colour.
COLORREF TranslateColour(std::int32_t stored) {
  const auto colour = static_cast<std::uint32_t>(stored);
  if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFFu));
  return colour & 0xFFFFFFu;
}

COLORREF ColourOf(const FormObject& object, std::wstring_view key, std::int32_t byDefault) {
  return TranslateColour(object.properties.ReadInt32(key, byDefault));
}

container::PicturePtr PictureOf(const FormObject& object, std::wstring_view key) {
  return object.properties.ReadPicture(key, nullptr);
}

GdiObject<HBITMAP> BitmapOf(const FormObject& object) {
  const container::PicturePtr picture = PictureOf(object, L"picture");
  return picture ? ToBitmap(*picture) : GdiObject<HBITMAP>();
}

GdiObject<HFONT> FontOf(HDC dc, const container::FontDescription& font) {
  LOGFONTW lf{};
  lf.lfHeight = -RoundHalfEven(font.SizePoints() * GetDeviceCaps(dc, LOGPIXELSY) / 72.0);
  lf.lfWeight = font.weight;
  lf.lfItalic = font.italic;
  lf.lfUnderline = font.underline;
  lf.lfStrikeOut = font.strikethrough;
  lf.lfCharSet = static_cast<BYTE>(font.charset);
  lstrcpynW(lf.lfFaceName, font.face.c_str(), LF_FACESIZE);
  return GdiObject<HFONT>(CreateFontIndirectW(&lf));
}

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
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND FormT::Create(HINSTANCE instance) {
  const std::string_view text = ResourceBytes(instance, kDesignType, kDesignName);
  try {
    design_ = std::make_unique<FormDesign>(
        text, [instance](std::wstring_view name) { return LoadResourcePicture(instance, name); });
  } catch (const std::exception&) {
    return nullptr;  // a build without its design cannot show the window
  }
  twipsPerPixelX_ = TwipsPerPixelOfScreen(LOGPIXELSX);
  twipsPerPixelY_ = TwipsPerPixelOfScreen(LOGPIXELSY);
  DWORD style = WS_POPUP | WS_CLIPCHILDREN;
  RECT frame{};
  try {
    // Border style 0: no frame, the window is its client area; any other gets a fixed frame.
    if (design_->Form().properties.ReadInt32(L"borderstyle", 2) != 0) style |= WS_CAPTION | WS_SYSMENU;
    frame = {0, 0, design_->ClientWidth(twipsPerPixelX_), design_->ClientHeight(twipsPerPixelY_)};
  } catch (const std::exception&) {
    return nullptr;
  }
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  // First placed in the middle of the work area.
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = (work.left + work.right - width) / 2;
  const int y = (work.top + work.bottom - height) / 2;
  const std::wstring caption = design_->Caption();
  if (!CreateWindowExW(0, kClassName, caption.c_str(), style, x, y, width, height, nullptr, nullptr, instance, this))
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
  std::wstring text = design_->Control(L"picclose2").properties.ReadText(L"tooltiptext", L"");
  if (text.empty()) return;
  closeTip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
  if (closeTip_.get()) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(picclose2_.hwnd());
    tool.lpszText = text.data();
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
  return RouteToInstance(hwnd, msg, wp, lp, &FormT::hwnd_, &FormT::HandleMessage);
}

LRESULT FormT::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      systemShell_.SetForm(hwnd_);
      try {
        CreateControls();
      } catch (const std::exception&) {
        return -1;  // a design the window cannot be built from: no window
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole surface
    case WM_PAINT: {
      const PaintScope paint(hwnd_);
      try {
        Paint(paint.dc());
      } catch (const std::exception&) {
        // Drawing failures are ignored; the controls on the window still work.
      }
      return 0;
    }
    case WM_ACTIVATE:
      // The focused control goes with the window and comes back with it, as after a dialog.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        lastFocus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
        return 0;
      }
      if (lastFocus_ && IsChild(hwnd_, lastFocus_) && IsWindowEnabled(lastFocus_) && IsWindowVisible(lastFocus_) &&
          !HIWORD(wp)) {
        SetFocus(lastFocus_);
        return 0;
      }
      return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_MOUSEMOVE:
      OnFormMouseMove({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_DESTROY:
      // The buttons go before the form; the drag procedure is off the window already.
      if (buttons_) buttons_->DestroyAll();
      sites_.fill(nullptr);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

RECT FormT::PlaceInPixels(const FormObject& object) const {
  const PixelRect p = ToPixels(PlaceOf(object), twipsPerPixelX_, twipsPerPixelY_);
  return {p.x, p.y, p.x + p.width, p.y + p.height};
}

void FormT::CreateControls() {
  const FormDesign& d = *design_;
  // The window's icon is the design's.
  if (const container::PicturePtr icon = PictureOf(d.Form(), L"icon")) {
    const ResourceName name(icon->resourceName);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bigIcon_.reset(static_cast<HICON>(LoadImageW(instance, name.get(), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, name.get(), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  }

  const FormObject& close1 = d.Control(L"picclose1");
  const FormObject& close2 = d.Control(L"picclose2");
  const FormObject& panel = d.Control(L"Picture3");
  picclose1_.Create(hwnd_, kPicClose1Id, PlaceInPixels(close1), ColourOf(close1, L"backcolor", 0), BitmapOf(close1),
                    [this](PictureBox::Event e) {
                      if (e == PictureBox::Event::MouseMove) picclose1_MouseMove();
                    });
  picclose2_.Create(hwnd_, kPicClose2Id, PlaceInPixels(close2), ColourOf(close2, L"backcolor", 0), BitmapOf(close2),
                    [this](PictureBox::Event e) {
                      if (e == PictureBox::Event::Click) picclose2_Click();
                    });
  picture3_.Create(hwnd_, kPicture3Id, PlaceInPixels(panel), ColourOf(panel, L"backcolor", 0), BitmapOf(panel),
                   [this](PictureBox::Event e) {
                     if (e == PictureBox::Event::MouseMove) Picture3_MouseMove();
                   },
                   0, WS_EX_CONTROLPARENT);
  // Stacking as designed: the first object of the design lies on top.
  const std::vector<FormObject>& onWindow = d.Children();
  for (auto it = onWindow.rbegin(); it != onWindow.rend(); ++it) {
    if (HWND window = PictureBoxWindow(it->name)) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // The panel's buttons, loaded from their property bags in tab order (the order of focus).
  buttons_ = std::make_unique<controls::win::ButtonForm>(hwnd_);
  for (const FormObject* object : d.TabOrder()) {
    // The picture boxes take the focus in their places too; the label takes none.
    if (HWND box = PictureBoxWindow(object->name)) {
      buttons_->AddTabStop(box);
      continue;
    }
    if (!IsKind(*object, L"skbutton")) continue;
    const auto named = std::find_if(std::begin(kControlNames), std::end(kControlNames),
                                    [&](const wchar_t* n) { return container::KeyEquals(object->name, n); });
    if (named == std::end(kControlNames)) continue;
    const auto control = static_cast<Control>(named - std::begin(kControlNames));
    const auto index = static_cast<std::size_t>(control);
    const container::PropertyBag bag = ControlBag(*object);
    controls::win::ButtonPlacement placement;
    placement.name = object->name;
    placement.parent = picture3_.hwnd();
    placement.bounds = PlaceInPixels(*object);
    placement.id = IdOf(control);
    clickHandlers_[index].form = this;
    clickHandlers_[index].control = control;
    sites_[index] = &buttons_->Add(placement, &bag, &clickHandlers_[index]);
  }
}

HWND FormT::PictureBoxWindow(std::wstring_view name) const {
  if (container::KeyEquals(name, L"picclose1")) return picclose1_.hwnd();
  if (container::KeyEquals(name, L"picclose2")) return picclose2_.hwnd();
  if (container::KeyEquals(name, L"Picture3")) return picture3_.hwnd();
  return nullptr;
}

void FormT::Paint(HDC dc) {
  // The images and labels drawn on the window's surface, from the bottom of the stacking up.
  const std::vector<FormObject>& onWindow = design_->Children();
  for (auto it = onWindow.rbegin(); it != onWindow.rend(); ++it) {
    const FormObject& object = *it;
    RECT place = PlaceInPixels(object);
    if (IsKind(object, L"Image")) {
      if (const container::PicturePtr picture = PictureOf(object, L"picture")) {
        if (!object.properties.ReadBool(L"stretch", false))
          place = {place.left, place.top, place.left + picture->width, place.top + picture->height};
        DrawStretched(dc, *picture, place);
      }
    } else if (IsKind(object, L"Label")) {
      const GdiObject<HFONT> font = FontOf(dc, object.properties.ReadFont(L"font", {}));
      const SelectIn selectFont(dc, font.get());
      const bool transparent = object.properties.ReadInt32(L"backstyle", 1) == 0;
      if (!transparent) {
        const GdiObject<HBRUSH> back(CreateSolidBrush(ColourOf(object, L"backcolor", 0x8000000F)));
        FillRect(dc, &place, back.get());
      }
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, ColourOf(object, L"forecolor", static_cast<std::int32_t>(0x80000012)));
      const std::wstring caption = object.properties.ReadText(L"caption", L"");
      // A label sized to its text does not clip it.
      const UINT clip = object.properties.ReadBool(L"autosize", false) ? DT_NOCLIP : 0;
      DrawTextW(dc, caption.c_str(), -1, &place, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | clip);
    }
  }
}

const FormObject* FormT::DrawnControlAt(POINT at) const {
  for (const FormObject& object : design_->Children()) {
    if ((IsKind(object, L"Image") || IsKind(object, L"Label")) && Contains(PlaceInPixels(object), at)) return &object;
  }
  return nullptr;
}

void FormT::OnFormMouseMove(POINT at) {
  // Only the title strip has a handler; the icon and the title lie above it.
  try {
    const FormObject* drawn = DrawnControlAt(at);
    if (drawn && container::KeyEquals(drawn->name, L"Image2")) Image2_MouseMove();
  } catch (const std::exception&) {
    // A place the design does not give has no handler.
  }
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

HWND FormT::Item(Control control) const {
  const controls::win::ButtonSite* site = sites_[static_cast<std::size_t>(control)];
  return site ? site->hwnd() : nullptr;
}

controls::skbutton& FormT::Button(Control control) const {
  return *sites_.at(static_cast<std::size_t>(control))->control();
}

bool FormT::PreTranslateMessage(const MSG& msg) { return buttons_ && buttons_->PreTranslateMessage(msg); }

// The path displays show their text as the button's caption.
std::wstring FormT::Caption(Control control) const { return Button(control).Caption(); }

void FormT::SetCaption(Control control, const std::wstring& text) { Button(control).SetCaption(text); }

void FormT::SetEnabled(convert::Button button, bool enabled) {
  const Control c = button == convert::Button::Select ? Control::cmdsel
                    : button == convert::Button::Save ? Control::cmdsave
                                                      : Control::cmdc;
  Button(c).SetEnabled(enabled);
}

void FormT::ShowMessage(const std::wstring& text) {
  const std::wstring title = design_->Caption();
  MessageBoxW(hwnd_, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

std::wstring FormT::ChooseOpenFile(const std::wstring& filter, const std::wstring& byDefault) {
  return app::ChooseOpenFile(hwnd_, filter, byDefault);
}

std::wstring FormT::ChooseSaveFile(const std::wstring& filter, const std::wstring& byDefault) {
  return app::ChooseSaveFile(hwnd_, filter, byDefault);
}

std::wstring FormT::ListedName(const std::wstring& path) { return app::ListedName(path); }

}  // namespace quillon::app
