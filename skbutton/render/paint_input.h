// What the redraw dispatcher and the painters read of a button: its properties, its state and
// the flags of the interaction state machine. The control fills one PaintInput from its model
// before each redraw; the few values rendering writes back go through RenderHost (redraw.h).
#pragma once

#include <cstdint>
#include <string>

#include "colour.h"
#include "enums.h"
#include "value.h"
#include "surface.h"

namespace quillon::render {

// The enumerations are the model's (enums.h); painters write ButtonStyle::Glass and so on.
using ButtonStyle = controls::ButtonStyle;
using ButtonState = controls::ButtonState;
inline constexpr int kButtonStyleCount = 14;

// Pictures are the container's: 32-bit top-down 0xAARRGGBB pixels whatever the source depth,
// with hasAlpha telling whether the alpha bytes carry transparency (32-bit bitmaps, icons).
using PictureData = container::Picture;
using PictureRef = container::PicturePtr;
using PictureKind = container::Picture::Kind;

inline bool PictureEmpty(const PictureData* picture) {
  return picture == nullptr || picture->width <= 0 || picture->height <= 0;
}

// The LOGFONT height for a font of the given size in points at the given dots per inch
// (-MulDiv(points, dpi, 72), rounded half away from zero as MulDiv does), and the whole
// description for the surface.
FontDesc ToFontDesc(const container::FontDescription& font, int dpi = 96);

struct PaintInput {
  // Properties.
  int buttonStyle = ButtonStyle::SystemTheme;
  int colorScheme = 0;
  OleColour backColor = 0;
  OleColour foreColor = 0;
  OleColour foreColorHover = 0;
  OleColour maskColor = 0xE0E0E0;
  bool enabled = true;
  bool showFocusRect = true;
  bool rightToLeft = false;
  std::wstring caption;
  FontDesc font;
  int captionAlign = 1;
  int captionEffects = 0;
  int pictureAlign = 1;
  PictureRef pictureNormal;
  PictureRef pictureHot;
  PictureRef pictureDown;
  bool pictureShadow = false;
  bool picturePushOnHover = false;
  int pictureEffectOnOver = 0;
  int pictureEffectOnDown = 0;
  int pictureOpacity = 255;
  int pictureOpacityOnOver = 255;
  bool useMaskColor = true;
  int disabledPictureMode = 0;
  int dropDownSymbol = 0;
  bool dropDownSeparator = false;
  int mode = 0;
  bool value = false;

  // The stored button state (ButtonState) and the flags of the interaction state machine.
  int state = 0;
  bool hasFocus = false;
  bool isDefault = false;  // the container's DisplayAsDefault
  bool parentActive = false;
  bool mouseOver = false;
  bool mouseHeld = false;
  bool spaceHeld = false;
  bool menuAttached = false;
  bool menuOpen = false;
  bool menuJustClosed = false;

  // The container's UserMode ambient flag (true at run time); false when it cannot be read.
  bool userMode = true;

  bool Checked() const { return mode != 0 && value; }
};

}  // namespace quillon::render
