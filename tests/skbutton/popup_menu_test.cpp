#include <gtest/gtest.h>

#include <algorithm>

#include "color_schemes.h"
#include "rig.h"

namespace quillon::controls::testing {
namespace {

using container::Menu;
using container::MenuPtr;

// A 97 x 33 pixel button on an active form with a menu attached.
struct MenuButton : Rig {
  explicit MenuButton(std::int32_t align = PopupMenuAlign::Bottom, double flags = 0) {
    container::PropertyBag bag;
    bag.Set(L"buttonstyle", std::int32_t{ButtonStyle::Glass});
    b().Load(bag);
    b().OnParentActivate(true);
    menu = std::make_shared<Menu>(L"File");
    menu->Add(std::make_shared<Menu>(L"Open"));
    b().SetPopupMenu(menu, align, flags, menu->items[0]);
    site.cursorOver = true;
    b().OnMouseMove(0, 0, 5, 5);
    ClearLog();
  }
  MenuPtr menu;
};

TEST(PopupPlacement, TheEightAlignsAndTheirFlags) {
  struct Row {
    std::int32_t align;
    float x, y;
    std::int32_t flags;  // for given flags 4
  };
  const float W = 97, H = 33;
  const Row rows[] = {{0, 0, H, 4}, {1, 0, 0, 32},  {2, 0, 0, 4 | 8}, {3, W, 0, 4},
                      {4, 0, 0, 40}, {5, 0, H, 4 | 8}, {6, W, 0, 32}, {7, W, H, 4}};
  for (const auto& row : rows) {
    const auto p = PlacePopupMenu(row.align, 4, W, H);
    ASSERT_TRUE(p) << row.align;
    EXPECT_EQ(p->x, row.x) << row.align;
    EXPECT_EQ(p->y, row.y) << row.align;
    EXPECT_EQ(p->flags, row.flags) << row.align;
  }
  EXPECT_FALSE(PlacePopupMenu(8, 0, W, H));
  EXPECT_FALSE(PlacePopupMenu(-1, 0, W, H));
}

TEST(PopupMenu, APressOpensItAtTheAlignedPointAndNoMouseEventsAreRaised) {
  for (std::int32_t align = 0; align < 8; ++align) {
    MenuButton r(align, 4);
    r.site.whileMenuOpen = [&] { EXPECT_TRUE(r.b().MenuOpen()); };
    r.b().OnMouseDown(kLeftButton, 0, 5, 5);
    const auto shown = r.form.Logged("popup");
    ASSERT_EQ(shown.size(), 1u) << align;
    const auto want = PlacePopupMenu(align, 4, 97, 33);
    EXPECT_EQ(shown[0], "popup:File@" + std::to_string(static_cast<int>(want->x)) + "," +
                            std::to_string(static_cast<int>(want->y)) + " flags " + std::to_string(want->flags) +
                            " default Open");
    EXPECT_EQ(r.b().State(), ButtonState::Down) << "the press shows Down while the menu is up";
    r.b().OnMouseUp(kLeftButton, 0, 5, 5);
    EXPECT_TRUE(r.events.events.empty()) << "no MouseDown, Click or MouseUp while a menu is attached";
    EXPECT_EQ(r.b().State(), ButtonState::Normal);
  }
}

TEST(PopupMenu, RewrittenFlagsAreStoredBackAndRightAlignIsNotAddedTwice) {
  MenuButton top(PopupMenuAlign::Top, 4);
  top.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_EQ(top.b().MenuFlags(), 32) << "the given flag bits are gone after one display";

  MenuButton left(PopupMenuAlign::Left, 4);
  for (int i = 0; i < 3; ++i) {
    left.b().OnMouseDown(kLeftButton, 0, 5, 5);
    left.b().OnMouseUp(kLeftButton, 0, 5, 5);
    left.site.cursorOver = false;
    left.b().OnMouseLeave();
  }
  EXPECT_EQ(left.b().MenuFlags(), 12) << "8 stays added, once";
  for (const auto& shown : left.form.Logged("popup")) EXPECT_NE(shown.find("flags 12"), std::string::npos) << shown;
}

TEST(PopupMenu, AnInvalidAlignShowsNothingAndTheButtonStaysDownUntilRelease) {
  MenuButton r(9);
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_TRUE(r.form.Logged("popup").empty());
  EXPECT_FALSE(r.b().MenuOpen());
  EXPECT_EQ(r.b().State(), ButtonState::Down);
  r.b().OnMouseUp(kLeftButton, 0, 5, 5);
  EXPECT_EQ(r.b().State(), ButtonState::Normal);
}

TEST(PopupMenu, ClosingItOverTheButtonStopsThatPressFromReopeningIt) {
  MenuButton r;
  // The user clicks the button while the menu is up: the menu closes over the button.
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_TRUE(r.b().MenuJustClosed());
  // The system's leave message while the menu was open only records the closing.
  r.b().OnMouseLeave();
  EXPECT_TRUE(r.b().MenuJustClosed());
  EXPECT_FALSE(r.b().MenuOpen());
  EXPECT_TRUE(r.events.events.empty()) << "no MouseLeave while the menu was open";
  r.ClearLog();
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);  // the press that closed it
  EXPECT_TRUE(r.form.Logged("popup").empty()) << "that press does not reopen the menu";
  r.b().OnMouseUp(kLeftButton, 0, 5, 5);
  EXPECT_FALSE(r.b().MenuJustClosed());
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_EQ(r.form.Logged("popup").size(), 1u) << "the next press does";
}

TEST(PopupMenu, ChoosingAnItemAwayFromTheButtonReturnsItToNormalAtOnce) {
  MenuButton r;
  r.site.whileMenuOpen = [&] { r.site.cursorOver = false; };
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_EQ(r.b().State(), ButtonState::Normal);
  EXPECT_FALSE(r.b().MouseHeld());
  EXPECT_FALSE(r.b().MouseOver());
  EXPECT_FALSE(r.b().MenuOpen());
  EXPECT_FALSE(r.b().MenuJustClosed());
  EXPECT_EQ(r.form.log.back(), "redraw");
}

TEST(PopupMenu, AMenuItemMayDetachTheMenuWhileItIsOpen) {
  MenuButton r;
  r.site.whileMenuOpen = [&] { r.b().UnsetPopupMenu(); };
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  EXPECT_FALSE(r.b().MenuAttached());
}

TEST(PopupMenu, DoubleClickOpensTheMenuOnlyWhenItDidNotJustClose) {
  MenuButton r;
  r.site.whileMenuOpen = [&] { r.site.cursorOver = false; };
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  r.b().OnMouseUp(kLeftButton, 0, 5, 5);
  r.ClearLog();
  r.b().OnDblClick();
  EXPECT_EQ(r.form.Logged("popup").size(), 2u) << "once from the replayed press, once from the double click";
  EXPECT_TRUE(r.events.events.empty()) << "no DblClick with a menu attached";
}

TEST(SetPopupMenu, IgnoresNonMenusAndUnsetRestoresOrdinaryBehaviour) {
  MenuButton r;
  r.b().SetPopupMenu(std::make_shared<container::Object>(), 3, 0, nullptr);
  r.b().SetPopupMenu(nullptr, 3, 0, nullptr);
  EXPECT_EQ(r.b().AttachedMenu(), r.menu) << "a non-menu leaves the attached menu in place";
  EXPECT_EQ(r.b().MenuAlign(), 0);
  EXPECT_THROW(r.b().SetPopupMenu(r.menu, 1, 1e12, nullptr), std::range_error);
  EXPECT_EQ(r.b().MenuAlign(), 0) << "a bad flags value changes nothing";
  r.b().SetPopupMenu(r.menu, 2, 2.5, nullptr);
  EXPECT_EQ(r.b().MenuFlags(), 2) << "flags round to even";

  r.b().UnsetPopupMenu();
  EXPECT_FALSE(r.b().MenuAttached());
  EXPECT_FALSE(r.b().AttachedMenu());
  EXPECT_FALSE(r.b().DefaultMenuItem());
  r.b().OnMouseDown(kLeftButton, 0, 5, 5);
  r.b().OnMouseUp(kLeftButton, 0, 5, 5);
  EXPECT_EQ(r.events.events, (Log{"MouseDown(1,0,5,5)", "Click", "MouseUp(1,0,5,5)"}));
}

TEST(Methods, AboutAndOpenWebsite) {
  Rig r;
  r.b().About();
  const auto boxes = r.form.Logged("messagebox");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("messagebox:About|1|SKButton v 1.02\r\n", 0), 0u) << boxes[0];
  EXPECT_EQ(std::count(boxes[0].begin(), boxes[0].end(), '\n'), 4) << "five lines";
  r.b().OpenWebsite(L"http://example.invalid/");
  EXPECT_EQ(r.form.Logged("shellopen"), (Log{"shellopen:http://example.invalid/"}));
}

