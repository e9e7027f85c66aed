#include "tooltip.h"

#include <commctrl.h>
#include <olectl.h>

namespace quillon::winsvc {
namespace {

constexpr DWORD kStandardStyle = TTS_ALWAYSTIP | TTS_NOPREFIX;
constexpr std::int32_t kBalloon = 1;

void LoadTooltipClass() {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof init;
  init.dwICC = ICC_BAR_CLASSES;  // registers tooltips_class32
  InitCommonControlsEx(&init);
}

bool IsToolTipWindow(HWND window) {
  wchar_t name[32] = {};
  return IsWindow(window) && GetClassNameW(window, name, 32) > 0 && lstrcmpiW(name, TOOLTIPS_CLASSW) == 0;
}

}  // namespace

std::uint32_t TranslateOleColour(std::uint32_t colour) {
  COLORREF translated = 0;
  if (FAILED(OleTranslateColor(colour, nullptr, &translated))) return 0xFFFFFFFFu;
  return translated;
}

void ToolTip::Destroy() {
  // A popup owned by a child window is really owned by its top-level window, so the tip would
  // outlive the button; it goes with the button instead. The handle may have been reused since.
  if (window_ != nullptr && IsToolTipWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

bool ToolTip::CreateToolTip(HWND control, const ToolTipSettings& settings, HINSTANCE instance) {
  if (!settings.enabled || settings.menuJustClosed || settings.down) return false;
  Destroy();
  if (instance == nullptr) instance = GetModuleHandleW(nullptr);
  LoadTooltipClass();

  const DWORD style = kStandardStyle | (settings.type == kBalloon ? TTS_BALLOON : 0);
  const DWORD exStyle = settings.rightToLeft ? WS_EX_LAYOUTRTL : 0;
  window_ = CreateWindowExW(exStyle, TOOLTIPS_CLASSW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, control, nullptr, instance, nullptr);
  if (window_ == nullptr) return false;

  // A class change: every tooltip of the process casts a shadow from now on.
  const ULONG_PTR classStyle = GetClassLongPtrW(window_, GCL_STYLE);
  SetClassLongPtrW(window_, GCL_STYLE, static_cast<LONG_PTR>(classStyle | CS_DROPSHADOW));

  RECT client{};
  GetClientRect(control, &client);

  std::wstring text = settings.text;  // the record's text pointer is not const
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = control;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.rect = client;
  tool.hinst = instance;
  tool.lpszText = text.data();
  tool.lParam = 0;
  SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

  const bool hasTitle = settings.title.has_value() && !settings.title->empty();
  if ((hasTitle || settings.icon != 0) && settings.title.has_value()) {
    SendMessageW(window_, TTM_SETTITLEW, static_cast<WPARAM>(settings.icon),
                 reinterpret_cast<LPARAM>(settings.title->c_str()));
  }

  SendMessageW(window_, TTM_SETMAXTIPWIDTH, 0, kToolTipMaxWidth);
  if (settings.backColor != 0) {
    SendMessageW(window_, TTM_SETTIPBKCOLOR, TranslateOleColour(settings.backColor), 0);
  }
  return true;
}

}  // namespace quillon::winsvc
