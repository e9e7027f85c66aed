// Classic, Flat, HoverRaised, HoverThin, Rounded, SilverToolbar and SystemTheme drawn through
// the real GDI surface into a 60 x 24 memory DIB section, every expected pixel worked out by
// hand from the styles' own numbers (the arithmetic is in the comments).
//
// Shift offsets used below (ShiftColour, single-precision factor): 0.01 -> 3, 0.02 -> 5,
// 0.04 -> 10, 0.05 -> 13, 0.07 -> 18, 0.08 -> 20, 0.09 -> 23, 0.1 -> 26, 0.15 -> 38,
// 0.16 -> 41, 0.2 -> 51, 0.22 -> 56, 0.3 -> 77; clamped to 0..255.
// Gradients: step i of n is from + (i x (to - from)) div n, truncated toward zero.
#include <windows.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forwarding_surface.h"
#include "gdi_surface.h"
#include "painters/system_theme.h"
#include "redraw.h"
#include "styles_host.h"

namespace quillon::render {
namespace {

using testing::StylesHost;

constexpr int kW = 60, kH = 24;
constexpr Colour kCleared = Rgb(1, 2, 3);  // the surface's own background before a paint
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kBack = Rgb(200, 100, 50);  // BackColor of the edge and toolbar buttons

// Colours of DrawEdge as Win32 documents them: a raised outer line is 3D light at the top and
// left and 3D dark shadow at the bottom and right, a raised inner line button highlight and
// button shadow; the sunken lines swap them. A lone inner line is drawn in the outer place.
struct EdgeColours {
  Colour light = ::GetSysColor(COLOR_3DLIGHT);
  Colour highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  Colour shadow = ::GetSysColor(COLOR_BTNSHADOW);
  Colour dark = ::GetSysColor(COLOR_3DDKSHADOW);
};

std::string Hex(Colour c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%d, %d, %d)", RedOf(c), GreenOf(c), BlueOf(c));
  return text;
}

// Records the themed background requests and passes everything on to the GDI surface.
class ThemeRecorder final : public testing::ForwardingSurface {
 public:
  explicit ThemeRecorder(GdiSurface& inner, bool themeAvailable = true)
      : ForwardingSurface(inner), available_(themeAvailable) {}
  struct Call {
    int state;
    Rect rect, clip;
    std::optional<Rect> region;
    bool drawn;
  };
  std::vector<Call> calls;

  bool DrawThemedButton(int state, const Rect& rect, const Rect& clip, const Rect* region) override {
    const bool drawn = available_ && ForwardingSurface::DrawThemedButton(state, rect, clip, region);
    calls.push_back({state, rect, clip, region ? std::optional<Rect>(*region) : std::nullopt, drawn});
    return drawn;
  }

 private:
  bool available_;
};

struct Rig {
  StylesHost host;
  DibCanvas dib{kW, kH};
  ButtonRenderer renderer;  // the standard painters, as registered
  HWND window = nullptr;
  std::unique_ptr<ThemeRecorder> recorder;

  Rig() {
    host.width = kW;
    host.height = kH;
  }
  void Draw(PaintInput& in, bool themeAvailable = true) {
    GdiSurface surface(dib.Dc(), kW, kH, window, kCleared);
    recorder = std::make_unique<ThemeRecorder>(surface, themeAvailable);
    renderer.Redraw(*recorder, host, in);
  }
  Colour At(int x, int y) const { return dib.Pixel(x, y); }
  std::vector<Colour> Snapshot() const {
    std::vector<Colour> all;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) all.push_back(At(x, y));
    return all;
  }
};

#define EXPECT_PIXEL(rig, x, y, colour) \
  EXPECT_EQ(Hex((rig).At((x), (y))), Hex(colour)) << "pixel (" << (x) << ", " << (y) << ")"

PaintInput Button(int style, Colour back = kBack) {
  PaintInput in;
  in.buttonStyle = style;
  in.backColor = back;
  in.foreColor = Rgb(5, 6, 7);
  in.showFocusRect = true;
  in.parentActive = true;
  return in;
}

// The pixels in which two snapshots differ all lie on the one-pixel border of `frame`, and
// there are some: that is where a dotted focus frame was drawn.
void ExpectOnlyFrameDiffers(const std::vector<Colour>& with, const std::vector<Colour>& without, const Rect& frame) {
  int differing = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * kW + x);
      if (with[i] == without[i]) continue;
      ++differing;
      const bool inside = x >= frame.left && x < frame.right && y >= frame.top && y < frame.bottom;
      const bool onBorder = inside && (x == frame.left || x == frame.right - 1 || y == frame.top || y == frame.bottom - 1);
      EXPECT_TRUE(onBorder) << "pixel (" << x << ", " << y << ") changed off the focus frame";
    }
  }
  EXPECT_GT(differing, 0) << "no dotted focus frame was drawn";
}

// ---- Edge styles ----

void ExpectRaised(const Rig& r) {
  const EdgeColours e;
  EXPECT_PIXEL(r, 30, 0, e.light);
  EXPECT_PIXEL(r, 30, 1, e.highlight);
  EXPECT_PIXEL(r, 0, 12, e.light);
  EXPECT_PIXEL(r, 1, 12, e.highlight);
  EXPECT_PIXEL(r, 30, kH - 1, e.dark);
  EXPECT_PIXEL(r, 30, kH - 2, e.shadow);
  EXPECT_PIXEL(r, kW - 1, 12, e.dark);
  EXPECT_PIXEL(r, kW - 2, 12, e.shadow);
}

