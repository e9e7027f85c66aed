// The numbers of skbutton's enumerations, as stored and persisted. Properties hold plain
// 32-bit integers (out-of-range values are stored unchanged), so these are constants.
#pragma once

#include <cstdint>

namespace quillon::controls {

struct ButtonStyle {
  enum : std::int32_t {
    Classic = 0, Flat = 1, Rounded = 2, Glass = 3, Plain = 4, GoldHover = 5, SilverToolbar = 6,
    BlueToolbar = 7, OrangeGloss = 8, WhiteGloss = 9, SoftGradient = 10, HoverRaised = 11,
    HoverThin = 12, SystemTheme = 13
  };
};

struct ButtonState {
  enum : std::int32_t { Normal = 0, Hot = 1, Down = 2 };
};

struct ColorScheme {
  enum : std::int32_t { Blue = 0, Olive = 1, Silver = 2, Custom = 3 };
};

struct ButtonMode {
  enum : std::int32_t { Push = 0, Check = 1, Option = 2 };
};

struct CaptionAlignment {
  enum : std::int32_t { Left = 0, Center = 1, Right = 2 };
};

struct PicturePosition {
  enum : std::int32_t {
    LeftEdge = 0, LeftOfCaption = 1, RightEdge = 2, RightOfCaption = 3, Center = 4, TopEdge = 5,
    TopOfCaption = 6, BottomEdge = 7, BottomOfCaption = 8
  };
};

struct PictureEffect {
  enum : std::int32_t { None = 0, Brighten = 1, Darken = 2 };
};

struct DisabledPictureStyle {
  enum : std::int32_t { Faded = 0, Grayscale = 1 };
};

struct CaptionEffect {
  enum : std::int32_t { None = 0, Raised = 1, Sunken = 2, Shadow = 3, Glow = 4, Outline = 5 };
};

struct DropDownSymbol {
  enum : std::int32_t { None = 0, ArrowLeft = 3, ArrowRight = 4, ArrowUp = 5, ArrowDown = 6 };
};

struct TooltipStyle {
  enum : std::int32_t { Standard = 0, Balloon = 1 };
};

struct TooltipIconKind {
  enum : std::int32_t { None = 0, Info = 1, Warning = 2, Error = 3 };
};

struct PopupMenuAlign {
  enum : std::int32_t {
    Bottom = 0, Top = 1, Left = 2, Right = 3, TopLeft = 4, BottomLeft = 5, TopRight = 6, BottomRight = 7
  };
};

// Dispatch identifiers of the events. MouseMove is declared without one and never raised.
struct EventId {
  enum : std::int32_t {
    Click = -600, DblClick = -601, MouseEnter = 1, MouseLeave = 2, MouseUp = -607, MouseDown = -605,
    KeyDown = -602, KeyUp = -604, KeyPress = -603
  };
};

// Mouse buttons and modifier bits of the events.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

// Window messages the control subscribes to through the subclasser.
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmSysColorChange = 0x0015;
inline constexpr std::uint32_t kWmNcActivate = 0x0086;
inline constexpr std::uint32_t kWmMouseLeave = 0x02A3;
inline constexpr std::uint32_t kWmThemeChanged = 0x031A;
// Phase masks of HookMessage.
inline constexpr int kPhaseAfter = 1;
inline constexpr int kPhaseBefore = 2;

}  // namespace quillon::controls
