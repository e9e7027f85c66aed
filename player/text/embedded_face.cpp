#include "text/embedded_face.h"

#include <algorithm>

namespace quillon::player::text {
namespace {

Point Scaled(Point p, double k) { return {p.x * k, p.y * k}; }

}  // namespace

EmbeddedFace::EmbeddedFace(std::shared_ptr<const Character> font)
    : keep_(std::move(font)), font_(&std::get<FontDef>(*keep_)) {
  const double k = kEmUnits / font_->emSquare;
  outlines_ = font_->outlines;
  if (k != 1)
    for (ShapeGeometry& g : outlines_)
      for (StyleGroup& group : g.groups)
        for (Path& path : group.paths)
          for (Edge& e : path.edges) e.from = Scaled(e.from, k), e.control = Scaled(e.control, k), e.to = Scaled(e.to, k);
  for (std::size_t i = 0; i < font_->glyphs.size(); ++i)
    byCode_.emplace(font_->glyphs[i].code, static_cast<int>(i));
}

// Fonts without a layout (DefineFont, or outlines for static text only) get the usual
// proportions of a text face.
double EmbeddedFace::Ascent() const { return font_->hasLayout ? font_->ascent / font_->emSquare : 0.9; }
double EmbeddedFace::Descent() const { return font_->hasLayout ? font_->descent / font_->emSquare : 0.22; }
double EmbeddedFace::Leading() const { return font_->hasLayout ? font_->leading / font_->emSquare : 0; }

int EmbeddedFace::Glyph(char32_t ch) const {
  const auto it = byCode_.find(ch);
  return it == byCode_.end() ? -1 : it->second;
}

double EmbeddedFace::Advance(int glyph) const {
  if (glyph < 0 || static_cast<std::size_t>(glyph) >= font_->glyphs.size()) return 0;
  const FontGlyph& g = font_->glyphs[static_cast<std::size_t>(glyph)];
  if (font_->hasLayout) return g.advance / font_->emSquare;
  // Without advances, the outline's extent stands in.
  double right = 0;
  for (const StyleGroup& group : outlines_[static_cast<std::size_t>(glyph)].groups)
    for (const Path& path : group.paths)
      for (const Edge& e : path.edges) right = std::max({right, e.from.x, e.to.x});
  return right / kEmUnits;
}

double EmbeddedFace::Kerning(int left, int right) const {
  if (font_->kerning.empty() || left < 0 || right < 0) return 0;
  const auto n = font_->glyphs.size();
  if (static_cast<std::size_t>(left) >= n || static_cast<std::size_t>(right) >= n) return 0;
  const auto it = font_->kerning.find({font_->glyphs[static_cast<std::size_t>(left)].code,
                                       font_->glyphs[static_cast<std::size_t>(right)].code});
  return it == font_->kerning.end() ? 0 : it->second / font_->emSquare;
}

const ShapeGeometry* EmbeddedFace::Outline(int glyph) const {
  if (glyph < 0 || static_cast<std::size_t>(glyph) >= outlines_.size()) return nullptr;
  return &outlines_[static_cast<std::size_t>(glyph)];
}

}  // namespace quillon::player::text
