#include "stage_menu.h"

namespace quillon::stub {
namespace {

void Item(HMENU menu, MenuCommand command, const wchar_t* text, bool checked = false) {
  AppendMenuW(menu, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), static_cast<UINT_PTR>(command), text);
}

}  // namespace

OwnedMenu BuildStageMenu(const MenuState& state) {
  OwnedMenu menu(CreatePopupMenu());
  if (!menu.get()) return menu;
  if (state.controls) {
    Item(menu.get(), MenuCommand::Play, L"&Play", state.playing);
    Item(menu.get(), MenuCommand::Loop, L"&Loop", state.loop);
    Item(menu.get(), MenuCommand::Rewind, L"&Rewind");
    Item(menu.get(), MenuCommand::Forward, L"&Forward");
    Item(menu.get(), MenuCommand::Back, L"&Back");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    OwnedMenu quality(CreatePopupMenu());
    if (quality.get()) {
      Item(quality.get(), MenuCommand::QualityLow, L"&Low", state.lowQuality);
      Item(quality.get(), MenuCommand::QualityHigh, L"&High", !state.lowQuality);
      if (AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(quality.get()), L"&Quality")) quality.release();
    }
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  }
  Item(menu.get(), MenuCommand::Mute, L"&Mute", state.muted);
  Item(menu.get(), MenuCommand::FullScreen, L"F&ull Screen", state.fullScreen);
  Item(menu.get(), MenuCommand::Quit, L"&Quit");
  return menu;
}

MenuCommand ShowStageMenu(HWND owner, POINT screen, const MenuState& state) {
  const OwnedMenu menu = BuildStageMenu(state);
  if (!menu.get()) return MenuCommand::None;
  // The owner must be in front for the menu to close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                       screen.x, screen.y, 0, owner, nullptr));
  return static_cast<MenuCommand>(chosen);
}

}  // namespace quillon::stub
