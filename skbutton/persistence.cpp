// Loading from and saving to the container's property bag.
#include <cmath>

#include "../container/form_text.h"
#include "skbutton.h"

namespace quillon::controls {
namespace {

// The caption's read and write default. They are the same text so that every caption
// comes back as it was saved; empty, so that a bag without the key means no caption.
constexpr std::wstring_view kCaptionDefault = L"";

std::int32_t AsStored(OleColour c) { return static_cast<std::int32_t>(c); }
OleColour AsColour(std::int32_t v) { return static_cast<OleColour>(v); }

// Reads one key; a value that cannot be read is reported with its key and replaced by
// the read default, and loading goes on.
class Reader {
 public:
  Reader(const container::PropertyBag& bag, container::Site& site) : bag_(bag), site_(site) {}

  template <typename T, typename F>
  T Get(std::wstring_view key, T defaultValue, F read) {
    try {
      return read(key, defaultValue);
    } catch (const container::BagError& e) {
      ok_ = false;
      site_.ReportError(L"skbutton \"" + site_.DisplayName() + L"\": property \"" + std::wstring(key) +
                        L"\": " + container::FromUtf8Lossy(e.what()));
      return defaultValue;
    }
  }
  bool Bool(std::wstring_view key, bool d) {
    return Get(key, d, [this](auto k, bool v) { return bag_.ReadBool(k, v); });
  }
  std::uint8_t Byte(std::wstring_view key, std::uint8_t d) {
    return Get(key, d, [this](auto k, std::uint8_t v) { return bag_.ReadByte(k, v); });
  }
  std::int16_t Int16(std::wstring_view key, std::int16_t d) {
    return Get(key, d, [this](auto k, std::int16_t v) { return bag_.ReadInt16(k, v); });
  }
  std::int32_t Int32(std::wstring_view key, std::int32_t d) {
    return Get(key, d, [this](auto k, std::int32_t v) { return bag_.ReadInt32(k, v); });
  }
  OleColour Colour(std::wstring_view key, OleColour d) { return AsColour(Int32(key, AsStored(d))); }
  std::wstring Text(std::wstring_view key, std::wstring_view d) {
    return Get(key, std::wstring(d), [this](auto k, const std::wstring& v) { return bag_.ReadText(k, v); });
  }
  container::FontDescription Font(std::wstring_view key, const container::FontDescription& d) {
    return Get(key, d, [this](auto k, const container::FontDescription& v) { return bag_.ReadFont(k, v); });
  }
  PicturePtr Picture(std::wstring_view key) {
    return Get(key, PicturePtr(), [this](auto k, const PicturePtr& v) { return bag_.ReadPicture(k, v); });
  }
  bool Ok() const { return ok_; }

