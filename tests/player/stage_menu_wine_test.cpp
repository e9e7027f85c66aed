// The stage menu's items: the playing controls only where the movie leaves them, Mute, Full
// Screen and Quit always, each checked as the state says.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stage_menu.h"

namespace quillon::stub {
namespace {

struct ItemFacts {
  UINT id;
  std::wstring text;
  bool checked;
};

std::vector<ItemFacts> Items(HMENU menu) {
  std::vector<ItemFacts> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 63;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
    out.push_back({info.wID, text, (info.fState & MFS_CHECKED) != 0});
  }
  return out;
}

const ItemFacts* Find(const std::vector<ItemFacts>& items, MenuCommand command) {
  for (const ItemFacts& i : items)
    if (i.id == static_cast<UINT>(command)) return &i;
  return nullptr;
}

TEST(StageMenu, MuteIsACheckItemThatShowsTheState) {
  for (const bool muted : {false, true}) {
    MenuState state;
    state.muted = muted;
    const OwnedMenu menu = BuildStageMenu(state);
    ASSERT_TRUE(menu.get());
    const auto items = Items(menu.get());
    const ItemFacts* mute = Find(items, MenuCommand::Mute);
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->text, L"&Mute");
    EXPECT_EQ(mute->checked, muted);
    ASSERT_TRUE(Find(items, MenuCommand::Play));
  }
}

TEST(StageMenu, AMovieThatHidesItsMenuKeepsMuteFullScreenAndQuit) {
  MenuState state;
  state.controls = false;
  state.muted = true;
  state.fullScreen = true;
  const OwnedMenu menu = BuildStageMenu(state);
  const auto items = Items(menu.get());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].id, static_cast<UINT>(MenuCommand::Mute));
  EXPECT_TRUE(items[0].checked);
  EXPECT_EQ(items[1].id, static_cast<UINT>(MenuCommand::FullScreen));
  EXPECT_TRUE(items[1].checked);
  EXPECT_EQ(items[2].id, static_cast<UINT>(MenuCommand::Quit));
  EXPECT_EQ(Find(items, MenuCommand::Play), nullptr);
}

}  // namespace
}  // namespace quillon::stub
