// The Plain style: a flat face, lighter under the mouse and darker when pressed or latched,
// with a one-pixel border whose colours come from the colour scheme.
#pragma once

#include "painters.h"

namespace quillon::render {

// The face base and border colour of a colour scheme; the Custom scheme derives both from
// the back colour, a scheme outside 0..3 gives black for both.
struct PlainSchemeColours {
  Colour face;
  Colour border;
  friend bool operator==(const PlainSchemeColours&, const PlainSchemeColours&) = default;
};
PlainSchemeColours PlainColoursFor(int colorScheme, Colour backColour);

}  // namespace quillon::render
