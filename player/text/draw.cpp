#include "text/draw.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/string.h"
#include "render/mask_rows.h"
#include "text/editing.h"
#include "text/embedded_face.h"
#include "text/html.h"

namespace quillon::player::text {
namespace {

// Paints the outline through a colour: outlines are white, so the colour comes in as the
// additive part of a transform that zeroes the multipliers.
ColorTransform Tint(Rgba c, const ColorTransform& cx) {
  ColorTransform t;
  t.rm = t.gm = t.bm = 0;
  t.ra = c.r, t.ga = c.g, t.ba = c.b;
  t.am = c.a / 255.0;
  return cx * t;
}

Rgba FromRgb(std::uint32_t rgb) {
  return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb), 255};
}

// A rectangle in device pixels as a one-fill shape drawn without a transform.
void FillDeviceRect(const DrawContext& ctx, double x0, double y0, double x1, double y1, Rgba colour,
                    const ColorTransform& cx, const Matrix& place = Matrix{}) {
  if (x1 <= x0 || y1 <= y0) return;
  ShapeGeometry g;
  FillStyle f;
  f.color = colour;
  g.fills.push_back(f);
  Path p;
  p.fill1 = 1;
  const Point pts[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (int i = 0; i < 4; ++i) {
    Edge e;
    e.from = pts[i];
    e.to = pts[(i + 1) % 4];
    e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
    p.edges.push_back(e);
  }
  g.groups.emplace_back();
  g.groups.back().paths.push_back(std::move(p));
  DrawShape(ctx, g, place, cx);
}

// The reference player draws a box turned by a fraction of a degree as an upright one.
bool AxisAligned(const Matrix& m) {
  const double scale = std::max(std::abs(m.a), std::abs(m.d));
  return std::abs(m.b) <= 0.01 * scale && std::abs(m.c) <= 0.01 * scale;
}

void DrawGlyph(const DrawContext& ctx, const Face& face, int glyph, const Matrix& at, const ColorTransform& tint) {
  if (const ShapeGeometry* outline = face.Outline(glyph); outline && !outline->groups.empty())
    DrawShape(ctx, *outline, at, tint);
}

}  // namespace

void DrawStaticText(const DrawContext& ctx, const TextDef& text, const FontSource& fonts, const Matrix& toDevice,
                    const ColorTransform& cx) {
  const Matrix base = toDevice * text.matrix;
  for (const TextRecord& rec : text.records) {
    const Face* face = fonts.Embedded(rec.fontId);
    if (!face) continue;
    const ColorTransform tint = Tint(rec.color, cx);
    const double k = rec.height / kEmUnits;
    double x = rec.x;
    for (const TextGlyph& g : rec.glyphs) {
      DrawGlyph(ctx, *face, static_cast<int>(g.index), base * Matrix{k, 0, 0, k, x, rec.y}, tint);
      x += g.advance;
    }
  }
}

