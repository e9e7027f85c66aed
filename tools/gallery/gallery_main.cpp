// quillon-gallery: every button style in every look, and in every colour scheme where the style
// has them, on one labelled PNG contact sheet. The buttons go through the control's own
// dispatcher and painters onto memory bitmaps, clipped to the window region their style asks
// for. A development tool, never shipped.
//
// Usage: quillon-gallery [OUT.png]   (default gallery.png in the current folder)
#include <windows.h>
#include <uxtheme.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "color_schemes.h"
#include "gdi_objects.h"
#include "gdi_surface.h"
#include "redraw.h"

extern "C" int stbi_write_png(const char* filename, int w, int h, int comp, const void* data, int stride);

using namespace quillon;

namespace {

using render::ButtonStyle;
using render::Colour;
using render::OleColour;
using render::PaintInput;

// Sheet geometry, pixels.
constexpr int kButtonW = 104;
constexpr int kButtonH = 30;
constexpr int kCellW = 120;
constexpr int kCellH = 42;
constexpr int kLabelW = 178;
constexpr int kHeaderH = 34;
constexpr int kMargin = 10;
constexpr COLORREF kFormColour = RGB(240, 240, 240);
constexpr COLORREF kLabelColour = RGB(0, 0, 0);
constexpr COLORREF kRuleColour = RGB(214, 214, 214);

struct Look {
  const wchar_t* name;
  int state;
  bool enabled;
  bool hasFocus;
  bool isDefault;
  bool latched;
  bool mouseOver;
};

constexpr Look kLooks[] = {
    {L"normal", 0, true, false, false, false, false},
    {L"hot", 1, true, false, false, false, true},
    {L"pressed", 2, true, false, false, false, true},
    {L"disabled", 0, false, false, false, false, false},
    {L"focused", 0, true, true, false, false, false},
    {L"default", 0, true, false, true, false, false},
    {L"latched", 0, true, false, false, true, false},
};

struct StyleRow {
  int style;
  const wchar_t* name;
  bool hasSchemes;  // BackColor (or the frame colours) follow ColorScheme
};

constexpr StyleRow kStyles[] = {
    {ButtonStyle::Classic, L"Classic", false},
    {ButtonStyle::Flat, L"Flat", false},
    {ButtonStyle::Rounded, L"Rounded", true},
    {ButtonStyle::Glass, L"Glass", true},
    {ButtonStyle::Plain, L"Plain", true},
    {ButtonStyle::GoldHover, L"GoldHover", true},
    {ButtonStyle::SilverToolbar, L"SilverToolbar", false},
    {ButtonStyle::BlueToolbar, L"BlueToolbar", false},
    {ButtonStyle::OrangeGloss, L"OrangeGloss", true},
    {ButtonStyle::WhiteGloss, L"WhiteGloss", true},
    {ButtonStyle::SoftGradient, L"SoftGradient", true},
    {ButtonStyle::HoverRaised, L"HoverRaised", false},
    {ButtonStyle::HoverThin, L"HoverThin", false},
    {ButtonStyle::SystemTheme, L"SystemTheme", false},
};

constexpr const wchar_t* kSchemeNames[] = {L"Blue", L"Olive", L"Silver"};

// The colours ApplyColorScheme gives a style in a scheme.
void ApplyScheme(PaintInput& in, const render::SystemColours& system) {
  if (auto back = controls::SchemeBackColor(in.buttonStyle, in.colorScheme, system.Get(render::kColorBtnFace))) {
    in.backColor = *back;
  }
  in.foreColor = system.Get(render::kColorBtnText);
  in.showFocusRect = controls::SchemeShowsFocusRect(in.buttonStyle);
  if (in.buttonStyle == ButtonStyle::Plain) in.picturePushOnHover = true;
}

class GalleryHost final : public render::RenderHost {
 public:
  explicit GalleryHost(bool themed) : themed_(themed) {}
  std::optional<render::RegionShape> region;

  double SurfaceWidth() override { return kButtonW; }
  double SurfaceHeight() override { return kButtonH; }
  const render::SystemColours& Colours() override { return colours_; }
  bool IsThemed() override { return themed_; }
  void StoreButtonState(int) override {}
  void StoreForeColor(OleColour) override {}
  void FallBackToRounded(PaintInput& in) override {
    in.buttonStyle = ButtonStyle::Rounded;
    in.colorScheme = controls::ColorScheme::Blue;
    ApplyScheme(in, colours_);
  }
  void SetWindowRegion(const render::RegionShape& shape) override { region = shape; }

 private:
  bool themed_;
  render::LiveSystemColours colours_;
};

// A 16 x 16 picture with transparency: a green disc with a light spot.
render::PictureRef MakeDisc() {
  std::vector<std::uint32_t> px(16 * 16, 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const double dx = x - 7.5, dy = y - 7.5;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d > 7.0) continue;
      const bool spot = std::hypot(x - 5.0, y - 5.0) < 2.0;
      const std::uint32_t rgb = spot ? 0xC8F0D2u : (d > 5.8 ? 0x1E6E3Cu : 0x2E9B5Au);
      px[static_cast<std::size_t>(y * 16 + x)] = 0xFF000000u | rgb;
    }
  }
  return container::MakePicture(render::PictureKind::Bitmap, 16, 16, 32, true, std::move(px));
}

PaintInput BaseInput(int style, int scheme, const render::SystemColours& system,
                     const render::PictureRef& picture) {
  PaintInput in;
  in.buttonStyle = style;
  in.colorScheme = scheme;
  in.backColor = system.Get(render::kColorBtnFace);
  in.foreColorHover = render::SystemColour(render::kColorBtnText);
  in.caption = L"Button";
  in.font = render::ToFontDesc(container::FontDescription{}, 96);
  in.pictureNormal = picture;
  in.dropDownSymbol = controls::DropDownSymbol::ArrowDown;
  in.parentActive = true;
  ApplyScheme(in, system);
  return in;
}