TEST(Lifecycle, CreationShowHideAndDestructionSequences) {
  container::TestForm form;
  auto& site = form.AddSite(L"skbutton1", 0x2000, 0x1000);
  FakeServices services(form);
  {
    skbutton b(site);
    EXPECT_TRUE(site.shellLibraryLoaded);
    EXPECT_TRUE(b.IsNtPlatform());
    EXPECT_EQ(b.LightTable()[100], 114);
    EXPECT_EQ(b.LightTable()[221], 253);
    EXPECT_EQ(b.LightTable()[222], 255);
    EXPECT_EQ(b.DarkTable()[1], 0);
    EXPECT_EQ(b.DarkTable()[100], 85);
    EXPECT_EQ(b.DarkTable()[255], 217);
    b.SetWindowServices(&services);
    b.InitNew();
    b.SetToolTip(L"tip");
    b.OnShow();
    EXPECT_EQ(site.extenderToolTip, L"");
    b.OnHide();
    EXPECT_EQ(site.extenderToolTip, L"tip");
    b.SetPopupMenu(std::make_shared<Menu>(), 0, 0, nullptr);
    form.log.clear();
  }
  EXPECT_EQ(form.log, (Log{"shell:free", "unhookall"}));
  EXPECT_FALSE(site.shellLibraryLoaded);

  site.userMode = false;
  form.log.clear();
  {
    skbutton b(site);
    b.SetWindowServices(&services);
  }
  EXPECT_EQ(form.log, (Log{"shell:load", "shell:free"})) << "at design time nothing is unhooked";
}

}  // namespace
}  // namespace quillon::controls::testing