void DrawField(const DrawContext& ctx, const Field& field, const FontSource& fonts, const Matrix& toDevice,
               const ColorTransform& cx) {
  const Layout layout = LayoutField(field, fonts);
  const double x0 = layout.xMin, y0 = layout.yMin, x1 = layout.xMax, y1 = layout.yMax;
  const bool aligned = AxisAligned(toDevice);
  // The box on device pixels: its edges fall on whole pixels, as the reference player snaps them.
  const Point a = toDevice.apply({x0, y0}), b = toDevice.apply({x1, y1});
  // The corner snaps (halves up and left) and the size rounds on its own.
  auto snap = [](double v) { return std::ceil(v - 0.5); };
  const double dx0 = snap(std::min(a.x, b.x)), dy0 = snap(std::min(a.y, b.y));
  const double dx1 = dx0 + std::round(std::abs(b.x - a.x)), dy1 = dy0 + std::round(std::abs(b.y - a.y));
  if (field.background) {
    if (aligned) FillDeviceRect(ctx, dx0, dy0, dx1, dy1, FromRgb(field.backgroundColor), cx);
    else FillDeviceRect(ctx, x0, y0, x1, y1, FromRgb(field.backgroundColor), cx, toDevice);
  }

  // Glyphs, clipped to the box when any could leave it.
  const double scrollY = layout.LineTop(0, 1) - layout.LineTop(0, field.scroll);
  const Matrix fieldToDevice = toDevice * Matrix::Translate(x0, y0) * Matrix::Scale(20);
  const double width = (x1 - x0) / 20, height = (y1 - y0) / 20;
  bool spills = false;
  for (const PlacedGlyph& g : layout.glyphs) {
    const LineBox& line = layout.lines[g.line];
    const double top = line.y + scrollY;
    if (g.x - field.hscroll < kGutter || g.x - field.hscroll + g.advance > width - kGutter || top < kGutter ||
        top + line.height() > height - kGutter) {
      spills = true;
      break;
    }
  }
  MaskBuffer clipMask;
  DrawContext textCtx = ctx;
  // As a mask, a field's glyphs are not held to its box.
  if (spills && !layout.glyphs.empty() && !ctx.maskOut) {
    clipMask.assign(static_cast<std::size_t>(ctx.width()) * static_cast<std::size_t>(ctx.height()), 0);
    DrawContext maskCtx = ctx;
    maskCtx.maskOut = &clipMask;
    maskCtx.clip = nullptr;
    // Text shows inside the gutters only.
    const double gx = kGutter * std::sqrt(std::abs(toDevice.det())) * 20, g20 = kGutter * 20;
    if (aligned) FillDeviceRect(maskCtx, dx0 + gx, dy0 + gx, dx1 - gx, dy1 - gx, Rgba{}, ColorTransform{});
    else FillDeviceRect(maskCtx, x0 + g20, y0 + g20, x1 - g20, y1 - g20, Rgba{}, ColorTransform{}, toDevice);
    // Only the box's rows can show the glyphs.
    const RowSpan rows = CoveredRows(clipMask, ctx.width(), ctx.rowTop, ctx.rowBottom);
    const std::size_t w = static_cast<std::size_t>(ctx.width());
    if (ctx.clip)
      for (std::size_t i = static_cast<std::size_t>(rows.top) * w; i < static_cast<std::size_t>(rows.bottom) * w; ++i)
        clipMask[i] = static_cast<std::uint8_t>(clipMask[i] * (*ctx.clip)[i] / 255);
    textCtx.clip = &clipMask;
    textCtx.rowTop = rows.top, textCtx.rowBottom = rows.bottom;
  }
  const std::size_t selBegin = std::min(field.selectionBegin, field.selectionEnd);
  const std::size_t selEnd = std::max(field.selectionBegin, field.selectionEnd);
  const bool showSelection = field.focused && selBegin < selEnd;
  for (const PlacedGlyph& g : layout.glyphs) {
    const LineBox& line = layout.lines[g.line];
    const double top = line.y + scrollY;
    if (top + line.height() <= 0 || top >= height) continue;
    const double x = g.x - field.hscroll, y = g.baseline + scrollY;
    Rgba colour = FromRgb(g.color);
    if (showSelection && g.index >= selBegin && g.index < selEnd) {
      FillDeviceRect(textCtx, x, top, x + g.advance, top + line.height(), Rgba{0, 0, 0, 255}, cx, fieldToDevice);
      colour = Rgba{255, 255, 255, 255};
    }
    const double k = g.size / kEmUnits;
    DrawGlyph(textCtx, *g.face, g.glyph, fieldToDevice * Matrix{k, 0, 0, k, x, y}, Tint(colour, cx));
    if (g.underline) {
      const double uy = std::floor(y) + 1;
      FillDeviceRect(textCtx, x, uy, x + g.advance, uy + 1, colour, cx, fieldToDevice);
    }
  }

  if (field.border) {
    const Rgba c = FromRgb(field.borderColor);
    if (aligned) {
      // One pixel inside the box at the top and left, on the far edge's pixel at the right and
      // bottom, the bottom-right corner left out.
      FillDeviceRect(ctx, dx0, dy0, dx1 + 1, dy0 + 1, c, cx);
      FillDeviceRect(ctx, dx0, dy0 + 1, dx0 + 1, dy1 + 1, c, cx);
      FillDeviceRect(ctx, dx1, dy0 + 1, dx1 + 1, dy1, c, cx);
      FillDeviceRect(ctx, dx0 + 1, dy1, dx1, dy1 + 1, c, cx);
    } else {
      const double px = 1 / std::max(1e-9, std::sqrt(std::abs(toDevice.det())));
      FillDeviceRect(ctx, x0, y0, x1 + px, y0 + px, c, cx, toDevice);
      FillDeviceRect(ctx, x0, y0 + px, x0 + px, y1 + px, c, cx, toDevice);
      FillDeviceRect(ctx, x1, y0 + px, x1 + px, y1, c, cx, toDevice);
      FillDeviceRect(ctx, x0 + px, y1, x1, y1 + px, c, cx, toDevice);
    }
  }
}

