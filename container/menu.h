// Portable menus for the popup-menu service: a tree of items, each with a caption and an
// action run when the user chooses it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon::container {

// Anything a host can hand to a control as an object argument.
class Object {
 public:
  virtual ~Object() = default;
};

class Menu : public Object {
 public:
  explicit Menu(std::wstring text = {}) : caption(std::move(text)) {}

  std::wstring caption;  // "-" makes a separator
  bool enabled = true;
  bool checked = false;
  std::function<void()> action;
  std::vector<std::shared_ptr<Menu>> items;

  Menu& Add(std::shared_ptr<Menu> item) {
    items.push_back(std::move(item));
    return *this;
  }
};
using MenuPtr = std::shared_ptr<Menu>;

// Flags of the popup-menu service: 8 puts the menu's right edge at the given point, 32 its
// bottom edge.
inline constexpr std::int32_t kPopupRightAlign = 8;
inline constexpr std::int32_t kPopupBottomAlign = 32;

}  // namespace quillon::container
