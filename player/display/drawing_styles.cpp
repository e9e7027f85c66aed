#include "display/drawing_styles.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "avm1/classes/array.h"
#include "avm1/machine.h"

namespace quillon::player {
namespace {

using avm1::Value;

// A gradient holds at most this many colours, as in the shape records.
constexpr std::size_t kMaxStops = 15;
// Gradient space spans this many pixels each way from its centre.
constexpr double kGradientHalf = 819.2;

double Number(avm1::Machine& vm, avm1::Object& o, const char* name, double fallback = 0) {
  const double v = vm.ToNumber(o.Get(name));
  return std::isfinite(v) ? v : fallback;
}

const std::vector<Value>* Items(const Value& v) {
  auto* array = v.IsObject() ? dynamic_cast<avm1::ArrayObject*>(v.object) : nullptr;
  return array ? &array->items : nullptr;
}

// The gradient box to shape space, in twips: a Matrix-like {a, b, c, d, tx, ty} or the
// {matrixType: "box", x, y, w, h, r} form.
Matrix GradientMatrix(avm1::Machine& vm, const Value& v) {
  if (!v.IsObject()) return {};
  avm1::Object& o = *v.object;
  if (vm.ToString(o.Get("matrixType")) == "box") {
    const double w = Number(vm, o, "w"), h = Number(vm, o, "h"), r = Number(vm, o, "r");
    const double sx = w / (2 * kGradientHalf), sy = h / (2 * kGradientHalf);
    return {std::cos(r) * sx, std::sin(r) * sy, -std::sin(r) * sx, std::cos(r) * sy,
            (Number(vm, o, "x") + w / 2) * 20, (Number(vm, o, "y") + h / 2) * 20};
  }
  return {Number(vm, o, "a", 1), Number(vm, o, "b"), Number(vm, o, "c"), Number(vm, o, "d", 1),
          Number(vm, o, "tx") * 20, Number(vm, o, "ty") * 20};
}

}  // namespace

std::optional<FillStyle> GradientFillFromArgs(avm1::Call& c) {
  avm1::Machine& vm = c.vm;
  const std::string type = vm.ToString(c.Arg(0));
  if (type != "linear" && type != "radial") return std::nullopt;
  const auto* colors = Items(c.Arg(1));
  const auto* alphas = Items(c.Arg(2));
  const auto* ratios = Items(c.Arg(3));
  if (!colors || !alphas || !ratios) return std::nullopt;
  const std::size_t n = std::min({colors->size(), alphas->size(), ratios->size(), kMaxStops});
  if (n == 0) return std::nullopt;
  FillStyle fill;
  fill.kind = type == "linear" ? FillKind::Linear : FillKind::Radial;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t rgb = avm1::ToUint32(vm.ToNumber((*colors)[i]));
    double alpha = vm.ToNumber((*alphas)[i]);
    alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 100.0) : 100;
    double ratio = vm.ToNumber((*ratios)[i]);
    ratio = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 255.0) : 0;
    GradientStop stop;
    stop.ratio = std::round(ratio) / 255;
    stop.color = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                  static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(std::lround(alpha * 255 / 100))};
    fill.gradient.stops.push_back(stop);
  }
  fill.matrix = GradientMatrix(vm, c.Arg(4));
  const std::string spread = c.Count() > 5 ? vm.ToString(c.Arg(5)) : "";
  fill.gradient.spread = spread == "reflect" ? Spread::Reflect : spread == "repeat" ? Spread::Repeat : Spread::Pad;
  fill.gradient.linearRgb = c.Count() > 6 && vm.ToString(c.Arg(6)) == "linearRGB";
  if (fill.kind == FillKind::Radial && c.Count() > 7) {
    // Stored as the records store it, in 8.8 fixed point, the fraction cut toward zero.
    const double focal = vm.ToNumber(c.Arg(7));
    if (std::isfinite(focal)) fill.gradient.focal = std::trunc(std::clamp(focal, -1.0, 1.0) * 256) / 256;
    if (fill.gradient.focal != 0) fill.kind = FillKind::Focal;
  }
  return fill;
}

void ApplyLineOptions(avm1::Call& c, LineStyle& line) {
  avm1::Machine& vm = c.vm;
  auto text = [&](std::size_t i) { return c.Count() > i && !c.Arg(i).IsUndefined() ? vm.ToString(c.Arg(i)) : std::string(); };
  const std::string scale = text(4);
  line.noHScale = scale == "none" || scale == "horizontal";
  line.noVScale = scale == "none" || scale == "vertical";
  const std::string caps = text(5);
  line.startCap = line.endCap = caps == "none" ? Cap::None : caps == "square" ? Cap::Square : Cap::Round;
  const std::string joints = text(6);
  line.join = joints == "miter" ? Join::Miter : joints == "bevel" ? Join::Bevel : Join::Round;
  if (line.join == Join::Miter && c.Count() > 7 && !c.Arg(7).IsUndefined()) {
    const double limit = vm.ToNumber(c.Arg(7));
    if (std::isfinite(limit)) line.miterLimit = std::clamp(limit, 1.0, 255.0);
  }
}

}  // namespace quillon::player
