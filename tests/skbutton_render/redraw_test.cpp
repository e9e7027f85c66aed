// The redraw dispatcher, the region shapes and the caption composition over a pixel buffer.
#include <gtest/gtest.h>

#include <memory>

#include "fake_host.h"
#include "memory_surface.h"
#include "redraw.h"

namespace quillon::render {
namespace {

using testing::FakeHost;
using testing::MemorySurface;
using testing::TextCall;

// Painters that note what they were asked to draw.
struct Calls {
  int style = -1;
  int state = -1;
  int count = 0;
};
Calls g_calls;
template <int Style>
void Recorder(PaintContext& c, int state) {
  g_calls = {Style, state, g_calls.count + 1};
  c.ReadSize();
}

PainterTable RecordingTable() {
  PainterTable t;
  t.Set(ButtonStyle::Rounded, &Recorder<2>);
  t.Set(ButtonStyle::Glass, &Recorder<3>);
  t.Set(ButtonStyle::Classic, &Recorder<0>);
  t.Set(ButtonStyle::SilverToolbar, &Recorder<6>);
  t.Set(ButtonStyle::SystemTheme, &Recorder<13>);
  return t;
}

TEST(Redraw, SizeIsRoundedTiesToEvenAndCached) {
  const PainterTable table = RecordingTable();
  ButtonRenderer renderer(table);
  MemorySurface surface(100, 30);
  FakeHost host;
  PaintInput in;
  in.buttonStyle = 3;
  host.height = 25.5;
  host.width = 80.5;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(renderer.State().H, 26);
  EXPECT_EQ(renderer.State().W, 80);
  EXPECT_EQ(renderer.State().client, (Rect{0, 0, 80, 26}));
  host.height = 24.5;
  host.width = 81.5;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(renderer.State().H, 24);
  EXPECT_EQ(renderer.State().W, 82);
  EXPECT_EQ(surface.clears, 2);
}

TEST(Redraw, LatchedValueForcesDownExceptClassicAndSilverToolbar) {
  const PainterTable table = RecordingTable();
  ButtonRenderer renderer(table);
  MemorySurface surface(100, 25);
  FakeHost host;
  PaintInput in;
  in.buttonStyle = 3;
  in.mode = 1;
  in.value = true;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(g_calls.state, 2);
  EXPECT_EQ(in.state, 2);
  ASSERT_EQ(host.storedStates.size(), 1u);
  EXPECT_EQ(host.storedStates[0], 2);
  for (int style : {0, 6}) {
    FakeHost h;
    PaintInput p;
    p.buttonStyle = style;
    p.mode = 2;
    p.value = true;
    p.state = 1;
    renderer.Redraw(surface, h, p);
    EXPECT_EQ(g_calls.style, style);
    EXPECT_EQ(g_calls.state, 1);
    EXPECT_TRUE(h.storedStates.empty());
  }
  // Mode 0 never forces.
  FakeHost h;
  PaintInput p;
  p.buttonStyle = 3;
  p.value = true;
  renderer.Redraw(surface, h, p);
  EXPECT_EQ(g_calls.state, 0);
}

TEST(Redraw, MissingOrOutOfRangeStyleLeavesClearedSurface) {
  const PainterTable table = RecordingTable();
  ButtonRenderer renderer(table);
  MemorySurface surface(10, 10);
  surface.FillRectangle(0x123456, {0, 0, 10, 10});
  FakeHost host;
  PaintInput in;
  for (int style : {-1, 4, 14, 99}) {
    in.buttonStyle = style;
    const int before = g_calls.count;
    renderer.Redraw(surface, host, in);
    EXPECT_EQ(g_calls.count, before) << style;
    EXPECT_EQ(surface.At(5, 5), 0xF0F0F0u);
  }
}

TEST(Redraw, SystemThemeFallsBackToRoundedForGood) {
  const PainterTable table = RecordingTable();
  ButtonRenderer renderer(table);
  MemorySurface surface(100, 25);
  FakeHost host;
  PaintInput in;
  in.buttonStyle = 13;
  host.themed = true;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(g_calls.style, 13);
  EXPECT_EQ(host.fallbacks, 0);
  host.themed = false;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(host.fallbacks, 1);
  EXPECT_EQ(g_calls.style, 2);
  EXPECT_EQ(in.buttonStyle, 2);
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(host.fallbacks, 1);
}

TEST(RegionFor, ShapesPerStyle) {
  EXPECT_EQ(RegionFor(3, 80, 24, 0, 0), (RegionShape{true, 81, 25, 3}));
  EXPECT_EQ(RegionFor(6, 80, 24, 0, 0), (RegionShape{true, 81, 25, 4}));
  for (int s : {2, 7, 9}) EXPECT_EQ(RegionFor(s, 80, 24, 1, 1).ellipse, 3);
  EXPECT_EQ(RegionFor(10, 80, 24, 1, 1).ellipse, 4);
  for (int s : {0, 1, 4, 5, 8, 11, 12, 13, 14, -3})
    EXPECT_EQ(RegionFor(s, 80, 24, 97, 33), (RegionShape{false, 97, 33, 0})) << s;
}

TEST(RebuildRegion, RoundedUsesCachedSizeRectangleMeasuresAfresh) {
  ButtonRenderer renderer(RecordingTable());
  MemorySurface surface(100, 40);
  FakeHost host;
  host.width = 80;
  host.height = 24;
  PaintInput in;
  in.buttonStyle = 3;
  renderer.Redraw(surface, host, in);
  host.width = 90.5;
  host.height = 33.5;
  renderer.RebuildRegion(surface, host, in);
  in.buttonStyle = 8;
  renderer.RebuildRegion(surface, host, in);
  ASSERT_EQ(host.regions.size(), 2u);
  EXPECT_EQ(host.regions[0], (RegionShape{true, 81, 25, 3}));
  EXPECT_EQ(host.regions[1], (RegionShape{false, 90, 34, 0}));
}

// Paints a flat face in BackColor and the caption: enough to test the composition.
void FlatFace(PaintContext& c, int) {
  c.ReadSize();
  c.surface.FillRectangle(c.Translate(c.in.backColor), c.client);
  c.DrawCaptionAndPicture();
}

PainterTable FlatTable() {
  PainterTable t;
  for (int s = 0; s < kButtonStyleCount; ++s) t.Set(s, &FlatFace);
  return t;
}

struct Composition : ::testing::Test {
  PainterTable table = FlatTable();
  ButtonRenderer renderer{table};
  MemorySurface surface{100, 25};
  FakeHost host;
  PaintInput in;
  Composition() {
    in.buttonStyle = 3;
    in.caption = L"Go";
    in.foreColor = Rgb(1, 2, 3);
    in.foreColorHover = Rgb(4, 5, 6);
    in.backColor = Rgb(240, 240, 240);
    host.colours.Set(kColorGrayText, Rgb(109, 109, 109));
  }
  void Draw() {
    surface.texts.clear();
    renderer.Redraw(surface, host, in);
  }
};

TEST_F(Composition, CaptionInStateColoursWithCentredWordBreakFormat) {
  Draw();
  ASSERT_EQ(surface.texts.size(), 1u);
  EXPECT_EQ(surface.texts[0].colour, Rgb(1, 2, 3));
  EXPECT_EQ(surface.texts[0].format, 17u);
  EXPECT_EQ(surface.texts[0].rect, (Rect{30, 6, 70, 19}));
  EXPECT_EQ(surface.measureFormats.back(), 0x10u);
  in.state = 1;
  Draw();
  EXPECT_EQ(surface.texts[0].colour, Rgb(4, 5, 6));
  in.enabled = false;
  Draw();
  EXPECT_EQ(surface.texts[0].colour, Rgb(109, 109, 109));
  in.rightToLeft = true;
  Draw();
  EXPECT_EQ(surface.texts[0].format, 17u | 0x20000u);
  EXPECT_EQ(surface.measureFormats.back(), 0x10u | 0x20000u);
  // The surface's text colour is put back after the caption.
  EXPECT_EQ(surface.TextColour(), 0u);
}

TEST_F(Composition, CaptionEffectsColoursAndOffsets) {
  const Rect caption{30, 6, 70, 19};
  struct Case {
    int effect;
    OleColour back;
    Colour copy;
    std::vector<std::pair<int, int>> offsets;
  } cases[] = {
      {1, Rgb(100, 100, 100), Rgb(136, 136, 136), {{-1, -1}}},
      {2, Rgb(100, 100, 100), Rgb(136, 136, 136), {{1, 1}}},
      {3, Rgb(100, 100, 100), Rgb(192, 192, 192), {{1, 1}}},
      {4, Rgb(240, 240, 240), Rgb(255, 255, 255), {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
      {5, Rgb(0, 0, 0), Rgb(0, 0, 0), {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
      {5, Rgb(100, 100, 100), Rgb(74, 74, 74), {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
  };
  for (const Case& c : cases) {
    in.captionEffects = c.effect;
    in.backColor = c.back;
    Draw();
    // Copies, then the caption by the effects in ForeColor, then the caption in the state colour.
    ASSERT_EQ(surface.texts.size(), c.offsets.size() + 2) << c.effect;
    for (std::size_t i = 0; i < c.offsets.size(); ++i) {
      EXPECT_EQ(surface.texts[i].colour, c.copy) << c.effect;
      EXPECT_EQ(surface.texts[i].rect, caption.Offset(c.offsets[i].first, c.offsets[i].second));
    }
    EXPECT_EQ(surface.texts[c.offsets.size()].colour, Rgb(1, 2, 3));
    EXPECT_EQ(surface.texts[c.offsets.size()].rect, caption);
  }
  in.captionEffects = 6;
  Draw();
  EXPECT_EQ(surface.texts.size(), 2u);
  // Disabled: effect copies keep BackColor's shades, the caption turns grey.
  in.captionEffects = 4;
  in.backColor = Rgb(240, 240, 240);
  in.enabled = false;
  Draw();
  EXPECT_EQ(surface.texts[0].colour, Rgb(255, 255, 255));
  EXPECT_EQ(surface.texts[4].colour, Rgb(109, 109, 109));
  EXPECT_EQ(surface.texts[5].colour, Rgb(109, 109, 109));
}

TEST_F(Composition, DropDownSymbolFontColourAndPressedOffsets) {
  in.dropDownSymbol = 64;  // two digits: only the first is drawn
  in.state = 1;
  Draw();
  ASSERT_EQ(surface.texts.size(), 2u);
  const TextCall& symbol = surface.texts[1];
  EXPECT_EQ(symbol.text, L"6");
  EXPECT_EQ(symbol.font, SymbolFont());
  EXPECT_EQ(symbol.font.face, L"Marlett");
  EXPECT_EQ(symbol.font.height, 14);
  EXPECT_EQ(symbol.font.charset, 2);
  EXPECT_EQ(symbol.format, 0x10u);
  EXPECT_EQ(symbol.colour, Rgb(1, 2, 3));  // never the hover colour
  EXPECT_EQ(symbol.rect, (Rect{85, 6, 100, 20}));
  EXPECT_EQ(surface.texts[0].colour, Rgb(4, 5, 6));
  // Pressed: 2 pixels for Classic, 1 for GoldHover, none for Glass.
  for (auto [style, d] : {std::pair{0, 2}, {5, 1}, {10, 1}, {3, 0}, {8, 0}}) {
    in.buttonStyle = style;
    in.state = 2;
    Draw();
    EXPECT_EQ(surface.texts.back().rect, (Rect{85 + d, 6 + d, 100 + d, 20 + d})) << style;
  }
  in.enabled = false;
  Draw();
  EXPECT_EQ(surface.texts.back().colour, Rgb(109, 109, 109));
}

TEST_F(Composition, SeparatorShadesTheFacePixel) {
  in.backColor = Rgb(128, 128, 128);
  in.dropDownSeparator = true;
  Draw();
  for (int y = 0; y < 25; ++y) {
    const bool on = y >= 3 && y <= 21;  // rows 3 .. H - 4
    EXPECT_EQ(surface.At(84, y), on ? 0x666666u : 0x808080u) << y;
    EXPECT_EQ(surface.At(85, y), on ? 0x9A9A9Au : 0x808080u) << y;
  }
  // No separator when the caption comes within 8 pixels of the right edge.
  in.captionAlign = 0;
  surface.measured = {90, 13};
  Draw();
  EXPECT_EQ(surface.At(84, 10), 0x808080u);
}

PictureRef Square(int size, std::uint32_t argb) {
  return container::MakePicture(PictureKind::Bitmap, size, size, 24, false,
                                std::vector<std::uint32_t>(static_cast<std::size_t>(size * size), argb));
}

TEST_F(Composition, PictureShadowAndPushOnHover) {
  in.caption.clear();
  in.backColor = Rgb(100, 100, 100);
  in.pictureNormal = Square(4, 0x00FF0000);  // red
  in.pictureShadow = true;
  Draw();
  // Centred: (100 - 4) div 2 = 48, (25 - 4) div 2 = 10. Base = Mix(128, 100) = 114.
  // Picture at (48..51, 10..13); +1 shadow over (49..52, 11..14); +2 shadow over (50..53, 12..15).
  EXPECT_EQ(surface.At(48, 10), Rgb(255, 0, 0));
  EXPECT_EQ(surface.At(51, 13), Rgb(255, 0, 0));
  EXPECT_EQ(surface.At(53, 15), Rgb(127, 127, 127));  // +2 only: 114 + 13
  EXPECT_EQ(surface.At(53, 12), Rgb(127, 127, 127));
  EXPECT_EQ(surface.At(50, 15), Rgb(127, 127, 127));
  EXPECT_EQ(surface.At(52, 14), Rgb(88, 88, 88));  // +1 drawn over +2: 114 - 26
  EXPECT_EQ(surface.At(52, 11), Rgb(88, 88, 88));
  EXPECT_EQ(surface.At(49, 14), Rgb(88, 88, 88));
  EXPECT_EQ(surface.At(48, 14), Rgb(100, 100, 100));
  EXPECT_EQ(surface.At(52, 10), Rgb(100, 100, 100));
  // Hot with push-on-hover: silver silhouette in place, picture lifted by (-2, -2), no shadow.
  in.picturePushOnHover = true;
  in.state = 1;
  Draw();
  EXPECT_EQ(surface.At(46, 8), Rgb(255, 0, 0));
  EXPECT_EQ(surface.At(51, 13), Rgb(192, 192, 192));
  EXPECT_EQ(surface.At(52, 14), Rgb(100, 100, 100));
}

TEST_F(Composition, PressedContentMovesOnlyInStylesThatShowIt) {
  in.state = 2;
  in.buttonStyle = 0;
  Draw();
  EXPECT_EQ(surface.texts[0].rect, (Rect{31, 7, 71, 20}));
  in.buttonStyle = 3;
  Draw();
  EXPECT_EQ(surface.texts[0].rect, (Rect{30, 6, 70, 19}));
}

TEST_F(Composition, MarkCornersUsesFreshSize) {
  struct Local {
    static void Paint(PaintContext& c, int) { c.MarkCorners(Rgb(1, 1, 1)); }
  };
  PainterTable t;
  t.Set(ButtonStyle::Glass, &Local::Paint);
  ButtonRenderer r(t);
  host.width = 20;
  host.height = 10;
  r.Redraw(surface, host, in);
  EXPECT_EQ(surface.At(1, 1), Rgb(1, 1, 1));
  EXPECT_EQ(surface.At(1, 8), Rgb(1, 1, 1));
  EXPECT_EQ(surface.At(18, 1), Rgb(1, 1, 1));
  EXPECT_EQ(surface.At(18, 8), Rgb(1, 1, 1));
  EXPECT_EQ(surface.At(0, 0), 0xF0F0F0u);
  EXPECT_EQ(surface.At(2, 2), 0xF0F0F0u);
}

}  // namespace
}  // namespace quillon::render
