// The interaction state machine: mouse, keys, access keys, focus, activation and the
// messages of the subclasser turned into the button state, Value changes and events.
#include <cmath>

#include "skbutton.h"

namespace quillon::controls {
namespace {

constexpr std::int16_t kKeyEnter = 13;
constexpr std::int16_t kKeyEsc = 27;
constexpr std::int16_t kKeySpace = 32;
constexpr std::int16_t kKeyLeft = 37;
constexpr std::int16_t kKeyUp = 38;
constexpr std::int16_t kKeyRight = 39;
constexpr std::int16_t kKeyDown = 40;
constexpr std::int32_t kMinimumExtent = 220;

wchar_t LowerChar(wchar_t c) {
  // Latin letters of ASCII and Latin-1, Greek and Cyrillic capitals: enough for access keys.
  if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<wchar_t>(c + 32);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<wchar_t>(c + 32);
  if (c >= 0x410 && c <= 0x42F) return static_cast<wchar_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 80);
  return c;
}

}  // namespace

std::wstring AccessKeyOf(std::wstring_view caption) {
  if (caption.size() < 2) return {};
  const std::size_t a = caption.find(L'&');
  if (a == std::wstring_view::npos || a + 1 >= caption.size()) return {};
  if (caption[a + 1] != L'&') return std::wstring(1, LowerChar(caption[a + 1]));
  // "&&" is a literal ampersand: look once more, from after it.
  const std::size_t b = caption.find(L'&', a + 2);
  if (b == std::wstring_view::npos) return {};
  if (b + 1 >= caption.size()) return {};
  if (caption[b + 1] == L'&') return {};
  return std::wstring(1, LowerChar(caption[b + 1]));
}

void skbutton::UpdateAccessKeys() {
  site_.SetAccessKeys(L"");
  const std::wstring key = AccessKeyOf(caption_);
  if (!key.empty()) site_.SetAccessKeys(key);
}

void skbutton::SetState(std::int32_t s) {
  if (state_ == s) return;
  state_ = s;
  Redraw();
}

void skbutton::StoreState(std::int32_t s) {
  state_ = s;
  Redraw();
}

void skbutton::HandCursorIfWanted() {
  if (handPointer_) site_.SetCursor(handCursor_);
}

void skbutton::RaiseClick() {
  if (events_ != nullptr) events_->Click();
}

void skbutton::RaiseMouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  if (events_ != nullptr) events_->MouseDown(button, shift, x, y);
}

void skbutton::RaiseMouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  if (events_ != nullptr) events_->MouseUp(button, shift, x, y);
}

void skbutton::RaiseKeyDown(std::int16_t keyCode, std::int16_t shift) {
  if (events_ != nullptr) events_->KeyDown(keyCode, shift);
}

void skbutton::ResetOptionGroup() {
  const WindowHandle container = site_.ContainerWindow();
  const WindowHandle own = site_.Window();
  for (container::Control* control : site_.FormControls()) {
    auto* other = dynamic_cast<skbutton*>(control);
    if (other == nullptr || other == this) continue;
    if (other->site_.ContainerWindow() != container) continue;
    if (other->mode_ != ButtonMode::Option || other->hwnd() == own) continue;
    other->SetValue(false);
  }
}

void skbutton::ShowToolTip() {
  if (!enabled_ || menuJustClosed_ || state_ == ButtonState::Down) return;
  if (services_ != nullptr) services_->CreateToolTip();
}

// ---- Mouse ----

void skbutton::OnMouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  // The form's own capture during an ordinary press (released at the release).
  if (button == kLeftButton) site_.SetCapture();
  lastButton_ = button;
  lastShift_ = shift;
  lastX_ = x;
  lastY_ = y;
  HandCursorIfWanted();
  if (button != kLeftButton && !menuJustClosed_) return;
  hasFocus_ = true;
  mouseHeld_ = true;
  if (!spaceHeld_) SetState(ButtonState::Down);
  if (!menuAttached_) {
    RaiseMouseDown(button, shift, x, y);
  } else if (!menuJustClosed_) {
    ShowPopupMenu();
  }
}

void skbutton::OnMouseMove(std::int16_t, std::int16_t, float, float) {
  HandCursorIfWanted();
  if (site_.CursorOverControl()) {
    mouseOver_ = true;
    if (services_ != nullptr && mouseLeaveAvailable_) services_->TrackMouseLeave(site_.Window());
    if (events_ != nullptr) events_->MouseEnter();
  } else {
    mouseOver_ = false;
  }
  if (spaceHeld_) return;
  if (mouseOver_) {
    if (mouseHeld_) {
      SetState(ButtonState::Down);
    } else if (state_ != ButtonState::Hot) {
      state_ = ButtonState::Hot;
      Redraw();
      if (state_ != ButtonState::Down) ShowToolTip();
    }
  } else {
    SetState(ButtonState::Normal);
  }
}

void skbutton::OnMouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  if (button == kLeftButton && site_.HasCapture() && !spaceHeld_) site_.ReleaseCapture();
  HandCursorIfWanted();
  if (menuAttached_) {
    mouseHeld_ = false;
    menuJustClosed_ = false;
    StoreState(ButtonState::Normal);
    return;
  }
  if (button == kLeftButton) {
    mouseHeld_ = false;
    const auto width = static_cast<float>(site_.ScaleWidth());
    const auto height = static_cast<float>(site_.ScaleHeight());
    if (x > 0 && y > 0 && x < width && y < height) {
      if (mode_ == ButtonMode::Check) {
        value_ = !value_;
        Redraw();
      } else if (mode_ == ButtonMode::Option) {
        ResetOptionGroup();
        value_ = true;
      }
      StoreState(ButtonState::Normal);
      RaiseClick();
    }
  }
  RaiseMouseUp(button, shift, x, y);
}

