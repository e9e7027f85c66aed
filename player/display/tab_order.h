// The order Tab walks through the stage's focusable objects: by tabIndex when any object has
// one, else by where the objects stand on the stage, row by row from the top left.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace quillon::player {

struct TabStop {
  std::optional<double> tabIndex;   // set by a script; unset for the automatic order
  double x = 0, y = 0;              // the top left corner of what it covers, stage twips
  std::optional<bool> tabEnabled;   // as a script set it
  bool byDefault = false;           // whether its kind takes part when tabEnabled is unset
};

// Indexes into `stops`, given in stage order (parents before children, depth by depth).
// With any stop carrying a tabIndex, the stops with a tabIndex of 0 or more take part unless
// tabEnabled is false, in tabIndex order (ties keep stage order). Otherwise the enabled stops
// (tabEnabled, else their kind's default) take part ordered by y, then x; of stops at the same
// corner only the first in stage order remains.
std::vector<std::size_t> TabOrder(const std::vector<TabStop>& stops);

// The stop Tab (or Shift+Tab, `backwards`) goes to from `current` (an index into `stops`, or
// none), given `order` from TabOrder; none when the order is empty. A current stop outside the
// order goes to the first (last) in it, or in the automatic order to the next stop past its corner.
std::optional<std::size_t> NextTabStop(const std::vector<TabStop>& stops, const std::vector<std::size_t>& order,
                                       std::optional<std::size_t> current, bool backwards);

}  // namespace quillon::player
