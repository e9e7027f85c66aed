#include "display/tab_order.h"

#include <algorithm>

namespace quillon::player {
namespace {

bool Custom(const std::vector<TabStop>& stops) {
  return std::any_of(stops.begin(), stops.end(), [](const TabStop& s) { return s.tabIndex.has_value(); });
}

bool Before(const TabStop& a, const TabStop& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; }

bool SameCorner(const TabStop& a, const TabStop& b) { return a.x == b.x && a.y == b.y; }

}  // namespace

std::vector<std::size_t> TabOrder(const std::vector<TabStop>& stops) {
  std::vector<std::size_t> order;
  const bool custom = Custom(stops);
  for (std::size_t i = 0; i < stops.size(); ++i) {
    const TabStop& s = stops[i];
    if (custom ? !(s.tabIndex && *s.tabIndex >= 0 && s.tabEnabled.value_or(true)) : !s.tabEnabled.value_or(s.byDefault))
      continue;
    order.push_back(i);
  }
  if (custom) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return *stops[a].tabIndex < *stops[b].tabIndex; });
    return order;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return Before(stops[a], stops[b]); });
  // Stops sharing a corner are one stop to Tab: the first stays.
  order.erase(std::unique(order.begin(), order.end(),
                          [&](std::size_t a, std::size_t b) { return SameCorner(stops[a], stops[b]); }),
              order.end());
  return order;
}

std::optional<std::size_t> NextTabStop(const std::vector<TabStop>& stops, const std::vector<std::size_t>& order,
                                       std::optional<std::size_t> current, bool backwards) {
  if (order.empty()) return std::nullopt;
  const std::size_t n = order.size();
  if (current) {
    const auto at = std::find(order.begin(), order.end(), *current);
    if (at != order.end()) {
      const auto i = static_cast<std::size_t>(at - order.begin());
      return order[backwards ? (i + n - 1) % n : (i + 1) % n];
    }
    if (*current < stops.size() && !Custom(stops)) {
      // Not a stop itself (disabled, or sharing a corner): the next corner past its own.
      const TabStop& from = stops[*current];
      if (!backwards) {
        for (const std::size_t i : order)
          if (Before(from, stops[i])) return i;
        return order.front();
      }
      for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (Before(stops[*it], from)) return *it;
      return order.back();
    }
  }
  return backwards ? order.back() : order.front();
}

}  // namespace quillon::player
