#include "button_renderer.h"

#include "gdi_surface.h"
#include "model_input.h"
#include "redraw.h"

namespace quillon::controls::win {
namespace {

int ScreenDpiY() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

class StyleRenderer final : public Renderer, private render::RenderHost {
 public:
  explicit StyleRenderer(ButtonSite& site) : site_(site) {}

  void Redraw() override {
    Run([this](render::Surface& surface, render::PaintInput& in) { renderer_.Redraw(surface, *this, in); });
    site_.Present();
  }

  void RebuildRegion() override {
    Run([this](render::Surface& surface, render::PaintInput& in) { renderer_.RebuildRegion(surface, *this, in); });
  }

 private:
  template <class Step>
  void Run(Step step) {
    skbutton* c = site_.control();
    HDC dc = site_.BackBufferDc();
    if (c == nullptr || dc == nullptr) return;
    render::PaintInput in = render::PaintInputFrom(*c, ScreenDpiY());
    // The surface clears to the control surface's own background, the button face: the
    // disabled edge looks show it, every other look paints over it.
    render::GdiSurface surface(dc, site_.BufferWidth(), site_.BufferHeight(), site_.hwnd(),
                               render::TranslateColour(kSurfaceBack, colours_));
    // One cached size, the control's: a region built before the first redraw has the real size.
    renderer_.SetCachedSize(c->CachedWidth(), c->CachedHeight());
    step(surface, in);
    c->SetCachedSize(renderer_.State().W, renderer_.State().H);
  }
  static constexpr render::OleColour kSurfaceBack = 0x8000000Fu;  // system colour: button face

  // ---- RenderHost ----
  double SurfaceWidth() override { return site_.ScaleWidth(); }
  double SurfaceHeight() override { return site_.ScaleHeight(); }
  const render::SystemColours& Colours() override { return colours_; }
  bool IsThemed() override { return site_.IsThemed(); }
  // The control settles the shown state before it asks for a redraw (SettleShownState).
  void StoreButtonState(int) override {}
  void StoreForeColor(OleColour colour) override {
    if (skbutton* c = site_.control()) c->StoreForeColor(colour);
  }
  void FallBackToRounded(render::PaintInput& in) override {
    skbutton* c = site_.control();
    if (c == nullptr) return;
    c->ApplyThemeFallback();
    in.buttonStyle = c->ButtonStyle();
    in.colorScheme = c->ColorScheme();
    in.backColor = c->BackColor();
    in.foreColor = c->ForeColor();
    in.showFocusRect = c->ShowFocusRect();
    in.picturePushOnHover = c->PicturePushOnHover();
  }
  void SetWindowRegion(const render::RegionShape& shape) override { render::ApplyWindowRegion(site_.hwnd(), shape); }

  ButtonSite& site_;
  render::ButtonRenderer renderer_;
  render::LiveSystemColours colours_;
};

}  // namespace

std::unique_ptr<Renderer> MakeStyleRenderer(ButtonSite& site) { return std::make_unique<StyleRenderer>(site); }

}  // namespace quillon::controls::win
