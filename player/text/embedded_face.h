// A font the movie embeds (DefineFont, DefineFont2, DefineFont3) as a face for layout and drawing.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "text/face.h"

namespace quillon::player::text {

class EmbeddedFace final : public Face {
 public:
  explicit EmbeddedFace(std::shared_ptr<const Character> font);
  const FontDef& font() const { return *font_; }

  double Ascent() const override;
  double Descent() const override;
  double Leading() const override;
  int Glyph(char32_t ch) const override;
  double Advance(int glyph) const override;
  double Kerning(int left, int right) const override;
  const ShapeGeometry* Outline(int glyph) const override;
  bool IsDevice() const override { return false; }

 private:
  std::shared_ptr<const Character> keep_;
  const FontDef* font_;
  std::vector<ShapeGeometry> outlines_;  // in kEmUnits, DefineFont3's units brought down
  std::unordered_map<char32_t, int> byCode_;
};

}  // namespace quillon::player::text
