// Redraws per second under the GDI surface: a 97 x 33 button with a caption for each style that
// has a painter and each state, and a 64 x 64 32-bit alpha picture. Not a test: it prints.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "gdi_surface.h"
#include "redraw.h"

namespace {

using namespace quillon::render;

struct BenchHost final : RenderHost {
  double w = 97, h = 33;
  LiveSystemColours colours;
  double SurfaceWidth() override { return w; }
  double SurfaceHeight() override { return h; }
  const SystemColours& Colours() override { return colours; }
  bool IsThemed() override { return false; }
  void StoreButtonState(int) override {}
  void StoreForeColor(OleColour) override {}
  void FallBackToRounded(PaintInput& in) override { in.buttonStyle = 2; }
  void SetWindowRegion(const RegionShape&) override {}
};

double RedrawsPerSecond(ButtonRenderer& renderer, BenchHost& host, PaintInput& in, int width, int height) {
  DibCanvas dib(width, height);
  constexpr int kWarmUp = 50;
  constexpr int kRuns = 2000;
  for (int i = 0; i < kWarmUp; ++i) {
    GdiSurface surface(dib);
    renderer.Redraw(surface, host, in);
  }
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRuns; ++i) {
    GdiSurface surface(dib);
    renderer.Redraw(surface, host, in);
  }
  ::GdiFlush();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return kRuns / took.count();
}

// Stands in for a style without its painter yet: face, gradient, caption, frame, corners.
void ReferencePainter(PaintContext& c, int) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  c.GradientFill(1, 1, c.W - 1, c.H, ShiftColour(b, 0.05f), b, 1);
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, RGB(112, 112, 112));
  c.MarkCorners(RGB(95, 150, 190));
}

}  // namespace

int main() {
  BenchHost host;
  PaintInput in;
  in.caption = L"开始转换";
  in.font.face = L"Tahoma";
  in.font.height = -12;
  in.backColor = RGB(227, 227, 227);
  std::printf("Redraws per second, 2000 redraws after 50 warm-up, each on a fresh GdiSurface over a\n"
              "32-bit memory DIB section, timed with steady_clock around the loop (GdiFlush at the end).\n");
  const PainterTable& standard = StandardPainters();
  ButtonRenderer renderer(standard);
  bool any = false;
  for (int style = 0; style < kButtonStyleCount; ++style) {
    if (!standard.Get(style)) continue;
    any = true;
    for (int state = 0; state < 3; ++state) {
      in.buttonStyle = style;
      in.state = state;
      std::printf("style %2d state %d, 97 x 33 with caption: %8.0f/s\n", style, state,
                  RedrawsPerSecond(renderer, host, in, 97, 33));
    }
  }
  PainterTable reference;
  reference.Set(ButtonStyle::Glass, &ReferencePainter);
  ButtonRenderer referenceRenderer(reference);
  if (!any) std::printf("(no style painter registered yet; reference painter only)\n");
  in.buttonStyle = ButtonStyle::Glass;
  for (int state = 0; state < 3; ++state) {
    in.state = state;
    std::printf("reference painter state %d, 97 x 33 with caption: %8.0f/s\n", state,
                RedrawsPerSecond(referenceRenderer, host, in, 97, 33));
  }
  in.caption.clear();
  host.w = 80;
  host.h = 80;
  std::printf("reference painter, no picture on 80 x 80:     %8.0f/s\n",
              RedrawsPerSecond(referenceRenderer, host, in, 80, 80));
  std::vector<std::uint32_t> px(64 * 64);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<std::uint32_t>((i * 2654435761u) | 0x40000000u);
  in.caption.clear();
  in.pictureNormal = quillon::container::MakePicture(PictureKind::Bitmap, 64, 64, 32, true, px);
  in.state = 0;
  host.w = 80;
  host.h = 80;
  std::printf("reference painter, 64 x 64 32-bit alpha picture on 80 x 80: %8.0f/s\n",
              RedrawsPerSecond(referenceRenderer, host, in, 80, 80));
  return 0;
}