 private:
  const container::PropertyBag& bag_;
  container::Site& site_;
  bool ok_ = true;
};

}  // namespace

bool skbutton::Load(const container::PropertyBag& bag) {
  Reader r(bag, site_);
  const OleColour buttonFace = site_.SystemColour(container::kColorBtnFace);
  const OleColour buttonText = site_.SystemColour(container::kColorBtnText);
  const OleColour infoBack = site_.SystemColour(container::kColorInfoBk);

  // Keys 1 to 28.
  buttonStyle_ = r.Int32(L"ButtonStyle", ButtonStyle::Flat);
  showFocusRect_ = r.Bool(L"ShowFocusRect", false);
  mFont_ = container::Font::Create(r.Font(L"Font", site_.AmbientFont()));
  SubscribeFont();
  surfaceFont_ = mFont_->Description();
  backColor_ = r.Colour(L"BackColor", buttonFace);
  enabled_ = r.Bool(L"Enabled", true);
  caption_ = r.Text(L"Caption", kCaptionDefault);
  value_ = r.Bool(L"Value", false);
  site_.SetMousePointer(r.Int16(L"MousePointer", container::kPointerDefault));
  handPointer_ = r.Bool(L"HandPointer", false);
  {
    PicturePtr icon = r.Picture(L"MouseIcon");
    try {
      site_.SetMouseIcon(std::move(icon));
    } catch (...) {
      // As the MouseIcon property: the pointer icon's errors are not the load's.
    }
  }
  pictureNormal_ = r.Picture(L"PictureNormal");
  pictureHot_ = r.Picture(L"PictureHot");
  pictureDown_ = r.Picture(L"PictureDown");
  pictureShadow_ = r.Bool(L"PictureShadow", false);
  pictureOpacity_ = r.Byte(L"PictureOpacity", 255);
  pictureOpacityOnOver_ = r.Byte(L"PictureOpacityOnOver", 255);
  disabledPictureMode_ = r.Int32(L"DisabledPictureMode", DisabledPictureStyle::Faded);
  picturePushOnHover_ = r.Bool(L"PicturePushOnHover", false);
  pictureEffectOnOver_ = r.Int32(L"PictureEffectOnOver", PictureEffect::Brighten);
  pictureEffectOnDown_ = r.Int32(L"PictureEffectOnDown", PictureEffect::Darken);
  maskColor_ = r.Colour(L"MaskColor", 0xE0E0E0);
  useMaskColor_ = r.Bool(L"UseMaskColor", true);
  captionEffects_ = r.Int32(L"CaptionEffects", CaptionEffect::None);
  mode_ = r.Int32(L"Mode", ButtonMode::Push);
  pictureAlign_ = r.Int32(L"PictureAlign", PicturePosition::LeftOfCaption);
  captionAlign_ = r.Int32(L"CaptionAlign", CaptionAlignment::Center);
  foreColor_ = r.Colour(L"ForeColor", buttonText);
  foreColorHover_ = r.Colour(L"ForeColorHover", buttonText);
  surfaceForeColor_ = foreColor_;
  // Keys 29 to 37.
  dropDownSeparator_ = r.Bool(L"DropDownSeparator", false);
  tooltipTitle_ = r.Text(L"TooltipTitle", L"");
  toolTip_ = r.Text(L"ToolTip", L"");
  toolTipIcon_ = r.Int32(L"TooltipIcon", TooltipIconKind::None);
  toolTipType_ = r.Int32(L"TooltipType", TooltipStyle::Standard);
  tooltipBackColor_ = r.Colour(L"TooltipBackColor", infoBack);
  captionRightToLeft_ = r.Bool(L"RightToLeft", false);
  tooltipRightToLeft_ = r.Bool(L"RightToLeft", false);
  dropDownSymbol_ = r.Int32(L"DropDownSymbol", DropDownSymbol::None);
  colorScheme_ = r.Int32(L"ColorScheme", ColorScheme::Blue);

  site_.SetWindowEnabled(enabled_);
  UpdateAccessKeys();
  SetCachedSize(static_cast<std::int32_t>(std::nearbyint(site_.ScaleWidth())),
                static_cast<std::int32_t>(std::nearbyint(site_.ScaleHeight())));
  parentWindow_ = site_.ParentWindow();

  if (handPointer_) {
    if (handCursor_ == 0) handCursor_ = site_.LoadHandCursor();
    handPointer_ = handCursor_ != 0;
  }
  OnResize();
  if (site_.UserMode()) StartWindowServices();
  return r.Ok();
}

void skbutton::StartWindowServices() {
  if (services_ == nullptr) return;
  const WindowHandle own = site_.Window();
  try {
    mouseLeaveAvailable_ = services_->IsFunctionExported(L"TrackMouseEvent", L"User32");
    // Probed as the original did; the answer is not used.
    if (!mouseLeaveAvailable_) services_->IsFunctionExported(L"_TrackMouseEvent", L"ComCtl32");
    if (!services_->HookWindow(own)) return;
    if (!services_->HookWindow(parentWindow_)) return;
    services_->HookMessage(own, kWmMouseLeave, kPhaseAfter);
    services_->HookMessage(own, kWmThemeChanged, kPhaseAfter);
    if (services_->IsThemed()) services_->HookMessage(own, kWmSysColorChange, kPhaseAfter);
  } catch (...) {
    return;
  }
  try {
    std::optional<bool> mdiChild;
    try {
      mdiChild = site_.ParentIsMdiChild();
    } catch (...) {
    }
    services_->HookMessage(parentWindow_, mdiChild.value_or(true) ? kWmNcActivate : kWmActivate, kPhaseAfter);
  } catch (...) {
  }
}

void skbutton::Save(container::PropertyBag& bag) const {
  const OleColour buttonFace = site_.SystemColour(container::kColorBtnFace);
  const OleColour buttonText = site_.SystemColour(container::kColorBtnText);
  const OleColour infoBack = site_.SystemColour(container::kColorInfoBk);
  const container::FontDescription ambient = site_.AmbientFont();
  auto colour = [](OleColour c) { return container::Value(AsStored(c)); };
  auto i32 = [](std::int32_t v) { return container::Value(v); };
  auto boolean = [](bool v) { return container::Value(v); };
  auto text = [](std::wstring_view v) { return container::Value(std::wstring(v)); };
  auto picture = [](const PicturePtr& p) { return container::Value(p); };
  const container::Value none;

  bag.Write(L"ButtonStyle", i32(buttonStyle_), i32(ButtonStyle::Flat));
  bag.Write(L"ShowFocusRect", boolean(showFocusRect_), boolean(false));
  bag.Write(L"Enabled", boolean(enabled_), boolean(true));
  bag.Write(L"Font", mFont_ ? container::Value(mFont_->Description()) : container::Value(ambient), ambient);
  bag.Write(L"BackColor", colour(backColor_), colour(buttonFace));
  bag.Write(L"Caption", text(caption_), text(kCaptionDefault));
  bag.Write(L"ForeColor", colour(foreColor_), colour(buttonText));
  bag.Write(L"ForeColorHover", colour(foreColorHover_), colour(buttonText));
  bag.Write(L"Mode", i32(mode_), i32(ButtonMode::Push));
  bag.Write(L"Value", boolean(value_), boolean(false));
  bag.Write(L"MousePointer", container::Value(site_.MousePointer()), container::Value(container::kPointerDefault));
  bag.Write(L"HandPointer", boolean(handPointer_), boolean(false));
  bag.Write(L"MouseIcon", picture(site_.MouseIcon()), none);
  bag.Write(L"PictureNormal", picture(pictureNormal_), none);
  bag.Write(L"PictureHot", picture(pictureHot_), none);
  bag.Write(L"PictureDown", picture(pictureDown_), none);
  bag.Write(L"PictureAlign", i32(pictureAlign_), i32(PicturePosition::LeftOfCaption));
  bag.Write(L"PictureEffectOnOver", i32(pictureEffectOnOver_), i32(PictureEffect::Brighten));
  bag.Write(L"PictureEffectOnDown", i32(pictureEffectOnDown_), i32(PictureEffect::Darken));
  bag.Write(L"PicturePushOnHover", boolean(picturePushOnHover_), boolean(false));
  bag.Write(L"PictureShadow", boolean(pictureShadow_), boolean(false));
  bag.Write(L"PictureOpacity", container::Value(pictureOpacity_), container::Value(std::uint8_t{255}));
  bag.Write(L"PictureOpacityOnOver", container::Value(pictureOpacityOnOver_), container::Value(std::uint8_t{255}));
  bag.Write(L"DisabledPictureMode", i32(disabledPictureMode_), i32(DisabledPictureStyle::Faded));
  // Its write default is text, never equal to a number: the key is always written.
  bag.Write(L"CaptionEffects", i32(captionEffects_), text(L""));
  bag.Write(L"UseMaskColor", boolean(useMaskColor_), boolean(true));
  bag.Write(L"MaskColor", colour(maskColor_), colour(0xE0E0E0));
  bag.Write(L"CaptionAlign", i32(captionAlign_), i32(CaptionAlignment::Center));
  bag.Write(L"ToolTip", text(toolTip_), text(L""));
  bag.Write(L"TooltipType", i32(toolTipType_), i32(TooltipStyle::Standard));
  bag.Write(L"TooltipIcon", i32(toolTipIcon_), i32(TooltipIconKind::None));
  bag.Write(L"TooltipTitle", text(tooltipTitle_), text(L""));
  bag.Write(L"TooltipBackColor", colour(tooltipBackColor_), colour(infoBack));
  bag.Write(L"RightToLeft", boolean(captionRightToLeft_), boolean(false));
  bag.Write(L"DropDownSymbol", i32(dropDownSymbol_), i32(DropDownSymbol::None));
  bag.Write(L"DropDownSeparator", boolean(dropDownSeparator_), boolean(false));
  bag.Write(L"ColorScheme", i32(colorScheme_), i32(ColorScheme::Blue));
}

}  // namespace quillon::controls
