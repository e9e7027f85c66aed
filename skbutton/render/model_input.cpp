#include "model_input.h"

#include "skbutton.h"

namespace quillon::render {

PaintInput PaintInputFrom(const controls::skbutton& b, int dpi) {
  PaintInput in;
  in.buttonStyle = b.ButtonStyle();
  in.colorScheme = b.ColorScheme();
  in.backColor = b.BackColor();
  in.foreColor = b.ForeColor();
  in.foreColorHover = b.ForeColorHover();
  in.maskColor = b.MaskColor();
  in.enabled = b.Enabled();
  in.showFocusRect = b.ShowFocusRect();
  in.rightToLeft = b.RightToLeft();
  in.caption = b.Caption();
  in.font = ToFontDesc(b.SurfaceFont(), dpi);
  in.captionAlign = b.CaptionAlign();
  in.captionEffects = b.CaptionEffects();
  in.pictureAlign = b.PictureAlign();
  in.pictureNormal = b.PictureNormal();
  in.pictureHot = b.PictureHot();
  in.pictureDown = b.PictureDown();
  in.pictureShadow = b.PictureShadow();
  in.picturePushOnHover = b.PicturePushOnHover();
  in.pictureEffectOnOver = b.PictureEffectOnOver();
  in.pictureEffectOnDown = b.PictureEffectOnDown();
  in.pictureOpacity = b.PictureOpacity();
  in.pictureOpacityOnOver = b.PictureOpacityOnOver();
  in.useMaskColor = b.UseMaskColor();
  in.disabledPictureMode = b.DisabledPictureMode();
  in.dropDownSymbol = b.DropDownSymbol();
  in.dropDownSeparator = b.DropDownSeparator();
  in.mode = b.Mode();
  in.value = b.Value();
  in.state = b.State();
  in.hasFocus = b.HasFocus();
  in.isDefault = b.IsDefault();
  in.parentActive = b.ParentActive();
  in.mouseOver = b.MouseOver();
  in.mouseHeld = b.MouseHeld();
  in.spaceHeld = b.SpaceHeld();
  in.menuAttached = b.MenuAttached();
  in.menuOpen = b.MenuOpen();
  in.menuJustClosed = b.MenuJustClosed();
  // A failure to read UserMode counts as false.
  try {
    in.userMode = b.HostSite().UserMode();
  } catch (...) {
    in.userMode = false;
  }
  return in;
}

}  // namespace quillon::render
