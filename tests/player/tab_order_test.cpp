// The order Tab walks: rows from the top left without tabIndex, tabIndex order with it.
#include <gtest/gtest.h>

#include <vector>

#include "display/tab_order.h"

namespace quillon::player {
namespace {

using Order = std::vector<std::size_t>;

TabStop At(double x, double y, bool byDefault = true) {
  TabStop s;
  s.x = x * 20;
  s.y = y * 20;
  s.byDefault = byDefault;
  return s;
}

TabStop Indexed(double index, double x = 0, double y = 0) {
  TabStop s = At(x, y, false);
  s.tabIndex = index;
  return s;
}

TEST(TabOrder, RowsFromTheTopLeftWhateverTheStageOrder) {
  // A 2 x 2 grid given bottom right first: the top row comes first, left to right.
  const std::vector<TabStop> stops{At(100, 100), At(0, 100), At(100, 0), At(0, 0)};
  EXPECT_EQ(TabOrder(stops), (Order{3, 2, 1, 0}));
  // One twip higher is an earlier row, however far right.
  const std::vector<TabStop> rows{At(0, 10), At(500, 9.95)};
  EXPECT_EQ(TabOrder(rows), (Order{1, 0}));
}

TEST(TabOrder, OnlyTheFirstOfStopsSharingACornerRemains) {
  // Stops 0 and 1 share (10, 10); 3 shares (50, 10) with 2, which comes first in stage order.
  const std::vector<TabStop> stops{At(10, 10), At(10, 10), At(50, 10), At(50, 10), At(0, 50)};
  EXPECT_EQ(TabOrder(stops), (Order{0, 2, 4}));
  // From the dropped twin, Tab goes on to the next corner, and Shift+Tab to the one before.
  EXPECT_EQ(NextTabStop(stops, TabOrder(stops), 1, false), std::optional<std::size_t>(2));
  EXPECT_EQ(NextTabStop(stops, TabOrder(stops), 3, true), std::optional<std::size_t>(0));
}

TEST(TabOrder, TabEnabledOverridesTheKindsDefault) {
  std::vector<TabStop> stops{At(0, 0), At(10, 0, false), At(20, 0)};
  stops[1].tabEnabled = true;
  stops[2].tabEnabled = false;
  EXPECT_EQ(TabOrder(stops), (Order{0, 1}));
}

TEST(TabOrder, AnyTabIndexSwitchesToTheCustomOrder) {
  // Index order, ties in stage order; stops without an index, with a negative one or with
  // tabEnabled false drop out, whatever their kind's default.
  std::vector<TabStop> stops{Indexed(3), Indexed(1, 500, 500), At(0, 0), Indexed(3), Indexed(-1), Indexed(2)};
  stops[5].tabEnabled = false;
  EXPECT_EQ(TabOrder(stops), (Order{1, 0, 3}));
  // A stop outside the custom order goes to its first stop, backwards to its last.
  const Order order = TabOrder(stops);
  EXPECT_EQ(NextTabStop(stops, order, 2, false), std::optional<std::size_t>(1));
  EXPECT_EQ(NextTabStop(stops, order, 2, true), std::optional<std::size_t>(3));
}

TEST(TabOrder, TabAndShiftTabWrapAround) {
  const std::vector<TabStop> stops{At(0, 0), At(0, 10), At(0, 20)};
  const Order order = TabOrder(stops);
  EXPECT_EQ(NextTabStop(stops, order, std::nullopt, false), std::optional<std::size_t>(0));
  EXPECT_EQ(NextTabStop(stops, order, std::nullopt, true), std::optional<std::size_t>(2));
  EXPECT_EQ(NextTabStop(stops, order, 2, false), std::optional<std::size_t>(0));
  EXPECT_EQ(NextTabStop(stops, order, 0, true), std::optional<std::size_t>(2));
  EXPECT_EQ(NextTabStop(stops, order, 1, false), std::optional<std::size_t>(2));
  // Nothing to stop at: Tab does nothing.
  EXPECT_EQ(NextTabStop(stops, Order{}, 1, false), std::nullopt);
}

}  // namespace
}  // namespace quillon::player