void ExpectThinRaised(const Rig& r, Colour face) {
  const EdgeColours e;
  EXPECT_PIXEL(r, 30, 0, e.highlight);
  EXPECT_PIXEL(r, 0, 12, e.highlight);
  EXPECT_PIXEL(r, 30, kH - 1, e.shadow);
  EXPECT_PIXEL(r, kW - 1, 12, e.shadow);
  EXPECT_PIXEL(r, 30, 1, face);
  EXPECT_PIXEL(r, kW - 2, 12, face);
}

void ExpectSunken(const Rig& r) {
  const EdgeColours e;
  EXPECT_PIXEL(r, 30, 0, e.shadow);
  EXPECT_PIXEL(r, 30, 1, e.dark);
  EXPECT_PIXEL(r, 0, 12, e.shadow);
  EXPECT_PIXEL(r, 1, 12, e.dark);
  EXPECT_PIXEL(r, 30, kH - 1, e.highlight);
  EXPECT_PIXEL(r, 30, kH - 2, e.light);
  EXPECT_PIXEL(r, kW - 1, 12, e.highlight);
  EXPECT_PIXEL(r, kW - 2, 12, e.light);
}

void ExpectNoEdge(const Rig& r, Colour face) {
  const std::initializer_list<std::pair<int, int>> places{{0, 0}, {30, 0}, {0, 12}, {kW - 1, kH - 1},
                                                          {30, kH - 1}, {kW - 1, 12}, {30, 12}};
  for (auto [x, y] : places) {
    EXPECT_PIXEL(r, x, y, face);
  }
}

TEST(EdgeStyles, ClassicRestsAndHoversRaised) {
  for (int state : {0, 1}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::Classic);
    in.state = state;
    r.Draw(in);
    SCOPED_TRACE(state);
    ExpectRaised(r);
    EXPECT_PIXEL(r, 30, 12, kBack);
    EXPECT_PIXEL(r, 2, 2, kBack);
    // Only the look at rest rebuilds the (rectangular) region.
    if (state == 0) {
      ASSERT_EQ(r.host.regions.size(), 1u);
      EXPECT_EQ(r.host.regions[0], (RegionShape{false, kW, kH, 0}));
    } else {
      EXPECT_TRUE(r.host.regions.empty());
    }
  }
}

TEST(EdgeStyles, ClassicPressedShowsGreyAndBlackFrames) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.state = 2;
  r.Draw(in);
  const Colour grey = Rgb(172, 168, 153);
  EXPECT_PIXEL(r, 0, 0, kBlack);
  EXPECT_PIXEL(r, 30, 0, kBlack);
  EXPECT_PIXEL(r, kW - 1, kH - 1, kBlack);
  EXPECT_PIXEL(r, 0, 12, kBlack);
  EXPECT_PIXEL(r, 1, 1, grey);
  EXPECT_PIXEL(r, 30, 1, grey);
  EXPECT_PIXEL(r, kW - 2, 12, grey);
  EXPECT_PIXEL(r, 30, kH - 2, grey);
  EXPECT_PIXEL(r, 2, 2, kBack);
  EXPECT_PIXEL(r, 30, 12, kBack);
}

TEST(EdgeStyles, FlatRestsAndHoversThinRaised) {
  for (int state : {0, 1}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::Flat);
    in.state = state;
    r.Draw(in);
    SCOPED_TRACE(state);
    ExpectThinRaised(r, kBack);
  }
}

TEST(EdgeStyles, FlatAndHoverThinPressedShowOnlyGreyTopAndLeft) {
  for (int style : {ButtonStyle::Flat, ButtonStyle::HoverThin}) {
    Rig r;
    PaintInput in = Button(style);
    in.state = 2;
    r.Draw(in);
    SCOPED_TRACE(style);
    // White frame inside the surface, then a grey-text frame one pixel larger whose right and
    // bottom sides fall off it: grey over the whole top row and left column.
    EXPECT_PIXEL(r, 30, 0, testing::kTestGrayText);
    EXPECT_PIXEL(r, kW - 1, 0, testing::kTestGrayText);
    EXPECT_PIXEL(r, 0, 12, testing::kTestGrayText);
    EXPECT_PIXEL(r, 0, kH - 1, testing::kTestGrayText);
    EXPECT_PIXEL(r, kW - 1, 12, kWhite);
    EXPECT_PIXEL(r, 30, kH - 1, kWhite);
    EXPECT_PIXEL(r, kW - 1, kH - 1, kWhite);
    EXPECT_PIXEL(r, 1, 1, kBack);
  }
}

TEST(EdgeStyles, HoverRaisedFlatAtRestRaisedHotSunkenPressed) {
  Rig r;
  PaintInput in = Button(ButtonStyle::HoverRaised);
  r.Draw(in);
  {
    SCOPED_TRACE("rest");
    ExpectNoEdge(r, kBack);
  }
  in.state = 1;
  r.Draw(in);
  {
    SCOPED_TRACE("hot");
    ExpectRaised(r);
  }
  in.state = 2;
  r.Draw(in);
  {
    SCOPED_TRACE("pressed");
    ExpectSunken(r);
    EXPECT_PIXEL(r, 30, 12, kBack);
  }
}

TEST(EdgeStyles, HoverThinFlatAtRestThinRaisedHot) {
  Rig r;
  PaintInput in = Button(ButtonStyle::HoverThin);
  r.Draw(in);
  {
    SCOPED_TRACE("rest");
    ExpectNoEdge(r, kBack);
  }
  in.state = 1;
  r.Draw(in);
  {
    SCOPED_TRACE("hot");
    ExpectThinRaised(r, kBack);
  }
}