void ApplyLook(PaintInput& in, const Look& look) {
  in.state = look.state;
  in.enabled = look.enabled;
  in.hasFocus = look.hasFocus;
  in.isDefault = look.isDefault;
  in.mode = look.latched ? controls::ButtonMode::Check : controls::ButtonMode::Push;
  in.value = look.latched;
  in.mouseOver = look.mouseOver;
  in.mouseHeld = look.state == 2;
}

// Paints one button and copies it onto the sheet at (x, y), clipped to its window region.
void DrawButton(render::DibCanvas& sheet, int x, int y, PaintInput in, const Look& look, bool themed) {
  render::DibCanvas dib(kButtonW, kButtonH);
  GalleryHost host(themed);
  render::ButtonRenderer renderer;
  render::LiveSystemColours system;
  {
    // At rest first, as a button placed on a form is, so that the region of the resting look is
    // in place when a painter keeps it in its other looks.
    render::GdiSurface surface(dib.Dc(), kButtonW, kButtonH, nullptr, render::TranslateColour(in.backColor, system));
    renderer.RebuildRegion(surface, host, in);
    renderer.Redraw(surface, host, in);
  }
  ApplyLook(in, look);
  {
    render::GdiSurface surface(dib.Dc(), kButtonW, kButtonH, nullptr, render::TranslateColour(in.backColor, system));
    renderer.Redraw(surface, host, in);
  }
  render::Region clip;
  if (host.region) {
    clip = render::MakeRegion(*host.region);
    if (clip) ::OffsetRgn(clip.Get(), x, y);
  }
  ::SelectClipRgn(sheet.Dc(), clip.Get());
  ::BitBlt(sheet.Dc(), x, y, kButtonW, kButtonH, dib.Dc(), 0, 0, SRCCOPY);
  ::SelectClipRgn(sheet.Dc(), nullptr);
}

void DrawLabel(HDC dc, int x, int y, int w, int h, const std::wstring& text, UINT format) {
  RECT r{x, y, x + w, y + h};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

bool WritePng(const render::DibCanvas& sheet, const char* path) {
  const int w = sheet.Width(), h = sheet.Height();
  std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
  std::size_t i = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = sheet.Pixel(x, y);
      rgb[i++] = GetRValue(c);
      rgb[i++] = GetGValue(c);
      rgb[i++] = GetBValue(c);
    }
  }
  return stbi_write_png(path, w, h, 3, rgb.data(), w * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "gallery.png";
  render::LiveSystemColours system;
  const bool themed = ::IsAppThemed() != FALSE;
  const render::PictureRef picture = MakeDisc();

  struct Row {
    const StyleRow* style;
    int scheme;
  };
  std::vector<Row> rows;
  for (const StyleRow& s : kStyles) {
    if (s.hasSchemes) {
      for (int scheme = 0; scheme < 3; ++scheme) rows.push_back({&s, scheme});
    } else {
      rows.push_back({&s, controls::ColorScheme::Blue});
    }
  }

  const int lookCount = static_cast<int>(std::size(kLooks));
  const int width = kMargin * 2 + kLabelW + lookCount * kCellW;
  const int height = kMargin * 2 + kHeaderH + static_cast<int>(rows.size()) * kCellH;
  render::DibCanvas sheet(width, height);
  sheet.Fill(kFormColour);
  const HDC dc = sheet.Dc();
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kLabelColour);
  render::Font labelFont(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                       ANTIALIASED_QUALITY, 0, L"Tahoma"));
  render::Font headerFont(::CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                        ANTIALIASED_QUALITY, 0, L"Tahoma"));
  render::Brush rule(::CreateSolidBrush(kRuleColour));

  {
    render::Selection font(dc, headerFont.Get());
    DrawLabel(dc, kMargin, kMargin, kLabelW, kHeaderH, L"Style / scheme", DT_LEFT);
    for (int l = 0; l < lookCount; ++l) {
      DrawLabel(dc, kMargin + kLabelW + l * kCellW, kMargin, kCellW, kHeaderH, kLooks[l].name, DT_CENTER);
    }
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const int top = kMargin + kHeaderH + static_cast<int>(r) * kCellH;
    const RECT line{kMargin, top, width - kMargin, top + 1};
    ::FillRect(dc, &line, rule.Get());
    std::wstring label = rows[r].style->name;
    if (rows[r].style->hasSchemes) label += std::wstring(L" / ") + kSchemeNames[rows[r].scheme];
    if (rows[r].style->style == ButtonStyle::SystemTheme && !themed) label += L" (no theme: Rounded)";
    {
      render::Selection font(dc, labelFont.Get());
      DrawLabel(dc, kMargin, top, kLabelW, kCellH, label, DT_LEFT);
    }
    const PaintInput base = BaseInput(rows[r].style->style, rows[r].scheme, system, picture);
    for (int l = 0; l < lookCount; ++l) {
      const int x = kMargin + kLabelW + l * kCellW + (kCellW - kButtonW) / 2;
      const int y = top + (kCellH - kButtonH) / 2;
      DrawButton(sheet, x, y, base, kLooks[l], themed);
    }
  }

  if (!WritePng(sheet, out)) {
    std::fprintf(stderr, "quillon-gallery: cannot write %s\n", out);
    return 1;
  }
  std::printf("quillon-gallery: %d styles and schemes x %d looks -> %s (%d x %d)\n",
              static_cast<int>(rows.size()), lookCount, out, width, height);
  return 0;
}
