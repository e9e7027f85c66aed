#include "layout.h"

#include <algorithm>

#include "colour.h"

namespace quillon::render {

namespace {

bool Has(const PictureRef& picture) { return !PictureEmpty(picture.get()); }

bool CaptionIsBlank(const std::wstring& caption) {
  return caption.find_first_not_of(L' ') == std::wstring::npos;
}

}  // namespace

const PictureData* CurrentPicture(const PaintInput& in, int state) {
  const auto pick = [](const PictureRef& p) { return Has(p) ? p.get() : nullptr; };
  if (state == 2 || in.Checked()) {
    if (Has(in.pictureDown)) return pick(in.pictureDown);
    if (Has(in.pictureHot)) return pick(in.pictureHot);
    return pick(in.pictureNormal);
  }
  if (state == 1) {
    if (Has(in.pictureHot)) return pick(in.pictureHot);
    return pick(in.pictureNormal);
  }
  return pick(in.pictureNormal);
}

bool DropDownApplies(const PaintInput& in) { return in.dropDownSymbol != 0 || in.dropDownSeparator; }

bool StyleMovesPressedContent(int style) {
  switch (style) {
    case 0: case 1: case 5: case 6: case 7: case 10: case 11: case 12: return true;
    default: return false;
  }
}

bool StyleMovesPressedSymbolTwice(int style) {
  switch (style) {
    case 0: case 1: case 6: case 7: case 11: case 12: return true;
    default: return false;
  }
}

Rect SymbolRect(int width, int height) {
  return {width - 15, RoundHalfEven(height / 2.0 - 7), width, RoundHalfEven(height / 2.0 + 8)};
}

Rect LayoutPicture(const PaintInput& in, const Rect& caption, int pw, int ph, int width,
                   int height, const Rect& previous) {
  const bool dropDown = DropDownApplies(in);
  int left = previous.left;
  int top = previous.top;
  const bool captionTest = !CaptionIsBlank(in.caption) && in.pictureAlign != 4;
  if (!captionTest) {
    left = (width - pw) / 2;
    top = (height - ph) / 2;
    if (dropDown) left -= 8;
  } else {
    switch (in.pictureAlign) {
      case 0:
        left = 3;
        top = (height - ph) / 2;
        break;
      case 1:
        left = caption.left - pw - 4;
        top = (height - ph) / 2;
        break;
      case 2:
      case 3:
        left = in.pictureAlign == 2 ? width - pw - 3 : caption.right + 4;
        top = (height - ph) / 2;
        if (dropDown) left -= 16;
        left = std::max(left, caption.right + 2);
        break;
      case 5:
        left = (width - pw) / 2;
        top = 4;
        break;
      case 6:
        left = (width - pw) / 2;
        top = caption.top - ph - 2;
        break;
      case 7:
        left = (width - pw) / 2;
        top = height - ph - 4;
        break;
      case 8:
        left = (width - pw) / 2;
        top = caption.bottom + 2;
        break;
      default:
        break;
    }
    if (in.pictureAlign >= 5 && in.pictureAlign <= 8 && dropDown) left -= 8;
  }
  return {left, top, left + pw, top + ph};
}

CaptionLayout LayoutCaption(const PaintInput& in, int state, int width, int height,
                            const MeasureCaption& measure, const CaptionLayout& previous) {
  CaptionLayout out;
  out.pictureRect = previous.pictureRect;
  out.symbolRect = previous.symbolRect;
  const bool dropDown = DropDownApplies(in);
  const bool hasNormal = Has(in.pictureNormal);

  out.currentPicture = CurrentPicture(in, state);
  const int pw = out.currentPicture ? out.currentPicture->width : 0;
  const int ph = out.currentPicture ? out.currentPicture->height : 0;
  out.pictureWidth = pw;
  out.pictureHeight = ph;

  int limit = width - 8;
  if (dropDown) limit = (in.pictureAlign == 2 || in.pictureAlign == 3) ? width - 24 : width - 16;
  out.measureRight = limit;

  const Size text = measure(Rect{0, 0, limit, height});
  Rect r{0, 0, text.width, text.height};

  switch (in.captionAlign) {
    case 0:
      r = r.Offset(2, (height - text.height) / 2);
      break;
    case 1:
      r = r.Offset((width - text.width + pw) / 2, (height - text.height) / 2);
      if (dropDown) r = r.Offset(-8, 0);
      if (in.pictureAlign >= 5 && in.pictureAlign <= 8) r = r.Offset(-(pw / 2), 0);
      break;
    case 2:
      r = r.Offset(width - text.width - 4, (height - text.height) / 2);
      break;
    default:
      break;
  }

  if (hasNormal) {
    switch (in.pictureAlign) {
      case 0:
      case 1:
        if (in.captionAlign != 1 && r.left < pw + 4) {
          r.left = pw + 4;
          r.right += pw + 4;
        }
        break;
      case 2:
      case 3:
        if (r.right > width - pw - 4) {
          r.right = width - pw - 4;
          r.left -= pw + 4;
        }
        if (in.captionAlign == 1) r = r.Offset(-12, 0);
        break;
      case 4:
        if (in.captionAlign == 1) r = r.Offset(-16, 0);
        break;
      case 5:
      case 6:
        r = r.Offset(0, ph / 2);
        break;
      case 7:
      case 8:
        r = r.Offset(0, -(ph / 2));
        break;
      default:
        break;
    }
  }

  if (in.captionAlign == 2 && dropDown) r = r.Offset(-16, 0);

  if (in.buttonStyle == ButtonStyle::SystemTheme) {
    r.left = std::max(r.left, 4);
    r.top = std::max(r.top, 4);
    r.right = std::min(r.right, width - 4);
    r.bottom = std::min(r.bottom, height - 4);
  }
  out.captionRect = r;

  if (hasNormal) out.pictureRect = LayoutPicture(in, r, pw, ph, width, height, previous.pictureRect);
  if (in.dropDownSymbol != 0) out.symbolRect = SymbolRect(width, height);
  out.drawSeparator = in.dropDownSeparator && width - 8 > r.right;
  return out;
}

void ApplyPressedOffset(CaptionLayout& layout, int buttonStyle, int state) {
  if (state != 2 || !StyleMovesPressedContent(buttonStyle)) return;
  layout.captionRect = layout.captionRect.Offset(1, 1);
  layout.pictureRect = layout.pictureRect.Offset(1, 1);
  layout.symbolRect = layout.symbolRect.Offset(1, 1);
}

}  // namespace quillon::render
