// Keys as the window reports them, turned into the player's key codes (Key.getCode) and
// characters (Key.getAscii).
#pragma once

#include <windows.h>

namespace quillon::stub {

struct PlayerKey {
  int code = 0;   // 0 for a key the player has no code for
  int ascii = 0;  // the character it types now, 0 for none
};

// The key of a WM_KEYDOWN or WM_KEYUP (its wParam), with the keyboard as it is now.
PlayerKey KeyOf(WPARAM virtualKey);

}  // namespace quillon::stub