TEST(EdgeStyles, DisabledDrawsEdgesOnTheClearedSurface) {
  for (int state : {0, 1, 2}) {
    SCOPED_TRACE(state);
    Rig classic;
    PaintInput in = Button(ButtonStyle::Classic);
    in.enabled = false;
    in.state = state;
    classic.Draw(in);
    ExpectRaised(classic);
    EXPECT_PIXEL(classic, 30, 12, kCleared);
    EXPECT_PIXEL(classic, 2, 2, kCleared);

    Rig flat;
    in.buttonStyle = ButtonStyle::Flat;
    flat.Draw(in);
    ExpectThinRaised(flat, kCleared);

    for (int style : {ButtonStyle::HoverRaised, ButtonStyle::HoverThin}) {
      Rig hover;
      in.buttonStyle = style;
      hover.Draw(in);
      ExpectNoEdge(hover, kCleared);
    }
  }
}

TEST(EdgeStyles, LatchedClassicWithFocusShowsWorkspaceFrame) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.mode = 1;
  in.value = true;
  in.hasFocus = true;
  r.Draw(in);
  // Face: BackColor + 0.02 = (200 + 5, 100 + 5, 50 + 5).
  const Colour face = Rgb(205, 105, 55);
  ExpectSunken(r);
  // FrameRectangle(4, 4, W - 7, H - 7): columns 4 and 4 + 53 - 1 = 56, rows 4 and 4 + 17 - 1 = 20.
  EXPECT_PIXEL(r, 4, 12, testing::kTestWorkspace);
  EXPECT_PIXEL(r, 56, 12, testing::kTestWorkspace);
  EXPECT_PIXEL(r, 30, 4, testing::kTestWorkspace);
  EXPECT_PIXEL(r, 30, 20, testing::kTestWorkspace);
  EXPECT_PIXEL(r, 3, 12, face);
  EXPECT_PIXEL(r, 5, 12, face);
  EXPECT_PIXEL(r, 55, 12, face);
  EXPECT_PIXEL(r, 57, 12, face);
  EXPECT_PIXEL(r, 30, 21, face);
  EXPECT_PIXEL(r, 30, 12, face);
  EXPECT_TRUE(r.host.storedStates.empty()) << "Redraw leaves a latched Classic in its state";

  // Without the focus, or in another edge style, there is no workspace frame.
  in.hasFocus = false;
  r.Draw(in);
  EXPECT_PIXEL(r, 4, 12, face);
  in.hasFocus = true;
  in.buttonStyle = ButtonStyle::Flat;
  r.Draw(in);
  ExpectSunken(r);
  EXPECT_PIXEL(r, 4, 12, face);
}

TEST(EdgeStyles, LatchedHoverThinShowsNoEdgeAtAll) {
  for (int state : {0, 1, 2}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::HoverThin);
    in.mode = 2;
    in.value = true;
    in.state = state;
    in.hasFocus = true;
    r.Draw(in);
    SCOPED_TRACE(state);
    ExpectNoEdge(r, Rgb(205, 105, 55));
    EXPECT_PIXEL(r, 4, 4, Rgb(205, 105, 55));
    EXPECT_PIXEL(r, 3, 3, Rgb(205, 105, 55)) << "no focus frame on a latched button";
  }
}

TEST(EdgeStyles, LatchedHoverRaisedIsSunkenAndStoredDown) {
  Rig r;
  PaintInput in = Button(ButtonStyle::HoverRaised);
  in.mode = 1;
  in.value = true;
  r.Draw(in);
  ASSERT_EQ(r.host.storedStates.size(), 1u);
  EXPECT_EQ(r.host.storedStates[0], 2);
  ExpectSunken(r);
  EXPECT_PIXEL(r, 30, 12, Rgb(205, 105, 55));
}

TEST(EdgeStyles, FocusedClassicAtRestGetsDefaultOutlineAndDottedFrame) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Classic);
  in.hasFocus = true;
  r.Draw(in);
  const auto with = r.Snapshot();
  const EdgeColours e;
  // Raised edge on the whole face, raised edge again on (0, 0, 59, 23), workspace frame on
  // (0, 0, 59, 23), black frame on (0, 0, 60, 24).
  EXPECT_PIXEL(r, 0, 12, kBlack);
  EXPECT_PIXEL(r, kW - 1, 12, kBlack);
  EXPECT_PIXEL(r, 30, 0, kBlack);
  EXPECT_PIXEL(r, 30, kH - 1, kBlack);
  EXPECT_PIXEL(r, kW - 2, 12, testing::kTestWorkspace);
  EXPECT_PIXEL(r, 30, kH - 2, testing::kTestWorkspace);
  EXPECT_PIXEL(r, kW - 3, 12, e.shadow);
  EXPECT_PIXEL(r, 30, kH - 3, e.shadow);
  EXPECT_PIXEL(r, 1, 12, e.highlight);
  EXPECT_PIXEL(r, 30, 1, e.highlight);
  // The dotted frame is the only thing an inactive parent window takes away.
  in.parentActive = false;
  r.Draw(in);
  ExpectOnlyFrameDiffers(with, r.Snapshot(), {4, 4, kW - 4, kH - 4});
}