void skbutton::OnDblClick() {
  HandCursorIfWanted();
  if (lastButton_ != kLeftButton) return;
  site_.SetCapture();
  StoreState(ButtonState::Down);
  OnMouseDown(lastButton_, lastShift_, lastX_, lastY_);
  if (!menuAttached_) {
    if (events_ != nullptr) events_->DblClick();
  } else if (!menuJustClosed_) {
    ShowPopupMenu();
  }
}

// ---- Keyboard ----

void skbutton::OnKeyDown(std::int16_t keyCode, std::int16_t shift) {
  if (keyCode == kKeyEnter) {
    RaiseClick();
  } else if (keyCode == kKeySpace) {
    if (shift == kAltMask) return;
    if (mouseHeld_) {
      SetState(mouseOver_ ? ButtonState::Down : ButtonState::Normal);
    } else {
      spaceHeld_ = true;
      if (mode_ == ButtonMode::Check) {
        value_ = !value_;
      } else if (mode_ == ButtonMode::Option) {
        ResetOptionGroup();
        value_ = true;
      }
      SetState(ButtonState::Down);
    }
    if (!site_.HasCapture()) {
      site_.ReleaseCapture();
      site_.SetCapture();
    }
  } else if (keyCode == kKeyLeft || keyCode == kKeyUp) {
    site_.MoveFocus(false);
  } else if (keyCode == kKeyRight || keyCode == kKeyDown) {
    site_.MoveFocus(true);
  } else if (spaceHeld_) {
    spaceHeld_ = false;
    StoreState(ButtonState::Normal);
  }
  RaiseKeyDown(keyCode, shift);
}

void skbutton::OnKeyUp(std::int16_t keyCode, std::int16_t shift) {
  if (keyCode != kKeySpace) return;
  site_.ReleaseCapture();
  if (mouseOver_ && mouseHeld_) {
    SetState(ButtonState::Down);
  } else {
    SetState(mouseOver_ ? ButtonState::Hot : ButtonState::Normal);
    if (!mouseHeld_ && spaceHeld_) RaiseClick();
  }
  if (events_ != nullptr) events_->KeyUp(keyCode, shift);
  spaceHeld_ = false;
  mouseHeld_ = false;
}

void skbutton::OnKeyPress(std::int16_t keyAscii) {
  if (events_ != nullptr) events_->KeyPress(keyAscii);
}

void skbutton::OnAccessKeyPress(std::int16_t keyAscii) {
  if (!enabled_) return;
  if (spaceHeld_) {
    spaceHeld_ = false;
    mouseHeld_ = false;
  }
  const bool enterOrEsc = keyAscii == kKeyEsc || keyAscii == kKeyEnter;
  if (mode_ == ButtonMode::Check) {
    if (enterOrEsc) return;
    value_ = !value_;
    if (!value_) state_ = ButtonState::Normal;
    Redraw();
  } else if (mode_ == ButtonMode::Option) {
    if (enterOrEsc) return;
    ResetOptionGroup();
    value_ = true;
    Redraw();
  }
  site_.DoEvents();
  RaiseClick();
}

// ---- Focus, container notifications ----

void skbutton::OnGotFocus() { hasFocus_ = true; }

void skbutton::OnLostFocus() {
  hasFocus_ = false;
  mouseHeld_ = false;
  spaceHeld_ = false;
  if (parentActive_) {
    state_ = mouseOver_ ? ButtonState::Hot : ButtonState::Normal;
  } else {
    state_ = ButtonState::Normal;
  }
  Redraw();
}

void skbutton::OnAmbientChanged(std::wstring_view name) {
  isDefault_ = site_.DisplayAsDefault();
  if (container::KeyEquals(name, L"DisplayAsDefault") || container::KeyEquals(name, L"BackColor")) Redraw();
}

void skbutton::OnResize() {
  container::Extent e = site_.GetExtent();
  if (e.height < kMinimumExtent || e.width < kMinimumExtent) {
    if (e.height < kMinimumExtent) e.height = kMinimumExtent;
    if (e.width < kMinimumExtent) e.width = kMinimumExtent;
    site_.SetExtent(e);
  }
  RebuildRegion();
  Redraw();
}

void skbutton::OnPaint() { Redraw(); }

// ---- Subclassed messages ----

void skbutton::Subclass_WndProc(bool, bool&, std::int32_t&, std::uintptr_t&, std::uint32_t& message,
                                std::uintptr_t& wParam, std::intptr_t&) {
  switch (message) {
    case kWmActivate:
    case kWmNcActivate:
      OnParentActivate(wParam != 0);
      break;
    case kWmSysColorChange:
      OnSysColorChange();
      break;
    case kWmThemeChanged:
      OnThemeChanged();
      break;
    case kWmMouseLeave:
      OnMouseLeave();
      break;
    default:
      break;
  }
}

void skbutton::OnParentActivate(bool active) {
  if (active) {
    parentActive_ = true;
  } else {
    mouseHeld_ = false;
    spaceHeld_ = false;
    hasFocus_ = false;
    parentActive_ = false;
  }
  StoreState(ButtonState::Normal);
}

void skbutton::OnSysColorChange() { Redraw(); }

void skbutton::OnThemeChanged() { Redraw(); }

void skbutton::OnMouseLeave() {
  mouseOver_ = false;
  if (menuAttached_) {
    if (menuOpen_) {
      menuOpen_ = false;
      menuJustClosed_ = true;
      return;
    }
    menuJustClosed_ = false;
  }
  if (spaceHeld_) return;
  if (state_ != ButtonState::Normal) {
    state_ = ButtonState::Normal;
    Redraw();
  }
  if (events_ != nullptr) events_->MouseLeave();
}

}  // namespace quillon::controls
