#include "button_form.h"

#include <commctrl.h>

#include <algorithm>

namespace quillon::controls::win {

ButtonForm::ButtonForm(HWND form, RendererFactory renderer) : form_(form), renderer_(std::move(renderer)) {}

ButtonForm::~ButtonForm() { DestroyAll(); }

ButtonSite& ButtonForm::Add(const ButtonPlacement& placement, const container::PropertyBag* bag,
                            ButtonEvents* events) {
  sites_.push_back(std::make_unique<ButtonSite>(*this, placement, renderer_));
  ButtonSite& site = *sites_.back();
  tabOrder_.push_back({&site, nullptr});
  skbutton& control = *site.control();
  control.SetEvents(events);
  if (bag != nullptr) {
    control.Load(*bag);
  } else {
    control.InitNew();
    control.OnResize();
  }
  if (placement.visible && site.hwnd() != nullptr) {
    ShowWindow(site.hwnd(), SW_SHOWNA);
    control.OnShow();
  }
  return site;
}

void ButtonForm::AddTabStop(HWND window) {
  if (window != nullptr) tabOrder_.push_back({nullptr, window});
}

ButtonSite* ButtonForm::Find(HWND window) const {
  for (const auto& site : sites_) {
    if (site->hwnd() == window && window != nullptr) return site.get();
  }
  return nullptr;
}

void ButtonForm::SetDefault(ButtonSite* site) {
  default_ = site;
  FocusChanged();
}

void ButtonForm::SetCancel(ButtonSite* site) { cancel_ = site; }

ButtonSite* ButtonForm::Focused() const { return Find(GetFocus()); }

bool ButtonForm::DisplaysAsDefault(const ButtonSite& site) const {
  if (const ButtonSite* focused = Focused()) return focused == &site;
  return default_ == &site;
}

void ButtonForm::FocusChanged() {
  std::vector<const ButtonSite*> now;
  for (const auto& site : sites_) {
    if (site->control() != nullptr && DisplaysAsDefault(*site)) now.push_back(site.get());
  }
  // Only the buttons whose ambient value changed are told.
  std::vector<ButtonSite*> changed;
  for (const auto& site : sites_) {
    const bool was = std::find(shownAsDefault_.begin(), shownAsDefault_.end(), site.get()) != shownAsDefault_.end();
    const bool is = std::find(now.begin(), now.end(), site.get()) != now.end();
    if (was != is) changed.push_back(site.get());
  }
  shownAsDefault_ = std::move(now);
  for (ButtonSite* site : changed) site->AmbientChanged(L"DisplayAsDefault");
}

namespace {

// The platform's full case mapping: access keys are kept and matched in lower case.
wchar_t LowerCase(wchar_t key) {
  wchar_t lower[1] = {key};
  CharLowerBuffW(lower, 1);
  return lower[0];
}

}  // namespace

ButtonSite* ButtonForm::ByAccessKey(wchar_t key) const {
  const wchar_t lower = LowerCase(key);
  for (const auto& site : sites_) {
    if (site->CanTakeFocus() && site->accessKeys().find(lower) != std::wstring::npos) return site.get();
  }
  return nullptr;
}

bool ButtonForm::PreTranslateMessage(const MSG& msg) {
  if (msg.hwnd == nullptr || (msg.hwnd != form_ && !IsChild(form_, msg.hwnd))) return false;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0 || (msg.lParam & (1 << 29)) != 0;
  if (msg.message == WM_KEYDOWN && !ctrl && !alt) {
    switch (msg.wParam) {
      case VK_TAB:
        MoveFocusFrom(GetFocus(), GetKeyState(VK_SHIFT) >= 0);
        return true;
      case VK_RETURN:
        // A focused button takes Enter itself (its own Click).
        if (Focused() == nullptr && default_ != nullptr && default_->CanTakeFocus()) {
          default_->control()->OnAccessKeyPress(13);
          return true;
        }
        return false;
      case VK_ESCAPE:
        if (cancel_ != nullptr && cancel_->CanTakeFocus()) {
          cancel_->control()->OnAccessKeyPress(27);
          return true;
        }
        return false;
      default:
        return false;
    }
  }
  if (msg.message == WM_SYSKEYDOWN && alt && !ctrl) {
    const UINT ch = MapVirtualKeyW(static_cast<UINT>(msg.wParam), MAPVK_VK_TO_CHAR) & 0xFFFFu;
    if (ch == 0 || ch == L' ') return false;  // Alt+Space stays the system menu's
    ButtonSite* site = ByAccessKey(static_cast<wchar_t>(ch));
    if (site == nullptr) return false;
    if (GetFocus() != site->hwnd()) SetFocus(site->hwnd());
    const auto key = static_cast<std::int16_t>(LowerCase(static_cast<wchar_t>(ch)));
    if (site->control() != nullptr) site->control()->OnAccessKeyPress(key);
    return true;
  }
  return false;
}

void ButtonForm::MoveFocus(ButtonSite* from, bool forward) {
  MoveFocusFrom(from != nullptr ? from->hwnd() : nullptr, forward);
}

void ButtonForm::MoveFocusFrom(HWND from, bool forward) {
  const auto windowOf = [](const TabStop& stop) { return stop.site != nullptr ? stop.site->hwnd() : stop.window; };
  const auto canTakeFocus = [&](const TabStop& stop) {
    if (stop.site != nullptr) return stop.site->CanTakeFocus();
    return IsWindow(stop.window) && IsWindowEnabled(stop.window) && IsWindowVisible(stop.window);
  };
  std::vector<const TabStop*> order;
  for (const TabStop& stop : tabOrder_) {
    if ((from != nullptr && windowOf(stop) == from) || canTakeFocus(stop)) order.push_back(&stop);
  }
  if (order.empty()) return;
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  const auto at =
      std::find_if(order.begin(), order.end(), [&](const TabStop* s) { return from != nullptr && windowOf(*s) == from; }) -
      order.begin();
  std::ptrdiff_t next;
  if (at == n) {
    next = forward ? 0 : n - 1;
  } else {
    next = forward ? (at + 1) % n : (at + n - 1) % n;
  }
  const TabStop& target = *order[static_cast<std::size_t>(next)];
  if (canTakeFocus(target)) SetFocus(windowOf(target));
}

void ButtonForm::DoEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ButtonForm::SetControlToolTip(ButtonSite& site, std::wstring_view text) {
  if (site.hwnd() == nullptr) return;
  if (tips_ == nullptr) {
    if (text.empty()) return;
    tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, form_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tips_ == nullptr) return;
  }
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = site.hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(site.hwnd());
  SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (text.empty()) return;
  std::wstring copy(text);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hinst = GetModuleHandleW(nullptr);
  tool.lpszText = copy.data();
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ButtonForm::DestroyAll() {
  default_ = nullptr;
  cancel_ = nullptr;
  shownAsDefault_.clear();
  tabOrder_.clear();
  // Newest first, so each button's form hook comes off the top of the chain.
  while (!sites_.empty()) sites_.pop_back();
  if (tips_ != nullptr && IsWindow(tips_)) DestroyWindow(tips_);
  tips_ = nullptr;
}

}  // namespace quillon::controls::win
