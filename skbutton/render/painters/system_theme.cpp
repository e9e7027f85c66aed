#include "system_theme.h"

namespace quillon::render {

int SystemThemeState(const PaintInput& in, int state) {
  if (!in.enabled) return kPbsDisabled;
  int themeState = 0;
  switch (state) {
    case ButtonState::Normal: themeState = kPbsNormal; break;
    case ButtonState::Hot: themeState = kPbsHot; break;
    case ButtonState::Down: themeState = kPbsPressed; break;
    default: break;
  }
  if (in.state == ButtonState::Normal && (in.hasFocus || in.isDefault) && in.parentActive) {
    themeState = kPbsDefaulted;
  }
  return themeState;
}

void PaintSystemTheme(PaintContext& c, int state) {
  // Whatever the theme leaves unpainted (its rounded corners, or all of it when no theme can be
  // opened) shows the system button face.
  c.surface.SetBackgroundColour(c.Colours().Get(kColorBtnFace));
  c.surface.Clear();

  const int themeState = SystemThemeState(c.in, state);
  // The theme's outline over a slightly larger rectangle becomes the window region, every paint.
  const Rect& r = c.client;
  const Rect regionArea{r.left - 1, r.top - 1, r.right + 1, r.bottom + 2};
  c.surface.DrawThemedButton(themeState, c.client, c.client, &regionArea);
  c.DrawCaptionAndPicture();
}

}  // namespace quillon::render
