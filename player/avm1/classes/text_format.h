// TextFormat objects: a format whose members may each be unset (null to scripts), shared by
// TextField's format methods and StyleSheet.transform.
#pragma once

#include <functional>
#include <string>

#include "avm1/machine.h"
#include "text/field.h"

namespace quillon::player::avm1 {

class TextFormatObject : public Object {
 public:
  explicit TextFormatObject(Machine& vm) : Object(vm) {}
  std::string_view ClassName() const override { return "TextFormat"; }

  text::TextFormat format;
  std::string display = "block";  // how a style sheet lays the element out: block, inline or none
};

// A new TextFormat object (with TextFormat.prototype) holding `format`.
TextFormatObject* NewTextFormat(Machine& vm, const text::TextFormat& format);
// The TextFormat object a value holds, or null.
TextFormatObject* AsTextFormat(const Value& v);

// Measures a text in a format for getTextExtent: width and height of the text in pixels, and
// its ascent and descent. The display side sets it once fonts can be measured.
struct TextExtent {
  double width = 0, height = 0, ascent = 0, descent = 0;
};
using TextMeasure = std::function<TextExtent(const text::TextFormat& format, const std::u16string& text, double wrapWidth)>;
void SetTextMeasure(Machine& vm, TextMeasure measure);

// Conversions the format members use: whole numbers round half to even, and what no 32-bit
// integer holds (NaN, the infinities, numbers too large) becomes -2147483648.
double FormatInteger(double v);

void InstallTextFormat(Machine& vm, Object* global);

}  // namespace quillon::player::avm1
