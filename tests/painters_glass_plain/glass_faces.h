// The Glass looks as the style describes them, step by step, over literal colours worked out by
// hand, so that a painter's own arithmetic is never what it is checked against.
#pragma once

#include "expected_face.h"

namespace quillon::render::testing {

// M (first row of the lower half), T and U (heights of the upper and lower side strips) and
// V (end row of the pressed look's upper left line) for one height, worked out by hand.
struct GlassNumbers {
  int m, t, u, v;
};

// The shades a normal face takes from its back colour B: B + 13 at the top (0.05 x 255 = 12.75),
// B - 5 and B - 38 for the lower half (0.02 and 0.15).
struct GlassShades {
  Colour top, back, lowerFrom, lowerTo;
};

inline constexpr Colour kGlassCorner = Rgb(95, 150, 190);
inline constexpr Colour kWhite = Rgb(255, 255, 255);
inline constexpr Colour kBlueFrame = Rgb(50, 117, 167);

inline ExpectedFace GlassNormalFace(int w, int h, GlassNumbers n, GlassShades s) {
  ExpectedFace f(w, h);
  f.TopToBottom(1, 1, w - 1, h, s.top, s.back);  // one column and one row run off the face
  f.TopToBottom(1, n.m, w - 2, h - 2, s.lowerFrom, s.lowerTo);
  f.Frame(0, 0, w, h, Rgb(112, 112, 112));
  f.Frame(1, 1, w - 2, h - 2, kWhite);
  f.Corners(kGlassCorner);
  return f;
}

inline ExpectedFace GlassHotFace(int w, int h, GlassNumbers n) {
  ExpectedFace f(w, h);
  f.TopToBottom(1, 1, w - 2, n.m, Rgb(228, 247, 255), Rgb(218, 243, 255));
  f.TopToBottom(1, n.m, w - 2, h - 2, Rgb(193, 233, 255), Rgb(174, 225, 253));
  // rgb(172, 225, 253) lightened by 0.01 (2.55 -> 3): rgb(175, 228, 255) with blue clamped.
  f.LeftToRight(1, 3, 5, n.t, Rgb(205, 238, 255), Rgb(228, 247, 255));
  f.LeftToRight(1, n.m, 5, n.u, Rgb(143, 214, 250), Rgb(175, 228, 255));
  f.LeftToRight(w - 6, 3, 5, n.t, Rgb(228, 247, 255), Rgb(205, 238, 255));
  f.LeftToRight(w - 6, n.m, 5, n.u, Rgb(175, 228, 255), Rgb(143, 214, 250));
  f.Frame(0, 0, w, h, kBlueFrame);
  f.Frame(1, 1, w - 2, h - 2, kWhite);
  f.Corners(kGlassCorner);
  return f;
}

inline ExpectedFace GlassPressedFace(int w, int h, GlassNumbers n) {
  ExpectedFace f(w, h);
  f.Fill(1, 1, w, h, Rgb(194, 228, 246));
  f.Fill(1, n.m, w - 1, h, Rgb(154, 210, 240));
  f.Frame(0, 0, w, h, Rgb(29, 65, 92));
  f.HLine(1, w - 1, 1, Rgb(113, 156, 179));
  f.HLine(1, w - 1, 2, Rgb(169, 198, 214));
  f.HLine(1, w - 1, 3, Rgb(185, 217, 236));
  f.VLine(1, 1, n.v, Rgb(115, 176, 207));
  f.VLine(1, n.m, h - 1, Rgb(43, 145, 197));  // stops inside the frame
  // Strip ends: rgb(145, 200, 230) + 5 and rgb(78, 171, 220) + 5 (0.02), rgb(194, 228, 246) - 3
  // and rgb(154, 210, 240) - 3 (0.01).
  f.LeftToRight(1, 3, 5, n.t, Rgb(150, 205, 235), Rgb(191, 225, 243));
  f.LeftToRight(1, n.m, 5, n.u, Rgb(83, 176, 225), Rgb(151, 207, 237));
  f.LeftToRight(w - 6, 3, 5, n.t, Rgb(191, 225, 243), Rgb(150, 205, 235));
  f.LeftToRight(w - 6, n.m, 5, n.u, Rgb(151, 207, 237), Rgb(83, 176, 225));
  f.Corners(kGlassCorner);
  return f;
}

}  // namespace quillon::render::testing
