// skbutton: the skinned push button. Its property model, persistence, interaction state
// machine, drop-down menu and lifecycle; portable. The host reaches it through the
// container::Site it was created with, feeds input through the On... entry points and
// receives the ten events through a ButtonEvents sink. Drawing and window services are
// seams (seams.h) that the Win32 side wires.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "../container/font.h"
#include "../container/menu.h"
#include "../container/property_bag.h"
#include "../container/site.h"
#include "enums.h"
#include "seams.h"

namespace quillon::controls {

using container::OleColour;
using container::PicturePtr;
using container::WindowHandle;

class skbutton : public container::Control {
 public:
  // Creation: effect tables, the shell library, the platform flag. The host then calls
  // InitNew (first placement) or Load (stored form), then OnResize, OnShow and OnPaint.
  explicit skbutton(container::Site& site);
  ~skbutton() override;  // the destruction sequence, every step's error ignored
  skbutton(const skbutton&) = delete;
  skbutton& operator=(const skbutton&) = delete;

  container::Site& HostSite() const override { return site_; }
  void SetRenderer(Renderer* renderer) { renderer_ = renderer; }
  void SetWindowServices(WindowServices* services) { services_ = services; }
  void SetEvents(ButtonEvents* events) { events_ = events; }

  // ---- Lifecycle and persistence ----
  void InitNew();
  // Reads the bag; false when a read failed (the load ended there, the reason went to
  // the site's ReportError).
  bool Load(const container::PropertyBag& bag);
  void Save(container::PropertyBag& bag) const;
  void OnShow();  // the container's own tooltip text is cleared
  void OnHide();  // ... and restored from ToolTip

