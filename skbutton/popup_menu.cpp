// The drop-down menu, the About box and the web-page method.
#include <cmath>
#include <limits>
#include <stdexcept>

#include "skbutton.h"

namespace quillon::controls {

std::optional<PopupPlacement> PlacePopupMenu(std::int32_t align, std::int32_t flags, float width, float height) {
  using container::kPopupBottomAlign;
  using container::kPopupRightAlign;
  switch (align) {
    case PopupMenuAlign::Bottom: return PopupPlacement{0, height, flags};
    case PopupMenuAlign::Top: return PopupPlacement{0, 0, kPopupBottomAlign};
    // Right alignment is or-ed in rather than added, so that showing the menu again does
    // not carry the bit into the next flag.
    case PopupMenuAlign::Left: return PopupPlacement{0, 0, flags | kPopupRightAlign};
    case PopupMenuAlign::Right: return PopupPlacement{width, 0, flags};
    case PopupMenuAlign::TopLeft: return PopupPlacement{0, 0, kPopupRightAlign | kPopupBottomAlign};
    case PopupMenuAlign::BottomLeft: return PopupPlacement{0, height, flags | kPopupRightAlign};
    case PopupMenuAlign::TopRight: return PopupPlacement{width, 0, kPopupBottomAlign};
    case PopupMenuAlign::BottomRight: return PopupPlacement{width, height, flags};
    default: return std::nullopt;
  }
}

void skbutton::SetPopupMenu(std::shared_ptr<container::Object> menu, std::int32_t align, double flags,
                            container::MenuPtr defaultMenu) {
  auto asMenu = std::dynamic_pointer_cast<container::Menu>(menu);
  if (!asMenu) return;
  // Nearest integer, ties to even, as the container's conversion to a 32-bit integer.
  const double rounded = std::nearbyint(flags);
  if (!std::isfinite(rounded) || rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    throw std::range_error("menu flags do not fit a 32-bit integer");
  }
  menu_ = std::move(asMenu);
  menuAlign_ = align;
  menuFlags_ = static_cast<std::int32_t>(rounded);
  defaultMenu_ = std::move(defaultMenu);
  menuAttached_ = true;
}

void skbutton::UnsetPopupMenu() {
  menu_.reset();
  defaultMenu_.reset();
  menuAttached_ = false;
  menuJustClosed_ = false;
}

void skbutton::ShowPopupMenu() {
  SetCachedSize(static_cast<std::int32_t>(std::nearbyint(site_.ScaleWidth())),
                static_cast<std::int32_t>(std::nearbyint(site_.ScaleHeight())));
  menuOpen_ = true;
  const auto place = PlacePopupMenu(menuAlign_, menuFlags_, static_cast<float>(cachedWidth_),
                                    static_cast<float>(cachedHeight_));
  if (!place || !menu_) {
    menuOpen_ = false;
    return;
  }
  menuFlags_ = place->flags;
  // Held for the modal loop: a menu item may detach the menu meanwhile.
  const container::MenuPtr menu = menu_;
  const container::MenuPtr defaultItem = defaultMenu_;
  site_.ShowPopupMenu(*menu, place->x, place->y, place->flags, defaultItem.get());
  if (site_.CursorOverControl()) {
    menuJustClosed_ = true;
    return;
  }
  mouseHeld_ = false;
  mouseOver_ = false;
  spaceHeld_ = false;
  state_ = ButtonState::Normal;
  menuJustClosed_ = false;
  menuOpen_ = false;
  Redraw();
}

void skbutton::OpenWebsite(std::wstring_view address) { site_.ShellOpen(address); }

void skbutton::About() {
  site_.MessageBox(
      L"SKButton v 1.02\r\n"
      L"Skinned button control of Quillon\r\n"
      L"Questions and reports: the Quillon team\r\n"
      L"\r\n"
      L"All rights reserved.",
      L"About", container::MessageBoxIcon::Information);
}

}  // namespace quillon::controls
