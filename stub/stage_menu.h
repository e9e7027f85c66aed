// The projector's menu on the stage (a right click): the playing controls, the quality, full
// screen and quitting, as projectors have them. A movie that hides its menu keeps only the last two.
#pragma once

#include <windows.h>

namespace quillon::stub {

enum class MenuCommand : UINT { None = 0, Play = 1, Loop, Rewind, Forward, Back, QualityLow, QualityHigh, FullScreen, Quit };

struct MenuState {
  bool controls = true;  // the movie left the playing controls shown
  bool playing = false, loop = true, lowQuality = false, fullScreen = false;
};

// Shows the menu at `screen` and waits for a choice; None when it was dismissed.
MenuCommand ShowStageMenu(HWND owner, POINT screen, const MenuState& state);

}  // namespace quillon::stub
