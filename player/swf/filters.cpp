// Reading filter lists: each filter is an id byte and its fixed layout.
#include <cmath>

#include "swf/records.h"

namespace quillon::player {
namespace {

Rgba Color(Reader& r) {
  Rgba c;
  c.r = r.u8();
  c.g = r.u8();
  c.b = r.u8();
  c.a = r.u8();
  return c;
}

// Inner, knockout and composite-source are the top three bits of the last byte; the passes
// take the low five bits, or four when the fourth bit says the bevel lies on top.
struct Flags {
  bool inner, knockout, composite, onTop;
  int passes;
};
Flags ReadFlags(Reader& r, bool hasOnTop) {
  const std::uint8_t b = r.u8();
  return {(b & 0x80) != 0, (b & 0x40) != 0, (b & 0x20) != 0, hasOnTop && (b & 0x10) != 0,
          hasOnTop ? b & 0x0F : b & 0x1F};
}

DropShadowFilter ReadDropShadow(Reader& r) {
  DropShadowFilter f;
  f.color = Color(r);
  f.blurX = r.fixed16();
  f.blurY = r.fixed16();
  f.angle = r.fixed16();
  f.distance = r.fixed16();
  f.strength = r.fixed8();
  const Flags fl = ReadFlags(r, false);
  f.inner = fl.inner, f.knockout = fl.knockout, f.compositeSource = fl.composite, f.passes = fl.passes;
  return f;
}

BlurFilter ReadBlur(Reader& r) {
  BlurFilter f;
  f.blurX = r.fixed16();
  f.blurY = r.fixed16();
  f.passes = r.u8() >> 3;
  return f;
}

GlowFilter ReadGlow(Reader& r) {
  GlowFilter f;
  f.color = Color(r);
  f.blurX = r.fixed16();
  f.blurY = r.fixed16();
  f.strength = r.fixed8();
  const Flags fl = ReadFlags(r, false);
  f.inner = fl.inner, f.knockout = fl.knockout, f.compositeSource = fl.composite, f.passes = fl.passes;
  return f;
}

BevelFilter ReadBevel(Reader& r) {
  BevelFilter f;
  f.highlight = Color(r);
  f.shadow = Color(r);
  f.blurX = r.fixed16();
  f.blurY = r.fixed16();
  f.angle = r.fixed16();
  f.distance = r.fixed16();
  f.strength = r.fixed8();
  const Flags fl = ReadFlags(r, true);
  f.inner = fl.inner, f.knockout = fl.knockout, f.compositeSource = fl.composite, f.onTop = fl.onTop;
  f.passes = fl.passes;
  return f;
}

GradientFilter ReadGradient(Reader& r, bool bevel) {
  GradientFilter f;
  f.bevel = bevel;
  const std::size_t n = r.u8();
  f.stops.resize(n);
  for (auto& s : f.stops) s.color = Color(r);
  for (auto& s : f.stops) s.ratio = r.u8();
  f.blurX = r.fixed16();
  f.blurY = r.fixed16();
  f.angle = r.fixed16();
  f.distance = r.fixed16();
  f.strength = r.fixed8();
  const Flags fl = ReadFlags(r, true);
  f.inner = fl.inner, f.knockout = fl.knockout, f.compositeSource = fl.composite, f.onTop = fl.onTop;
  f.passes = fl.passes;
  return f;
}

ConvolutionFilter ReadConvolution(Reader& r) {
  ConvolutionFilter f;
  f.columns = r.u8();
  f.rows = r.u8();
  f.divisor = r.f32();
  f.bias = r.f32();
  const std::size_t n = static_cast<std::size_t>(f.columns) * static_cast<std::size_t>(f.rows);
  if (n > r.remaining() / 4) {
    r.skip(r.remaining() + 1);  // cannot hold that many: damaged
    return f;
  }
  f.matrix.resize(n);
  for (float& v : f.matrix) v = r.f32();
  f.defaultColor = Color(r);
  const std::uint8_t b = r.u8();
  f.clamp = (b & 2) != 0;
  f.preserveAlpha = (b & 1) != 0;
  return f;
}

ColorMatrixFilter ReadColorMatrix(Reader& r) {
  ColorMatrixFilter f;
  for (float& v : f.matrix) v = r.f32();
  return f;
}

}  // namespace

std::vector<Filter> ReadFilters(Reader& r) {
  std::vector<Filter> out;
  const std::size_t count = r.u8();
  for (std::size_t i = 0; i < count && !r.failed(); ++i) {
    Filter f;
    switch (r.u8()) {
      case 0: f = ReadDropShadow(r); break;
      case 1: f = ReadBlur(r); break;
      case 2: f = ReadGlow(r); break;
      case 3: f = ReadBevel(r); break;
      case 4: f = ReadGradient(r, false); break;
      case 5: f = ReadConvolution(r); break;
      case 6: f = ReadColorMatrix(r); break;
      case 7: f = ReadGradient(r, true); break;
      default: r.skip(r.remaining()); return out;  // unknown: its size is unknown too
    }
    if (r.failed()) break;
    out.push_back(std::move(f));
  }
  return out;
}

}  // namespace quillon::player
