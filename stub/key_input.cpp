#include "key_input.h"

namespace quillon::stub {

PlayerKey KeyOf(WPARAM virtualKey) {
  PlayerKey key;
  const UINT vk = static_cast<UINT>(virtualKey);
  if (vk == 0 || vk > 255) return key;
  // The player's codes are the system's, with one code for either side of a modifier.
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: key.code = VK_SHIFT; break;
    case VK_LCONTROL: case VK_RCONTROL: key.code = VK_CONTROL; break;
    case VK_LMENU: case VK_RMENU: key.code = VK_MENU; break;
    default: key.code = static_cast<int>(vk); break;
  }
  switch (vk) {
    case VK_TAB: key.ascii = 9; return key;
    case VK_RETURN: key.ascii = 13; return key;
    case VK_ESCAPE: key.ascii = 27; return key;
    case VK_BACK: key.ascii = 8; return key;
    case VK_DELETE: key.ascii = 127; return key;
    case VK_SPACE: key.ascii = 32; return key;
    default: break;
  }
  BYTE state[256]{};
  if (!GetKeyboardState(state)) return key;
  wchar_t typed[4]{};
  // Flag 4 leaves the keyboard's dead-key state alone: the window's own WM_CHAR still follows.
  const int n = ToUnicode(vk, MapVirtualKeyW(vk, MAPVK_VK_TO_VSC), state, typed, 4, 4);
  if (n == 1 && typed[0] >= 32 && typed[0] < 127) key.ascii = typed[0];
  return key;
}

}  // namespace quillon::stub
