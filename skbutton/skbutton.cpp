#include "skbutton.h"

#include <cmath>
#include <stdexcept>

#include "color_schemes.h"

namespace quillon::controls {
namespace {

std::int32_t RoundToEven(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }

// Runs one step of a sequence whose failures must not stop the next step.
template <typename F>
void IgnoringErrors(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

skbutton::skbutton(container::Site& site) : site_(site) {
  for (std::uint32_t v = 0; v < 256; ++v) {
    lightTable_[v] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, v * 293 / 255));
    darkTable_[v] = static_cast<std::uint8_t>(v * 217 / 255);
  }
  site_.LoadShellLibrary();
  shellLibraryLoaded_ = true;
  ntPlatform_ = site_.IsNtPlatform();
}

skbutton::~skbutton() {
  IgnoringErrors([this] {
    fontSubscription_.Reset();
    mFont_.reset();
  });
  IgnoringErrors([this] {
    if (shellLibraryLoaded_) {
      shellLibraryLoaded_ = false;
      site_.FreeShellLibrary();
    }
  });
  IgnoringErrors([this] { UnsetPopupMenu(); });
  IgnoringErrors([this] {
    if (site_.UserMode() && services_ != nullptr) services_->UnhookAll();
  });
}

void skbutton::InitNew() {
  showFocusRect_ = true;
  enabled_ = true;
  buttonStyle_ = ButtonStyle::SystemTheme;
  caption_ = site_.DisplayName();
  container::FontDescription surface = site_.AmbientFont();
  surface.face = L"Tahoma";
  surfaceFont_ = surface;
  mFont_ = container::Font::Create(surface);
  SubscribeFont();
  FontChanged();
  pictureOpacity_ = 255;
  pictureOpacityOnOver_ = 255;
  pictureAlign_ = PicturePosition::LeftOfCaption;
  captionAlign_ = CaptionAlignment::Center;
  useMaskColor_ = true;
  maskColor_ = 0xE0E0E0;
  SetCachedSize(RoundToEven(site_.ScaleWidth()), RoundToEven(site_.ScaleHeight()));
  DefaultColorScheme();
  ApplyColorScheme();
  site_.Refresh();
}

void skbutton::OnShow() { site_.SetExtenderToolTipText(L""); }

void skbutton::OnHide() { site_.SetExtenderToolTipText(toolTip_); }

// ---- Infrastructure ----

void skbutton::Notify(std::wstring_view name) { site_.PropertyChanged(name); }

void skbutton::SetCachedSize(std::int32_t width, std::int32_t height) {
  cachedWidth_ = width;
  cachedHeight_ = height;
}

std::int32_t skbutton::SettleShownState() {
  if (mode_ != ButtonMode::Push && buttonStyle_ != ButtonStyle::Classic &&
      buttonStyle_ != ButtonStyle::SilverToolbar && value_) {
    state_ = ButtonState::Down;
  }
  return state_;
}

void skbutton::ApplyThemeFallback() {
  buttonStyle_ = ButtonStyle::Rounded;
  colorScheme_ = ColorScheme::Blue;
  ApplyColorScheme();
}

void skbutton::Redraw() {
  SettleShownState();
  if (buttonStyle_ == ButtonStyle::SystemTheme && services_ != nullptr && !services_->IsThemed()) {
    ApplyThemeFallback();
  }
  if (renderer_ != nullptr) renderer_->Redraw();
}

void skbutton::RebuildRegion() {
  if (renderer_ != nullptr) renderer_->RebuildRegion();
}

void skbutton::DefaultColorScheme() { colorScheme_ = DefaultSchemeFor(buttonStyle_, colorScheme_); }

void skbutton::ApplyColorScheme() {
  if (auto back = SchemeBackColor(buttonStyle_, colorScheme_, site_.SystemColour(container::kColorBtnFace))) {
    backColor_ = *back;
  }
  foreColor_ = site_.SystemColour(container::kColorBtnText);
  showFocusRect_ = SchemeShowsFocusRect(buttonStyle_);
  if (buttonStyle_ == ButtonStyle::Plain) picturePushOnHover_ = true;
}

void skbutton::SubscribeFont() {
  fontSubscription_.Reset();
  if (mFont_) fontSubscription_ = mFont_->Subscribe([this](std::wstring_view) { FontChanged(); });
}

void skbutton::FontChanged() {
  if (mFont_) surfaceFont_ = mFont_->Description();
  site_.Refresh();
  Redraw();
  Notify(L"Font");
}

// ---- Property setters ----

void skbutton::SetBackColor(OleColour v) {
  backColor_ = v;
  if (buttonStyle_ != ButtonStyle::Plain) colorScheme_ = ColorScheme::Custom;
  Redraw();
  Notify(L"BackColor");
}

void skbutton::SetButtonStyle(std::int32_t v) {
  buttonStyle_ = v;
  DefaultColorScheme();
  ApplyColorScheme();
  RebuildRegion();
  Redraw();
  Notify(L"ButtonStyle");
}

void skbutton::SetCaption(std::wstring v) {
  caption_ = std::move(v);
  UpdateAccessKeys();
  Redraw();
  Notify(L"Caption");
}

void skbutton::SetCaptionAlign(std::int32_t v) {
  ChangeLook(captionAlign_, v, L"CaptionAlign");
}

void skbutton::SetDropDownSymbol(std::int32_t v) {
  ChangeLook(dropDownSymbol_, v, L"DropDownSymbol");
}

void skbutton::SetDropDownSeparator(bool v) {
  ChangeLook(dropDownSeparator_, v, L"DropDownSeparator");
}

void skbutton::SetDisabledPictureMode(std::int32_t v) {
  ChangeLook(disabledPictureMode_, v, L"DisabledPictureMode");
}

void skbutton::SetEnabled(bool v) {
  enabled_ = v;
  site_.SetWindowEnabled(v);
  Redraw();
  Notify(L"Enabled");
}

void skbutton::SetFont(container::FontPtr font) {
  if (!font) throw std::invalid_argument("Font needs a font object");
  mFont_ = std::move(font);
  SubscribeFont();
  site_.Refresh();
  Redraw();
  Notify(L"Font");
  FontChanged();
}

void skbutton::SetForeColor(OleColour v) {
  foreColor_ = v;
  ChangeLook(surfaceForeColor_, v, L"ForeColor");
}

void skbutton::SetForeColorHover(OleColour v) {
  ChangeLook(foreColorHover_, v, L"ForeColorHover");
}

void skbutton::SetHandPointer(bool v) {
  handPointer_ = v;
  if (v) {
    site_.SetMousePointer(container::kPointerDefault);
    if (handCursor_ == 0) handCursor_ = site_.LoadHandCursor();
    if (handCursor_ == 0) handPointer_ = false;
  }
  Redraw();
  Notify(L"HandPointer");
}

void skbutton::SetMaskColor(OleColour v) {
  ChangeLook(maskColor_, v, L"MaskColor");
}

void skbutton::SetMode(std::int32_t v) {
  mode_ = v;
  if (v == ButtonMode::Push) state_ = ButtonState::Normal;
  Redraw();
  Notify(L"Value");
  Notify(L"Mode");
}

void skbutton::SetMouseIcon(PicturePtr p) {
  const bool isPicture = p != nullptr;
  IgnoringErrors([&] { site_.SetMouseIcon(std::move(p)); });
  if (isPicture) {
    handPointer_ = false;
    Notify(L"HandPointer");
    site_.SetMousePointer(container::kPointerCustom);
  } else {
    site_.SetMousePointer(container::kPointerDefault);
  }
  Notify(L"MouseIcon");
}

void skbutton::SetMousePointer(std::int16_t v) {
  site_.SetMousePointer(v);
  Notify(L"MousePointer");
}

void skbutton::SetPictureNormal(PicturePtr p) {
  pictureNormal_ = std::move(p);
  if (pictureNormal_) {
    Redraw();
    Notify(L"PictureNormal");
    return;
  }
  OnResize();
  pictureHot_.reset();
  pictureDown_.reset();
  Notify(L"PictureHot");
  Notify(L"PictureDown");
}

void skbutton::SetPictureHot(PicturePtr p) {
  if (!pictureNormal_) {
    pictureNormal_ = std::move(p);
    Notify(L"PictureNormal");
    return;
  }
  pictureHot_ = std::move(p);
  Notify(L"PictureHot");
  Redraw();
}

void skbutton::SetPictureDown(PicturePtr p) {
  if (!pictureNormal_) {
    pictureNormal_ = std::move(p);
    Notify(L"PictureNormal");
    return;
  }
  pictureDown_ = std::move(p);
  Notify(L"PictureDown");
  Redraw();
}

void skbutton::SetPictureAlign(std::int32_t v) {
  pictureAlign_ = v;
  if (pictureNormal_) Redraw();
  Notify(L"PictureAlign");
}

void skbutton::SetPictureShadow(bool v) {
  ChangeLook(pictureShadow_, v, L"PictureShadow");
}

void skbutton::SetPictureEffectOnOver(std::int32_t v) {
  ChangeLook(pictureEffectOnOver_, v, L"PictureEffectOnOver");
}

void skbutton::SetPictureEffectOnDown(std::int32_t v) {
  ChangeLook(pictureEffectOnDown_, v, L"PictureEffectOnDown");
}

void skbutton::SetPicturePushOnHover(bool v) {
  ChangeLook(picturePushOnHover_, v, L"PicturePushOnHover");
}

void skbutton::SetPictureOpacity(std::uint8_t v) {
  ChangeLook(pictureOpacity_, v, L"PictureOpacity");
}

void skbutton::SetPictureOpacityOnOver(std::uint8_t v) {
  ChangeLook(pictureOpacityOnOver_, v, L"PictureOpacityOnOver");
}

void skbutton::SetRightToLeft(bool v) {
  captionRightToLeft_ = v;
  ChangeLook(tooltipRightToLeft_, v, L"RightToLeft");
}

void skbutton::SetCaptionEffects(std::int32_t v) {
  ChangeLook(captionEffects_, v, L"CaptionEffects");
}

void skbutton::SetShowFocusRect(bool v) {
  showFocusRect_ = v;
  Notify(L"ShowFocusRect");
}

void skbutton::SetUseMaskColor(bool v) {
  useMaskColor_ = v;
  if (pictureNormal_) Redraw();
  Notify(L"UseMaskColor");
}

void skbutton::SetValue(bool v) {
  if (mode_ == ButtonMode::Push) {
    state_ = ButtonState::Normal;
    Redraw();
    return;
  }
  value_ = v;
  if (!v) state_ = ButtonState::Normal;
  Redraw();
  Notify(L"Value");
}

void skbutton::SetTooltipTitle(std::wstring v) {
  ChangeLook(tooltipTitle_, std::move(v), L"TooltipTitle");
}

void skbutton::SetToolTip(std::wstring v) {
  ChangeLook(toolTip_, std::move(v), L"ToolTip");
}

void skbutton::SetTooltipBackColor(OleColour v) {
  ChangeLook(tooltipBackColor_, v, L"TooltipBackColor");
}

void skbutton::SetToolTipIcon(std::int32_t v) {
  ChangeLook(toolTipIcon_, v, L"ToolTipIcon");
}

void skbutton::SetToolTipType(std::int32_t v) {
  ChangeLook(toolTipType_, v, L"ToolTipType");
}

void skbutton::SetColorScheme(std::int32_t v) {
  colorScheme_ = v;
  ApplyColorScheme();
  Redraw();
  Notify(L"ColorScheme");
}

}  // namespace quillon::controls
