// The projector's menu on the stage (a right click): the playing controls, the quality, muting,
// full screen and quitting, as projectors have them. A movie that hides its menu keeps only the
// last three: they are the user's, not the movie's.
#pragma once

#include <windows.h>

namespace quillon::stub {

enum class MenuCommand : UINT {
  None = 0, Play = 1, Loop, Rewind, Forward, Back, QualityLow, QualityHigh, FullScreen, Quit, Mute
};

struct MenuState {
  bool controls = true;  // the movie left the playing controls shown
  bool playing = false, loop = true, lowQuality = false, fullScreen = false, muted = false;
};

// An owned menu, destroyed with its submenus.
class OwnedMenu {
 public:
  explicit OwnedMenu(HMENU menu) : menu_(menu) {}
  ~OwnedMenu() {
    if (menu_) DestroyMenu(menu_);
  }
  OwnedMenu(OwnedMenu&& other) noexcept : menu_(other.release()) {}
  OwnedMenu(const OwnedMenu&) = delete;
  OwnedMenu& operator=(const OwnedMenu&) = delete;
  HMENU get() const { return menu_; }
  // Hands the menu to a parent menu, which destroys it from then on.
  HMENU release() {
    HMENU m = menu_;
    menu_ = nullptr;
    return m;
  }

 private:
  HMENU menu_;
};

// The menu's items for `state`, each command's id its MenuCommand.
OwnedMenu BuildStageMenu(const MenuState& state);

// Shows the menu at `screen` and waits for a choice; None when it was dismissed.
MenuCommand ShowStageMenu(HWND owner, POINT screen, const MenuState& state);

}  // namespace quillon::stub
