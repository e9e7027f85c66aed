// Whole redraws through the GDI surface: size caching, corner marks and the GDI leak check.
#include <gtest/gtest.h>

#include "busy_paint_input.h"
#include "fake_host.h"
#include "gdi_surface.h"
#include "redraw.h"

namespace quillon::render {
namespace {

using testing::FakeHost;

// Uses every drawing operation a painter has.
void EverythingPainter(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (state == 0) c.RebuildRegion();
  c.surface.FillRectangle(ShiftColour(b, 0.03f), c.client);
  c.GradientFill(1, 1, c.W - 1, c.H, ShiftColour(b, 0.05f), b, 1);
  c.GradientFill(1, 3, 5, 10, RGB(205, 238, 255), RGB(228, 247, 255), 0);
  c.surface.DrawLine(1, 1, c.W - 1, 1, RGB(113, 156, 179));
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, RGB(112, 112, 112));
  c.surface.DrawEdge(c.client, edge::kRaised, edge::kRect);
  c.surface.DrawFocusRect({2, 2, c.W - 2, c.H - 2});
  c.MarkCorners(RGB(95, 150, 190));
}

TEST(RedrawGdi, SurfaceSizeCachedWithTiesToEven) {
  PainterTable table;
  table.Set(ButtonStyle::Glass, &EverythingPainter);
  ButtonRenderer renderer(table);
  DibCanvas dib(40, 30);
  GdiSurface surface(dib.Dc(), 40, 30);
  FakeHost host;
  PaintInput in;
  in.buttonStyle = ButtonStyle::Glass;
  in.caption = L"x";
  host.width = 20.5;
  host.height = 25.5;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(renderer.State().W, 20);
  EXPECT_EQ(renderer.State().H, 26);
  // The corner marks sit one step inside the 20 x 26 control.
  EXPECT_EQ(dib.Pixel(1, 1), RGB(95, 150, 190));
  EXPECT_EQ(dib.Pixel(18, 24), RGB(95, 150, 190));
  EXPECT_EQ(dib.Pixel(1, 24), RGB(95, 150, 190));
  EXPECT_EQ(dib.Pixel(18, 1), RGB(95, 150, 190));
  ASSERT_EQ(host.regions.size(), 1u);
  EXPECT_EQ(host.regions[0], (RegionShape{true, 21, 27, 3}));
  host.height = 24.5;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(renderer.State().H, 24);
}

TEST(RedrawGdi, ClearUsesTheSurfaceBackground) {
  ButtonRenderer renderer{PainterTable{}};
  DibCanvas dib(10, 10);
  GdiSurface surface(dib.Dc(), 10, 10, nullptr, RGB(1, 2, 3));
  FakeHost host;
  PaintInput in;
  in.buttonStyle = 42;
  renderer.Redraw(surface, host, in);
  EXPECT_EQ(dib.Pixel(9, 9), RGB(1, 2, 3));
}

TEST(RedrawGdi, TenThousandRedrawsLeakNoGdiObject) {
  PainterTable table;
  for (int s = 0; s < kButtonStyleCount; ++s) table.Set(s, &EverythingPainter);
  ButtonRenderer renderer(table);
  DibCanvas dib(97, 33);
  FakeHost host;
  host.width = 97;
  host.height = 33;
  PaintInput in = testing::BusyPaintInput(RGB(227, 227, 227));
  const int start = LiveGdiObjects();
  for (int i = 0; i < 10000; ++i) {
    in.state = i % 3;
    in.buttonStyle = i % kButtonStyleCount;
    in.enabled = (i % 7) != 0;
    in.picturePushOnHover = (i % 2) != 0;
    {
      // One surface per paint, as the control makes one per WM_PAINT.
      GdiSurface surface(dib);
      renderer.Redraw(surface, host, in);
    }
    if (LiveGdiObjects() != start) {
      FAIL() << "redraw " << i << " left " << LiveGdiObjects() - start << " GDI objects";
    }
  }
  EXPECT_EQ(LiveGdiObjects(), start);
}

}  // namespace
}  // namespace quillon::render