TEST(EdgeStyles, FocusFrameInsetPerStyleWithoutOutlineForTheOthers) {
  struct Case {
    int style;
    int state;
    int inset;
  };
  for (Case c : {Case{ButtonStyle::Flat, 0, 3}, Case{ButtonStyle::HoverThin, 1, 3}, Case{ButtonStyle::HoverRaised, 1, 4},
                 Case{ButtonStyle::Classic, 2, 4}}) {
    SCOPED_TRACE(c.style);
    Rig r;
    PaintInput in = Button(c.style);
    in.hasFocus = true;
    in.state = c.state;
    r.Draw(in);
    const auto with = r.Snapshot();
    in.hasFocus = false;
    r.Draw(in);
    ExpectOnlyFrameDiffers(with, r.Snapshot(), {c.inset, c.inset, kW - c.inset, kH - c.inset});
  }
}

// ---- Rounded ----

// BackColor rgb(236, 235, 231), the Rounded Blue face.
constexpr Colour kRoundedBack = Rgb(236, 235, 231);
constexpr Colour kNavy = Rgb(0, 60, 116);
constexpr Colour kNavyCorner = Rgb(77, 137, 193);
// Standard face, GradientFill(0, 0, 60, 24, S(+0.07) = (254, 253, 249), B), n = 23, row 12:
// 254 + (12 x -18) div 23 = 254 - 9 = 245; 253 - 9 = 244; 249 - 9 = 240.
constexpr Colour kRoundedMid = Rgb(245, 244, 240);

void ExpectOutline(const Rig& r, Colour line, Colour corner) {
  EXPECT_PIXEL(r, 0, 0, line);
  EXPECT_PIXEL(r, 0, 12, line);
  EXPECT_PIXEL(r, 30, 0, line);
  EXPECT_PIXEL(r, kW - 1, 12, line);
  EXPECT_PIXEL(r, 30, kH - 1, line);
  EXPECT_PIXEL(r, 1, 1, corner);
  EXPECT_PIXEL(r, kW - 2, 1, corner);
  EXPECT_PIXEL(r, 1, kH - 2, corner);
  EXPECT_PIXEL(r, kW - 2, kH - 2, corner);
}

void ExpectOrangeRim(const Rig& r) {
  EXPECT_PIXEL(r, 30, 2, Rgb(253, 216, 137));
  EXPECT_PIXEL(r, 30, 1, Rgb(255, 240, 207));
  EXPECT_PIXEL(r, 1, 12, Rgb(249, 189, 73));
  EXPECT_PIXEL(r, kW - 2, 12, Rgb(249, 189, 73));
  EXPECT_PIXEL(r, 2, 12, Rgb(252, 210, 122));
  EXPECT_PIXEL(r, kW - 3, 12, Rgb(252, 210, 122));
  EXPECT_PIXEL(r, 30, kH - 3, Rgb(248, 179, 48));
  EXPECT_PIXEL(r, 30, kH - 2, Rgb(229, 151, 0));
}

TEST(Rounded, CustomSchemeAtRestHasLowerShadingAndNavyOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
  in.colorScheme = 3;
  r.Draw(in);
  ExpectOutline(r, kNavy, kNavyCorner);
  EXPECT_PIXEL(r, 30, 12, kRoundedMid);
  // Gloss rows 0..3 from S(+0.1) = (255, 255, 255) to S(+0.08) = (255, 255, 251):
  // row 2 blue 255 + (2 x -4) div 3 = 253.
  EXPECT_PIXEL(r, 30, 2, Rgb(255, 255, 253));
  // Lower shading: S(-0.09), S(-0.05), S(-0.01) on rows 22, 21, 20.
  EXPECT_PIXEL(r, 30, 22, Rgb(213, 212, 208));
  EXPECT_PIXEL(r, 30, 21, Rgb(223, 222, 218));
  EXPECT_PIXEL(r, 30, 20, Rgb(233, 232, 228));
  // Right side S(-0.08); left side MixColours(white, B) = (245.5 -> 246, 245, 243).
  EXPECT_PIXEL(r, kW - 2, 12, Rgb(216, 215, 211));
  EXPECT_PIXEL(r, 1, 12, Rgb(246, 245, 243));
  ASSERT_EQ(r.host.regions.size(), 1u);
  EXPECT_EQ(r.host.regions[0], (RegionShape{true, kW + 1, kH + 1, 3}));
}

TEST(Rounded, HotHasTheOrangeRimInsteadOfTheShading) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
  in.colorScheme = 3;
  in.state = 1;
  r.Draw(in);
  ExpectOrangeRim(r);
  ExpectOutline(r, kNavy, kNavyCorner);
  EXPECT_PIXEL(r, 30, 12, kRoundedMid);
  // Row 20 keeps the plain face: 254 + (20 x -18) div 23 = 254 - 15 = 239; 238; 234.
  EXPECT_PIXEL(r, 30, 20, Rgb(239, 238, 234));
  EXPECT_TRUE(r.host.regions.empty()) << "only the look at rest rebuilds the region";
}

