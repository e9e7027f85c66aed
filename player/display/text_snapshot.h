// TextSnapshot and MovieClip.getTextSnapshot: the characters of a clip's static texts.
#pragma once

#include "avm1/machine.h"

namespace quillon::player {

class Player;

// After InstallMovieClip.
void InstallTextSnapshot(avm1::Machine& vm, Player& player);

}  // namespace quillon::player