Field FieldFromDefinition(const EditTextDef& def, const FontSource& fonts) {
  Field f;
  f.xMin = def.xMin, f.yMin = def.yMin, f.xMax = def.xMax, f.yMax = def.yMax;
  f.fontId = def.hasFont ? def.fontId : 0;
  f.embedFonts = def.useOutlines;
  f.wordWrap = def.wordWrap;
  f.multiline = def.multiline;
  f.password = def.password;
  f.readOnly = def.readOnly;
  f.selectable = !def.noSelect;
  // The tag's border flag gives a white background as well.
  f.border = f.background = def.border;
  f.html = def.html;
  f.wasStatic = def.wasStatic;
  f.textColorAlpha = def.hasTextColor ? def.textColor.a : 0xFF;
  f.maxChars = def.hasMaxLength ? def.maxLength : 0;
  f.autoSize = def.autoSize ? AutoSize::Left : AutoSize::None;
  f.variable = def.variableName;
  if (def.settings) {
    f.antiAliasType = def.settings->advancedAntiAlias ? "advanced" : "normal";
    f.gridFitType = def.settings->gridFit == 0 ? "none" : def.settings->gridFit == 2 ? "subpixel" : "pixel";
    f.thickness = def.settings->thickness;
    f.sharpness = def.settings->sharpness;
  }
  TextFormat format = DefaultFormat();
  if (def.hasFont)
    if (const auto* face = dynamic_cast<const EmbeddedFace*>(fonts.Embedded(def.fontId))) {
      if (!face->font().name.empty()) format.font = face->font().name;
      // Plain text takes the font's style; HTML text says its own.
      if (!def.html) format.bold = face->font().bold, format.italic = face->font().italic;
    }
  if (def.hasFont || def.hasFontClass) format.size = def.fontHeight / 20;
  if (def.hasTextColor)
    format.color = static_cast<std::uint32_t>(def.textColor.r) << 16 | static_cast<std::uint32_t>(def.textColor.g) << 8 |
                   def.textColor.b;
  if (def.hasLayout) {
    format.align = def.align == 1 ? Align::Right : def.align == 2 ? Align::Center : def.align == 3 ? Align::Justify : Align::Left;
    format.leftMargin = def.leftMargin / 20;
    format.rightMargin = def.rightMargin / 20;
    format.indent = def.indent / 20;
    format.leading = def.leading / 20;
  }
  f.newFormat = format;
  const std::u16string initial = avm1::strings::Utf8ToUtf16(def.initialText);
  if (def.html) {
    HtmlOptions options;
    options.multiline = def.multiline;
    HtmlContent content = ParseHtml(initial, format, options);
    SetContent(f, std::move(content.text), std::move(content.spans));
  } else {
    SetText(f, FieldNewlines(initial), format);
  }
  return f;
}

}  // namespace quillon::player::text