TEST(Rounded, PressedIsSunken) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
  in.colorScheme = 1;
  in.state = 2;
  r.Draw(in);
  EXPECT_PIXEL(r, 30, 12, Rgb(223, 222, 218));       // S(-0.05)
  EXPECT_PIXEL(r, 30, 1, Rgb(195, 194, 190));        // S(-0.16)
  EXPECT_PIXEL(r, 30, 2, Rgb(210, 209, 205));        // S(-0.1)
  EXPECT_PIXEL(r, 30, kH - 2, Rgb(239, 238, 234));   // S(+0.01)
  EXPECT_PIXEL(r, 1, 12, Rgb(195, 194, 190));        // S(-0.16)
  EXPECT_PIXEL(r, 2, 12, Rgb(210, 209, 205));        // S(-0.1)
  EXPECT_PIXEL(r, kW - 2, 12, Rgb(246, 245, 241));   // S(+0.04)
  // Olive outline rgb(55, 98, 6), corners + 0.3 = (132, 175, 83).
  ExpectOutline(r, Rgb(55, 98, 6), Rgb(132, 175, 83));
}

// Silver scheme with BackColor rgb(200, 180, 160).
constexpr Colour kSilverBack = Rgb(200, 180, 160);

TEST(Rounded, SilverAtRestHasTwoPartFaceAndWhiteSides) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kSilverBack);
  in.colorScheme = 2;
  r.Draw(in);
  // Upper half, 12 rows from S(+0.22) = (255, 236, 216) to B, n = 11, row 5:
  // 255 + (5 x -55) div 11 = 230; 236 + (-280) div 11 = 236 - 25 = 211; 216 - 25 = 191.
  EXPECT_PIXEL(r, 30, 5, Rgb(230, 211, 191));
  // Lower half from row 12, S(-0.01) = (197, 177, 157) to S(-0.15) = (162, 142, 122), row 16:
  // 197 + (4 x -35) div 11 = 197 - 12 = 185; 165; 145.
  EXPECT_PIXEL(r, 30, 16, Rgb(185, 165, 145));
  EXPECT_PIXEL(r, kW - 2, 12, kWhite);
  EXPECT_PIXEL(r, 1, 12, kWhite);
  ExpectOutline(r, kNavy, kNavyCorner);
}

TEST(Rounded, SilverHotHasSilverFaceAndOrangeRim) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kSilverBack);
  in.colorScheme = 2;
  in.state = 1;
  r.Draw(in);
  EXPECT_PIXEL(r, 30, 5, Rgb(230, 211, 191));
  EXPECT_PIXEL(r, 30, 16, Rgb(185, 165, 145));
  ExpectOrangeRim(r);
  ExpectOutline(r, kNavy, kNavyCorner);
}

TEST(Rounded, SilverPressedDarkensToTheTopWithWhiteFoot) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kSilverBack);
  in.colorScheme = 2;
  in.state = 2;
  r.Draw(in);
  // Rows 0..17 from S(-0.2) = (149, 129, 109) to S(+0.05) = (213, 193, 173), n = 17, row 2:
  // 149 + (2 x 64) div 17 = 156; 136; 116.
  EXPECT_PIXEL(r, 30, 2, Rgb(156, 136, 116));
  EXPECT_PIXEL(r, 30, 17, Rgb(213, 193, 173));
  // Foot from row 18, H - 1 = 23 rows (n = 22) from S(+0.08) = (220, 200, 180) to white:
  // row 18 = (220, 200, 180); row 19: 220 + 35 div 22 = 221, 200 + 55 div 22 = 202,
  // 180 + 75 div 22 = 183; row 21: 220 + 105 div 22 = 224, 200 + 165 div 22 = 207,
  // 180 + 225 div 22 = 190.
  EXPECT_PIXEL(r, 30, 18, Rgb(220, 200, 180));
  EXPECT_PIXEL(r, 30, 19, Rgb(221, 202, 183));
  EXPECT_PIXEL(r, 30, 21, Rgb(224, 207, 190));
  // White inner frame (1, 1, 58, 22): rows 1 and 22, columns 1 and 58.
  EXPECT_PIXEL(r, 30, 1, kWhite);
  EXPECT_PIXEL(r, 30, 22, kWhite);
  EXPECT_PIXEL(r, 1, 12, kWhite);
  EXPECT_PIXEL(r, 58, 12, kWhite);
  ExpectOutline(r, kNavy, kNavyCorner);
}

TEST(Rounded, FocusedOliveAtRestHasGreenRimAndOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
  in.colorScheme = 1;
  in.hasFocus = true;
  in.showFocusRect = false;
  r.Draw(in);
  const auto without = r.Snapshot();
  EXPECT_PIXEL(r, 30, 2, Rgb(194, 209, 143));
  EXPECT_PIXEL(r, 30, 1, Rgb(177, 203, 128));
  EXPECT_PIXEL(r, 1, 12, Rgb(160, 200, 104));
  EXPECT_PIXEL(r, kW - 2, 12, Rgb(160, 200, 104));
  EXPECT_PIXEL(r, 2, 12, Rgb(160, 200, 104));
  EXPECT_PIXEL(r, kW - 3, 12, Rgb(160, 200, 104));
  EXPECT_PIXEL(r, 30, kH - 3, Rgb(160, 200, 104));
  EXPECT_PIXEL(r, 30, kH - 2, Rgb(168, 167, 102));
  ExpectOutline(r, Rgb(55, 98, 6), Rgb(132, 175, 83));
  // With ShowFocusRect the dotted frame (2, 2, W - 2, H - 2) is added and nothing else.
  in.showFocusRect = true;
  r.Draw(in);
  ExpectOnlyFrameDiffers(r.Snapshot(), without, {2, 2, kW - 2, kH - 2});
}

