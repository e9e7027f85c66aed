// What skbutton calls out to besides its container: the renderer, the window services
// (subclassing, leave tracking, theme probe, tooltip) and the sink of its events. Each is
// optional; a control without one simply skips those calls.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon::controls {

// Drawing of the control. Redraw is called after skbutton has settled the shown state
// (the Value override) and, for SystemTheme without visual styles, after the fallback to
// Rounded; the renderer may repeat both, they are idempotent. The renderer refreshes the
// cached surface size through skbutton::SetCachedSize.
class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual void Redraw() = 0;
  virtual void RebuildRegion() = 0;
};

// Window services of the running control. Failures are reported by returning false or
// by throwing; the control then goes without leave detection and activation tracking.
class WindowServices {
 public:
  virtual ~WindowServices() = default;
  virtual bool IsFunctionExported(std::wstring_view function, std::wstring_view module) = 0;
  virtual bool HookWindow(std::uintptr_t window) = 0;
  // phase: kPhaseAfter, kPhaseBefore or both.
  virtual void HookMessage(std::uintptr_t window, std::uint32_t message, int phase) = 0;
  virtual void UnhookAll() = 0;
  // One WM_MOUSELEAVE for the window; only called when TrackMouseEvent was found.
  virtual void TrackMouseLeave(std::uintptr_t window) = 0;
  virtual bool IsThemed() = 0;
  // (Re)creates the tooltip from the control's tooltip properties. skbutton has already
  // checked Enabled, MenuJustClosed and the state.
  virtual void CreateToolTip() = 0;
};

// The ten events. Arguments are passed by reference as the container does; the control
// never reads them back. Default handlers do nothing.
class ButtonEvents {
 public:
  virtual ~ButtonEvents() = default;
  virtual void Click() {}
  virtual void DblClick() {}
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual void MouseMove(std::int16_t& /*button*/, std::int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
  virtual void MouseUp(std::int16_t& /*button*/, std::int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
  virtual void MouseDown(std::int16_t& /*button*/, std::int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
  virtual void KeyDown(std::int16_t& /*keyCode*/, std::int16_t& /*shift*/) {}
  virtual void KeyUp(std::int16_t& /*keyCode*/, std::int16_t& /*shift*/) {}
  virtual void KeyPress(std::int16_t& /*keyAscii*/) {}
};

}  // namespace quillon::controls