  // ---- Properties, in declaration order ----
  OleColour BackColor() const { return backColor_; }
  void SetBackColor(OleColour v);
  std::int32_t ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(std::int32_t v);
  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring v);
  std::int32_t CaptionAlign() const { return captionAlign_; }
  void SetCaptionAlign(std::int32_t v);
  std::int32_t DropDownSymbol() const { return dropDownSymbol_; }
  void SetDropDownSymbol(std::int32_t v);
  bool DropDownSeparator() const { return dropDownSeparator_; }
  void SetDropDownSeparator(bool v);
  std::int32_t DisabledPictureMode() const { return disabledPictureMode_; }
  void SetDisabledPictureMode(std::int32_t v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  // mFont; the host may change its attributes, which redraws the control.
  const container::FontPtr& Font() const { return mFont_; }
  void SetFont(container::FontPtr font);
  OleColour ForeColor() const { return foreColor_; }
  void SetForeColor(OleColour v);
  OleColour ForeColorHover() const { return foreColorHover_; }
  void SetForeColorHover(OleColour v);
  bool HandPointer() const { return handPointer_; }
  void SetHandPointer(bool v);
  WindowHandle hwnd() const { return site_.Window(); }
  OleColour MaskColor() const { return maskColor_; }
  void SetMaskColor(OleColour v);
  std::int32_t Mode() const { return mode_; }
  void SetMode(std::int32_t v);
  PicturePtr MouseIcon() const { return site_.MouseIcon(); }
  void SetMouseIcon(PicturePtr p);
  std::int16_t MousePointer() const { return site_.MousePointer(); }
  void SetMousePointer(std::int16_t v);
  const PicturePtr& PictureNormal() const { return pictureNormal_; }
  void SetPictureNormal(PicturePtr p);
  const PicturePtr& PictureHot() const { return pictureHot_; }
  void SetPictureHot(PicturePtr p);
  const PicturePtr& PictureDown() const { return pictureDown_; }
  void SetPictureDown(PicturePtr p);
  std::int32_t PictureAlign() const { return pictureAlign_; }
  void SetPictureAlign(std::int32_t v);
  bool PictureShadow() const { return pictureShadow_; }
  void SetPictureShadow(bool v);
  std::int32_t PictureEffectOnOver() const { return pictureEffectOnOver_; }
  void SetPictureEffectOnOver(std::int32_t v);
  std::int32_t PictureEffectOnDown() const { return pictureEffectOnDown_; }
  void SetPictureEffectOnDown(std::int32_t v);
  bool PicturePushOnHover() const { return picturePushOnHover_; }
  void SetPicturePushOnHover(bool v);
  std::uint8_t PictureOpacity() const { return pictureOpacity_; }
  void SetPictureOpacity(std::uint8_t v);
  std::uint8_t PictureOpacityOnOver() const { return pictureOpacityOnOver_; }
  void SetPictureOpacityOnOver(std::uint8_t v);
  // Reads the caption-drawing flag; the tooltip flag is TooltipRightToLeft.
  bool RightToLeft() const { return captionRightToLeft_; }
  void SetRightToLeft(bool v);
  std::int32_t CaptionEffects() const { return captionEffects_; }
  void SetCaptionEffects(std::int32_t v);
  bool ShowFocusRect() const { return showFocusRect_; }
  void SetShowFocusRect(bool v);
  bool UseMaskColor() const { return useMaskColor_; }
  void SetUseMaskColor(bool v);
  bool Value() const { return value_; }
  void SetValue(bool v);
  const std::wstring& TooltipTitle() const { return tooltipTitle_; }
  void SetTooltipTitle(std::wstring v);
  const std::wstring& ToolTip() const { return toolTip_; }
  void SetToolTip(std::wstring v);
  OleColour TooltipBackColor() const { return tooltipBackColor_; }
  void SetTooltipBackColor(OleColour v);
  std::int32_t ToolTipIcon() const { return toolTipIcon_; }
  void SetToolTipIcon(std::int32_t v);
  std::int32_t ToolTipType() const { return toolTipType_; }
  void SetToolTipType(std::int32_t v);
  std::int32_t ColorScheme() const { return colorScheme_; }
  void SetColorScheme(std::int32_t v);

  // ---- Methods ----
  // Nothing happens when menu is null or not a container::Menu. flags is converted to a
  // 32-bit integer (nearest, ties to even); a value out of range throws std::range_error.
  void SetPopupMenu(std::shared_ptr<container::Object> menu, std::int32_t align, double flags,
                    container::MenuPtr defaultMenu);
  void UnsetPopupMenu();
  void OpenWebsite(std::wstring_view address);
  void About();

  // ---- Input from the container (mouse X, Y in the control's scale units, pixels) ----
  // Button: kLeftButton, kRightButton, kMiddleButton; Shift: kShiftMask | kCtrlMask | kAltMask.
  // A double click arrives as OnDblClick in place of the second OnMouseDown; its release
  // arrives as OnMouseUp. KeyCode is the virtual-key code (13 Enter, 32 Space, 37-40 the
  // arrows), KeyAscii the character. A disabled control gets none of these but
  // OnAccessKeyPress, which checks Enabled itself.
  void OnMouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void OnMouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void OnDblClick();
  void OnKeyDown(std::int16_t keyCode, std::int16_t shift);
  void OnKeyUp(std::int16_t keyCode, std::int16_t shift);
  void OnKeyPress(std::int16_t keyAscii);
  // The user typed the access key; also Enter (13) for the default button, Esc (27) for
  // the cancel button.
  void OnAccessKeyPress(std::int16_t keyAscii);
  void OnGotFocus();
  void OnLostFocus();
  void OnAmbientChanged(std::wstring_view name);
  void OnResize();  // minimum 220 x 220 container units, RebuildRegion, Redraw
  void OnPaint();

  // ---- Messages from the subclasser (registered at load in run mode) ----
  void Subclass_WndProc(bool before, bool& handled, std::int32_t& result, std::uintptr_t& window,
                        std::uint32_t& message, std::uintptr_t& wParam, std::intptr_t& lParam);
  void OnParentActivate(bool active);  // WM_ACTIVATE / WM_NCACTIVATE
  void OnSysColorChange();
  void OnThemeChanged();
  void OnMouseLeave();

  // ---- What the renderer and the window side read ----
  std::int32_t State() const { return state_; }
  bool HasFocus() const { return hasFocus_; }
  bool IsDefault() const { return isDefault_; }
  bool ParentActive() const { return parentActive_; }
  bool MouseOver() const { return mouseOver_; }
  bool MouseHeld() const { return mouseHeld_; }
  bool SpaceHeld() const { return spaceHeld_; }
  bool MenuAttached() const { return menuAttached_; }
  bool MenuOpen() const { return menuOpen_; }
  bool MenuJustClosed() const { return menuJustClosed_; }
  bool TooltipRightToLeft() const { return tooltipRightToLeft_; }
  bool IsNtPlatform() const { return ntPlatform_; }
  bool MouseLeaveAvailable() const { return mouseLeaveAvailable_; }
  WindowHandle ParentWindow() const { return parentWindow_; }
  // The drawing surface's font and text colour.
  const container::FontDescription& SurfaceFont() const { return surfaceFont_; }
  OleColour SurfaceForeColor() const { return surfaceForeColor_; }
  // A painter's write of ForeColor (SilverToolbar): stored for reading back, without the
  // setter's redraw and notification, which would re-enter the redraw that made it.
  void StoreForeColor(OleColour v) {
    foreColor_ = v;
    surfaceForeColor_ = v;
  }
  // Brighten and darken tables of the picture effects.
  const std::array<std::uint8_t, 256>& LightTable() const { return lightTable_; }
  const std::array<std::uint8_t, 256>& DarkTable() const { return darkTable_; }
  std::int32_t CachedWidth() const { return cachedWidth_; }
  std::int32_t CachedHeight() const { return cachedHeight_; }
  void SetCachedSize(std::int32_t width, std::int32_t height);
  const container::MenuPtr& AttachedMenu() const { return menu_; }
  const container::MenuPtr& DefaultMenuItem() const { return defaultMenu_; }
  std::int32_t MenuAlign() const { return menuAlign_; }
  std::int32_t MenuFlags() const { return menuFlags_; }

  // The Value override of the redraw: a Check/Option button whose Value is set shows Down
  // (not in styles Classic and SilverToolbar). Stores and returns the state to draw.
  std::int32_t SettleShownState();
  // SystemTheme without visual styles becomes Rounded with the Blue scheme, for good.
  void ApplyThemeFallback();
  // Colour schemes (color_schemes.h); neither redraws.
  void DefaultColorScheme();
  void ApplyColorScheme();

  // Runs the redraw: settles the state, applies the theme fallback when needed and
  // calls the renderer.
  void Redraw();
  void RebuildRegion();

 private:
  void Notify(std::wstring_view name);
  // Stores a property that only changes the look, redraws, then tells the container.
  template <typename T, typename V>
  void ChangeLook(T& field, V&& value, std::wstring_view name) {
    field = std::forward<V>(value);
    Redraw();
    Notify(name);
  }
  void SetState(std::int32_t s);    // store and redraw only when it changes
  void StoreState(std::int32_t s);  // store and redraw always
  void FontChanged();
  void SubscribeFont();
  void UpdateAccessKeys();
  void ResetOptionGroup();
  void ShowPopupMenu();
  void ShowToolTip();
  void HandCursorIfWanted();
  void StartWindowServices();
  void RaiseClick();
  void RaiseMouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void RaiseMouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void RaiseKeyDown(std::int16_t keyCode, std::int16_t shift);

  container::Site& site_;
  Renderer* renderer_ = nullptr;
  WindowServices* services_ = nullptr;
  ButtonEvents* events_ = nullptr;

  // Properties.
  OleColour backColor_ = 0;
  std::int32_t buttonStyle_ = 0;
  std::wstring caption_;
  std::int32_t captionAlign_ = 0;
  std::int32_t dropDownSymbol_ = 0;
  bool dropDownSeparator_ = false;
  std::int32_t disabledPictureMode_ = 0;
  bool enabled_ = false;
  container::FontPtr mFont_;
  container::FontSubscription fontSubscription_;
  OleColour foreColor_ = 0;
  OleColour foreColorHover_ = 0;
  bool handPointer_ = false;
  OleColour maskColor_ = 0;
  std::int32_t mode_ = 0;
  PicturePtr pictureNormal_;
  PicturePtr pictureHot_;
  PicturePtr pictureDown_;
  std::int32_t pictureAlign_ = 0;
  bool pictureShadow_ = false;
  std::int32_t pictureEffectOnOver_ = 0;
  std::int32_t pictureEffectOnDown_ = 0;
  bool picturePushOnHover_ = false;
  std::uint8_t pictureOpacity_ = 0;
  std::uint8_t pictureOpacityOnOver_ = 0;
  bool captionRightToLeft_ = false;
  bool tooltipRightToLeft_ = false;
  std::int32_t captionEffects_ = 0;
  bool showFocusRect_ = false;
  bool useMaskColor_ = false;
  bool value_ = false;
  std::wstring tooltipTitle_;
  std::wstring toolTip_;
  OleColour tooltipBackColor_ = 0;
  std::int32_t toolTipIcon_ = 0;
  std::int32_t toolTipType_ = 0;
  std::int32_t colorScheme_ = 0;

  // Private instance data.
  container::FontDescription surfaceFont_;
  OleColour surfaceForeColor_ = 0;
  std::uintptr_t handCursor_ = 0;
  std::int32_t cachedWidth_ = 0;
  std::int32_t cachedHeight_ = 0;
  WindowHandle parentWindow_ = 0;
  bool ntPlatform_ = false;
  bool shellLibraryLoaded_ = false;
  bool mouseLeaveAvailable_ = false;
  bool terminated_ = false;
  std::array<std::uint8_t, 256> lightTable_{};
  std::array<std::uint8_t, 256> darkTable_{};

  // Interaction.
  std::int32_t state_ = ButtonState::Normal;
  bool hasFocus_ = false;
  bool isDefault_ = false;
  bool parentActive_ = false;
  bool mouseOver_ = false;
  bool mouseHeld_ = false;
  bool spaceHeld_ = false;
  bool menuAttached_ = false;
  bool menuOpen_ = false;
  bool menuJustClosed_ = false;
  std::int16_t lastButton_ = 0;
  std::int16_t lastShift_ = 0;
  float lastX_ = 0;
  float lastY_ = 0;

  // Drop-down menu.
  container::MenuPtr menu_;
  container::MenuPtr defaultMenu_;
  std::int32_t menuAlign_ = 0;
  std::int32_t menuFlags_ = 0;
};

// The access key of a caption ("&" marks it, "&&" is a literal ampersand; only the first
// two ampersand groups are looked at), in lower case; empty when there is none.
std::wstring AccessKeyOf(std::wstring_view caption);

// Where the drop-down menu opens for an align, in the control's scale units, and the
// flags to show it with; nothing for an align outside 0 to 7.
struct PopupPlacement {
  float x = 0;
  float y = 0;
  std::int32_t flags = 0;
};
std::optional<PopupPlacement> PlacePopupMenu(std::int32_t align, std::int32_t flags, float width, float height);

}  // namespace quillon::controls