TEST(Rounded, DefaultButtonWithoutFocusGetsTheBlueRim) {
  for (int scheme : {0, 3}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
    in.colorScheme = scheme;
    in.isDefault = true;
    in.showFocusRect = false;
    r.Draw(in);
    SCOPED_TRACE(scheme);
    EXPECT_PIXEL(r, 30, 2, Rgb(188, 212, 246));
    EXPECT_PIXEL(r, 30, 1, Rgb(206, 231, 255));
    EXPECT_PIXEL(r, 1, 12, Rgb(142, 175, 230));
    EXPECT_PIXEL(r, kW - 2, 12, Rgb(142, 175, 230));
    EXPECT_PIXEL(r, 2, 12, Rgb(184, 209, 244));
    EXPECT_PIXEL(r, kW - 3, 12, Rgb(184, 209, 244));
    EXPECT_PIXEL(r, 30, kH - 3, Rgb(137, 173, 228));
    EXPECT_PIXEL(r, 30, kH - 2, Rgb(105, 130, 238));
    ExpectOutline(r, kNavy, kNavyCorner);
  }
}

TEST(Rounded, SilverFocusRimHasWhiteInnerSides) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kSilverBack);
  in.colorScheme = 2;
  in.hasFocus = true;
  in.showFocusRect = false;
  r.Draw(in);
  EXPECT_PIXEL(r, 2, 12, kWhite);
  EXPECT_PIXEL(r, kW - 3, 12, kWhite);
  EXPECT_PIXEL(r, 1, 12, Rgb(142, 175, 230));
  EXPECT_PIXEL(r, 30, kH - 2, Rgb(105, 130, 238));
}

TEST(Rounded, FocusRimOnlyAtRestInAnActiveWindow) {
  Rig r;
  PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
  in.colorScheme = 0;
  in.hasFocus = true;
  in.showFocusRect = false;
  in.state = 1;
  r.Draw(in);
  ExpectOrangeRim(r);
  in.state = 0;
  in.parentActive = false;
  r.Draw(in);
  EXPECT_PIXEL(r, 30, 22, Rgb(213, 212, 208)) << "the plain lower shading";
  EXPECT_PIXEL(r, 30, 2, Rgb(255, 255, 253));
}

TEST(Rounded, DisabledMixesButtonFaceWithLightenedBackColor) {
  for (int state : {0, 1, 2}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::Rounded, kRoundedBack);
    in.enabled = false;
    in.hasFocus = true;
    in.state = state;
    r.Draw(in);
    SCOPED_TRACE(state);
    // MixColours((212, 208, 200), S(+0.1) = (255, 255, 255)): 233.5 -> 234, 231.5 -> 232,
    // 227.5 -> 228 (ties to even).
    EXPECT_PIXEL(r, 30, 12, Rgb(234, 232, 228));
    EXPECT_PIXEL(r, 30, 2, Rgb(234, 232, 228)) << "no focus rim";
    ExpectOutline(r, Rgb(210, 209, 205), Rgb(210, 209, 205));  // S(-0.1)
    ASSERT_EQ(r.host.regions.size(), 1u);
  }
}

// ---- SilverToolbar ----

TEST(SilverToolbar, AtRestIsFlatBackColorWithoutOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  r.Draw(in);
  ExpectNoEdge(r, kBack);
  EXPECT_PIXEL(r, 1, 1, kBack);
  ASSERT_EQ(r.host.regions.size(), 1u);
  EXPECT_EQ(r.host.regions[0], (RegionShape{true, kW + 1, kH + 1, 4}));
}

TEST(SilverToolbar, HotIsPaleSilverWithGreyOutline) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.state = 1;
  r.Draw(in);
  // Upper 12 rows (254, 254, 253) -> (244, 244, 238), n = 11, row 5: 254 + (-50) div 11 = 250,
  // 253 + (-75) div 11 = 247. Lower 12 rows (244, 244, 238) -> (241, 241, 234), row 17:
  // 244 + (-15) div 11 = 243, 238 + (-20) div 11 = 237.
  EXPECT_PIXEL(r, 30, 5, Rgb(250, 250, 247));
  EXPECT_PIXEL(r, 30, 17, Rgb(243, 243, 237));
  EXPECT_PIXEL(r, kW - 2, 10, Rgb(234, 231, 224));
  EXPECT_PIXEL(r, kW - 3, 10, Rgb(240, 240, 234));
  EXPECT_PIXEL(r, 30, 20, Rgb(238, 237, 229));
  EXPECT_PIXEL(r, 30, 21, Rgb(228, 225, 214));
  EXPECT_PIXEL(r, 30, 22, Rgb(215, 210, 198));
  EXPECT_PIXEL(r, kW - 2, 20, Rgb(238, 237, 229)) << "the bottom lines cross the side lines";
  // Outline (206, 206, 195); corners (212, 212, 201) - 0.05 = (199, 199, 188).
  ExpectOutline(r, Rgb(206, 206, 195), Rgb(199, 199, 188));
}

