// Module Movetitle: the drag procedure that lets the borderless main window be moved by
// its own surface, chained on top of whatever window procedure the window had.
#pragma once

#include <windows.h>

namespace quillon::app::movetitle {

// Saves the window's current procedure and installs the drag procedure on top of it.
void Install(HWND form);

// Puts the saved procedure back.
void Restore(HWND form);

// The procedure the drag procedure passes every message to; null when none is installed.
WNDPROC SavedProcedure();

// Passes each message on unchanged, except that the window's own surface answers a hit
// test as caption, so a press there drags the window. Child windows keep their own tests.
LRESULT CALLBACK DragProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace quillon::app::movetitle