TEST(SilverToolbar, PressedIsGreyWithWhiteCaption) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.caption = L"MMMM";
  in.font = FontDesc{L"Tahoma", -14, 700};
  in.state = 2;
  r.Draw(in);
  EXPECT_PIXEL(r, 2, 12, Rgb(229, 228, 221));
  EXPECT_PIXEL(r, 30, 1, Rgb(215, 213, 204));   // (220, 218, 209) - 0.02
  EXPECT_PIXEL(r, 30, 2, Rgb(222, 220, 213));   // (227, 225, 218) - 0.02
  EXPECT_PIXEL(r, 30, 21, Rgb(235, 234, 227));  // (230, 229, 222) + 0.02
  EXPECT_PIXEL(r, 30, 22, Rgb(240, 239, 234));  // (235, 234, 229) + 0.02
  // Outline (157, 157, 146); corners (181, 180, 171) - 0.2 = (130, 129, 120).
  ExpectOutline(r, Rgb(157, 157, 146), Rgb(130, 129, 120));
  ASSERT_FALSE(r.host.storedFore.empty());
  EXPECT_EQ(Hex(r.host.storedFore.back()), Hex(kWhite)) << "ForeColor reads white after a pressed paint";
  const Rect text = r.renderer.State().layout.captionRect;
  int white = 0;
  for (int y = std::max(0, text.top); y < std::min(kH, text.bottom); ++y)
    for (int x = std::max(0, text.left); x < std::min(kW, text.right); ++x) white += r.At(x, y) == kWhite;
  EXPECT_GT(white, 0) << "the pressed caption is drawn in white";
}

TEST(SilverToolbar, HotAndPressedIgnoreBackColor) {
  for (int state : {1, 2}) {
    Rig a, b;
    PaintInput in = Button(ButtonStyle::SilverToolbar, Rgb(10, 20, 30));
    in.state = state;
    a.Draw(in);
    in.backColor = Rgb(250, 200, 150);
    b.Draw(in);
    EXPECT_EQ(a.Snapshot(), b.Snapshot()) << "state " << state;
  }
}

TEST(SilverToolbar, LatchedIsNearWhiteWithExtraLinesUnderTheMouse) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SilverToolbar);
  in.mode = 1;
  in.value = true;
  r.Draw(in);
  const Colour face = Rgb(254, 254, 254);
  EXPECT_PIXEL(r, 30, 12, face);
  EXPECT_PIXEL(r, 30, 21, face);
  EXPECT_PIXEL(r, kW - 2, 10, face);
  // Outline (122, 152, 175); corners (160, 179, 193) - 0.2 = (109, 128, 142).
  ExpectOutline(r, Rgb(122, 152, 175), Rgb(109, 128, 142));
  EXPECT_EQ(Hex(r.host.storedFore.back()), Hex(testing::kTestButtonText));

  in.state = 1;
  r.Draw(in);
  EXPECT_PIXEL(r, kW - 2, 10, Rgb(242, 240, 237));
  EXPECT_PIXEL(r, 30, kH - 2, Rgb(228, 222, 216));
  EXPECT_PIXEL(r, 30, kH - 3, Rgb(239, 236, 232));
  EXPECT_PIXEL(r, 30, kH - 4, Rgb(250, 249, 248));
  EXPECT_PIXEL(r, kW - 2, kH - 3, Rgb(239, 236, 232)) << "the lines reach column W - 2";
  EXPECT_PIXEL(r, 30, 12, face);

  in.mouseHeld = true;
  r.Draw(in);
  EXPECT_PIXEL(r, 30, 12, Rgb(229, 228, 221)) << "held: the pressed look";
  ExpectOutline(r, Rgb(157, 157, 146), Rgb(130, 129, 120));
}

// ---- SystemTheme ----

// Everything outside the caption is the system button face, and the caption was drawn.
void ExpectOnlyCaptionOnButtonFace(const Rig& r) {
  const Rect text = r.renderer.State().layout.captionRect;
  int inked = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const bool inCaption = x >= text.left && x < text.right && y >= text.top && y < text.bottom;
      if (r.At(x, y) == testing::kTestButtonFace) continue;
      if (inCaption) {
        ++inked;
      } else {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << Hex(r.At(x, y)) << ", not the button face";
      }
    }
  }
  EXPECT_GT(inked, 0) << "the caption is drawn without a theme";
}

TEST(SystemTheme, AsksForTheStateMappedThemeBackgroundAndRegion) {
  struct Case {
    int state;
    bool enabled, focus, isDefault;
    int expected;
  };
  for (Case c : {Case{0, true, false, false, 1}, Case{1, true, false, false, 2}, Case{2, true, false, false, 3},
                 Case{0, false, true, false, 4}, Case{2, false, false, false, 4}, Case{0, true, true, false, 5},
                 Case{1, true, true, false, 2}, Case{0, true, false, true, 5}}) {
    Rig r;
    PaintInput in = Button(ButtonStyle::SystemTheme);
    in.state = c.state;
    in.enabled = c.enabled;
    in.hasFocus = c.focus;
    in.isDefault = c.isDefault;
    r.Draw(in);
    SCOPED_TRACE(c.expected);
    ASSERT_EQ(r.recorder->calls.size(), 1u);
    const auto& call = r.recorder->calls[0];
    EXPECT_EQ(call.state, c.expected);
    EXPECT_EQ(call.rect, (Rect{0, 0, kW, kH}));
    EXPECT_EQ(call.clip, (Rect{0, 0, kW, kH}));
    ASSERT_TRUE(call.region.has_value()) << "the region is handed over on every paint";
    EXPECT_EQ(*call.region, (Rect{-1, -1, kW + 1, kH + 2}));
    EXPECT_TRUE(r.host.regions.empty()) << "no style region for a themed button";
    EXPECT_EQ(r.host.fallbacks, 0);
  }
}

TEST(SystemTheme, WithoutThemeDataOnlyCaptionOnButtonFace) {
  Rig r;
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.caption = L"MMMM";
  in.foreColor = Rgb(0, 0, 255);
  r.Draw(in, /*themeAvailable=*/false);
  ExpectOnlyCaptionOnButtonFace(r);
}

// A real window and the platform's theme engine: the theme's region lands on the window, and a
// window whose theme is switched off draws only its caption.
struct TestWindow {
  HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, kW, kH, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  ~TestWindow() {
    if (hwnd) ::DestroyWindow(hwnd);
  }
};

TEST(SystemTheme, ThemedPaintHandsTheThemeRegionToTheWindow) {
  TestWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  HTHEME probe = ::OpenThemeData(window.hwnd, L"Button");
  if (!probe) GTEST_SKIP() << "visual styles are off in this Wine prefix";
  ::CloseThemeData(probe);
  Rig r;
  r.window = window.hwnd;
  PaintInput in = Button(ButtonStyle::SystemTheme);
  const int before = LiveGdiObjects();
  r.Draw(in);
  EXPECT_EQ(LiveGdiObjects(), before);
  ASSERT_EQ(r.recorder->calls.size(), 1u);
  EXPECT_TRUE(r.recorder->calls[0].drawn);
  HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
  const int kind = ::GetWindowRgn(window.hwnd, rgn);
  RECT box{};
  ::GetRgnBox(rgn, &box);
  ::DeleteObject(rgn);
  EXPECT_NE(kind, ERROR) << "the window has the theme's region";
  EXPECT_NE(kind, NULLREGION);
  EXPECT_LE(box.right, kW + 1);
  EXPECT_LE(box.bottom, kH + 2);
  // The theme painted the face: not every pixel is the plain button face.
  int face = 0;
  for (Colour c : r.Snapshot()) face += c == testing::kTestButtonFace;
  EXPECT_LT(face, kW * kH);
}

TEST(SystemTheme, WindowWithThemeSwitchedOffDrawsCaptionOnButtonFace) {
  TestWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  ASSERT_EQ(::SetWindowTheme(window.hwnd, L" ", L" "), S_OK);
  HTHEME probe = ::OpenThemeData(window.hwnd, L"Button");
  if (probe) {
    ::CloseThemeData(probe);
    GTEST_SKIP() << "this platform still opens a theme for the window";
  }
  Rig r;
  r.window = window.hwnd;
  PaintInput in = Button(ButtonStyle::SystemTheme);
  in.caption = L"MMMM";
  in.foreColor = Rgb(0, 0, 255);
  r.Draw(in);
  ASSERT_EQ(r.recorder->calls.size(), 1u);
  EXPECT_FALSE(r.recorder->calls[0].drawn);
  ExpectOnlyCaptionOnButtonFace(r);
  HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(::GetWindowRgn(window.hwnd, rgn), ERROR) << "the window keeps having no region";
  ::DeleteObject(rgn);
}

TEST(SystemTheme, VisualStylesOffFallsBackToBlueRounded) {
  Rig r;
  r.host.themed = false;
  PaintInput in = Button(ButtonStyle::SystemTheme, Rgb(9, 9, 9));
  r.Draw(in);
  EXPECT_EQ(r.host.fallbacks, 1);
  EXPECT_EQ(in.buttonStyle, ButtonStyle::Rounded);
  EXPECT_EQ(in.colorScheme, 0);
  EXPECT_EQ(in.backColor, kRoundedBack) << "the Rounded face of the Blue scheme";
  EXPECT_TRUE(r.recorder->calls.empty()) << "no theme is opened";
  ExpectOutline(r, kNavy, kNavyCorner);
  EXPECT_PIXEL(r, 30, 12, kRoundedMid);
  ASSERT_EQ(r.host.regions.size(), 1u);
  EXPECT_EQ(r.host.regions[0], (RegionShape{true, kW + 1, kH + 1, 3}));
}

// ---- No GDI object outlives a paint ----

TEST(StylesALeaks, TenThousandRedrawsOfEveryLookLeakNothing) {
  TestWindow window;
  StylesHost host;
  host.width = kW;
  host.height = kH;
  DibCanvas dib(kW, kH);
  ButtonRenderer renderer;
  PaintInput in;
  in.caption = L"&Convert";
  in.font.face = L"Tahoma";
  in.font.height = -11;
  in.dropDownSymbol = 6;
  in.dropDownSeparator = true;
  in.captionEffects = 4;
  const int styles[] = {ButtonStyle::Classic, ButtonStyle::Flat, ButtonStyle::HoverRaised, ButtonStyle::HoverThin,
                        ButtonStyle::Rounded, ButtonStyle::SilverToolbar, ButtonStyle::SystemTheme};
  const int start = LiveGdiObjects();
  for (int i = 0; i < 10000; ++i) {
    in.buttonStyle = styles[i % 7];
    in.state = (i / 7) % 3;
    in.enabled = (i % 11) != 0;
    in.hasFocus = (i % 5) < 2;
    in.isDefault = (i % 13) == 0;
    in.mode = (i % 17) < 3 ? 1 : 0;
    in.value = (i % 2) == 0;
    in.mouseHeld = (i % 19) == 0;
    in.colorScheme = (i / 3) % 5;
    in.backColor = Rgb(i % 256, 200, 100);
    {
      GdiSurface surface(dib.Dc(), kW, kH, window.hwnd, kCleared);
      renderer.Redraw(surface, host, in);
    }
    if (LiveGdiObjects() != start) {
      FAIL() << "redraw " << i << " (style " << in.buttonStyle << ") left " << LiveGdiObjects() - start
             << " GDI objects";
    }
  }
  EXPECT_EQ(LiveGdiObjects(), start);
}

}  // namespace
}  // namespace quillon::render
