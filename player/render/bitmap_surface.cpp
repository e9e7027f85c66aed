#include "render/bitmap_surface.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quillon::player {
namespace {

std::uint32_t Channel(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }
std::uint32_t Pack4(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

int ShiftOf(int channel) {
  switch (channel) {
    case kRedChannel: return 16;
    case kGreenChannel: return 8;
    case kBlueChannel: return 0;
    case kAlphaChannel: return 24;
    default: return -1;
  }
}

std::shared_ptr<Character> NewStore(int width, int height, Rgba fill) {
  BitmapDef def;
  def.width = std::max(width, 0);
  def.height = std::max(height, 0);
  def.pixels.assign(static_cast<std::size_t>(def.width) * static_cast<std::size_t>(def.height), fill);
  return std::make_shared<Character>(std::move(def));
}

}  // namespace

bool BitmapSurface::SizeAllowed(double width, double height) {
  if (!(width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide)) return false;
  return static_cast<long long>(width) * static_cast<long long>(height) < kMaxPixels;
}

std::uint32_t BitmapSurface::Premultiply(std::uint32_t argb) {
  const std::uint32_t a = Channel(argb, 24);
  auto m = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return Pack4(a, m(Channel(argb, 16)), m(Channel(argb, 8)), m(Channel(argb, 0)));
}

std::uint32_t BitmapSurface::Unmultiply(std::uint32_t p) {
  const std::uint32_t a = Channel(p, 24);
  if (a == 0) return 0;
  auto u = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
  return Pack4(a, u(Channel(p, 16)), u(Channel(p, 8)), u(Channel(p, 0)));
}

BitmapSurface::BitmapSurface(int width, int height, bool transparent, std::uint32_t fill)
    : transparent_(transparent),
      store_(NewStore(width, height, Unpack(transparent ? Unmultiply(Premultiply(fill)) : fill | 0xFF000000u))) {}

BitmapSurface::BitmapSurface(const BitmapDef& from) : transparent_(true), store_(NewStore(from.width, from.height, {})) {
  BitmapDef& to = def();
  for (std::size_t i = 0; i < to.pixels.size() && i < from.pixels.size(); ++i)
    to.pixels[i] = Unpack(Unmultiply(Premultiply(Pack(from.pixels[i]))));
}

BitmapSurface::BitmapSurface(const BitmapSurface& other)
    : transparent_(other.transparent_), store_(std::make_shared<Character>(other.def())) {}

void BitmapSurface::PutPremultiplied(int x, int y, std::uint32_t p) {
  // An opaque bitmap keeps the premultiplied colour as it is, at full alpha.
  def().pixels[Index(x, y)] = Unpack(transparent_ ? Unmultiply(p) : p | 0xFF000000u);
}

void BitmapSurface::PutStraight(int x, int y, std::uint32_t argb) {
  def().pixels[Index(x, y)] = Unpack(transparent_ ? Unmultiply(Premultiply(argb)) : argb | 0xFF000000u);
}

std::uint32_t BitmapSurface::GetPixel32(int x, int y) const {
  return Contains(x, y) ? Pack(def().pixels[Index(x, y)]) : 0;
}

void BitmapSurface::SetPixel32(int x, int y, std::uint32_t argb) {
  if (Contains(x, y)) PutStraight(x, y, argb);
}

void BitmapSurface::SetPixel(int x, int y, std::uint32_t rgb) {
  if (!Contains(x, y)) return;
  const std::uint32_t alpha = GetPixel32(x, y) & 0xFF000000u;
  PutStraight(x, y, alpha | (rgb & 0xFFFFFFu));
}

PixelRect BitmapSurface::Clip(PixelRect r) const {
  const long long x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  const long long x1 = std::min<long long>(static_cast<long long>(r.x) + r.width, width());
  const long long y1 = std::min<long long>(static_cast<long long>(r.y) + r.height, height());
  if (x1 <= x0 || y1 <= y0) return {static_cast<int>(std::min<long long>(x0, width())),
                                    static_cast<int>(std::min<long long>(y0, height())), 0, 0};
  return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

void BitmapSurface::FillRect(PixelRect r, std::uint32_t argb) {
  const PixelRect c = Clip(r);
  for (int y = c.y; y < c.y + c.height; ++y)
    for (int x = c.x; x < c.x + c.width; ++x) PutStraight(x, y, argb);
}

void BitmapSurface::CopyPixels(const BitmapSurface& src, PixelRect r, int dx, int dy, const BitmapSurface* alpha,
                               int alphaX, int alphaY, bool merge) {
  const PixelRect s = src.Clip(r);
  const int ox = dx + (s.x - r.x), oy = dy + (s.y - r.y);
  // Reads go through a snapshot so that a bitmap copied onto itself reads its old pixels.
  std::vector<std::uint32_t> from(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      from[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)] =
          src.Premultiplied(s.x + x, s.y + y);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const int tx = ox + x, ty = oy + y;
      if (!Contains(tx, ty)) continue;
      std::uint32_t p = from[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)];
      if (alpha) {
        const int ax = alphaX + (s.x - r.x) + x, ay = alphaY + (s.y - r.y) + y;
        if (!alpha->Contains(ax, ay)) continue;
        const std::uint32_t k = Channel(alpha->GetPixel32(ax, ay), 24);
        auto scale = [k](std::uint32_t c) { return (c * k + 127) / 255; };
        p = Pack4(scale(Channel(p, 24)), scale(Channel(p, 16)), scale(Channel(p, 8)), scale(Channel(p, 0)));
      }
      // An opaque bitmap has no alpha to take: the source is always laid over it.
      if (merge || !transparent_) {
        const std::uint32_t d = Premultiplied(tx, ty), keep = 255 - Channel(p, 24);
        auto over = [&](int shift) { return std::min<std::uint32_t>(255, Channel(p, shift) + Channel(d, shift) * keep / 255); };
        p = Pack4(over(24), over(16), over(8), over(0));
      }
      PutPremultiplied(tx, ty, p);
    }
  }
}

void BitmapSurface::CopyChannel(const BitmapSurface& src, PixelRect r, int dx, int dy, int srcChannel,
                                int dstChannel) {
  const int from = ShiftOf(srcChannel), to = ShiftOf(dstChannel);
  if (from < 0 || to < 0 || (to == 24 && !transparent_)) return;
  const PixelRect s = src.Clip(r);
  const int ox = dx + (s.x - r.x), oy = dy + (s.y - r.y);
  std::vector<std::uint32_t> values(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      values[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)] =
          Channel(src.GetPixel32(s.x + x, s.y + y), from);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const int tx = ox + x, ty = oy + y;
      if (!Contains(tx, ty)) continue;
      const std::uint32_t v = values[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)];
      const std::uint32_t d = GetPixel32(tx, ty);
      PutStraight(tx, ty, (d & ~(0xFFu << to)) | (v << to));
    }
}

void BitmapSurface::FloodFill(int x, int y, std::uint32_t argb) {
  if (!Contains(x, y)) return;
  const Rgba target = def().pixels[Index(x, y)];
  PutStraight(x, y, argb);
  const Rgba v = def().pixels[Index(x, y)];
  if (v == target) return;
  def().pixels[Index(x, y)] = target;
  std::vector<std::pair<int, int>> todo{{x, y}};
  while (!todo.empty()) {
    const auto [px, py] = todo.back();
    todo.pop_back();
    if (!Contains(px, py) || !(def().pixels[Index(px, py)] == target)) continue;
    def().pixels[Index(px, py)] = v;
    todo.insert(todo.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
  }
}

PixelRect BitmapSurface::ColorBounds(std::uint32_t mask, std::uint32_t color, bool find) const {
  int x0 = width(), y0 = height(), x1 = -1, y1 = -1;
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const bool match = (GetPixel32(x, y) & mask) == (color & mask);
      if (match != find) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  if (x1 < 0) return {};
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void BitmapSurface::ColorTransform(PixelRect r, const double ct[8]) {
  // The reference player leaves the pixels alone when the alpha multiplier alone is raised.
  if (ct[0] == 1 && ct[1] == 1 && ct[2] == 1 && ct[3] > 1 && ct[4] == 0 && ct[5] == 0 && ct[6] == 0 && ct[7] == 0)
    return;
  const PixelRect c = Clip(r);
  auto apply = [ct](std::uint32_t v, int i) {
    const double n = std::floor(static_cast<double>(v) * ct[i] + ct[i + 4]);
    return static_cast<std::uint32_t>(std::clamp(n, 0.0, 255.0));
  };
  for (int y = c.y; y < c.y + c.height; ++y)
    for (int x = c.x; x < c.x + c.width; ++x) {
      const std::uint32_t p = GetPixel32(x, y);
      // A pixel with no alpha has no colour to change, and an offset does not make it show.
      if (transparent_ && Channel(p, 24) == 0) continue;
      PutStraight(x, y, Pack4(apply(Channel(p, 24), 3), apply(Channel(p, 16), 0), apply(Channel(p, 8), 1),
                              apply(Channel(p, 0), 2)));
    }
}

int BitmapSurface::Threshold(const BitmapSurface& src, PixelRect r, int dx, int dy, std::string_view op,
                             std::uint32_t threshold, std::uint32_t color, std::uint32_t mask, bool copySource) {
  auto test = [op](std::uint32_t a, std::uint32_t b) {
    if (op == "<") return a < b;
    if (op == "<=") return a <= b;
    if (op == ">") return a > b;
    if (op == ">=") return a >= b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    return false;
  };
  const PixelRect s = src.Clip(r);
  const int ox = dx + (s.x - r.x), oy = dy + (s.y - r.y);
  std::vector<std::uint32_t> from(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      from[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)] =
          src.GetPixel32(s.x + x, s.y + y);
  int count = 0;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const int tx = ox + x, ty = oy + y;
      if (!Contains(tx, ty)) continue;
      const std::uint32_t p = from[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x)];
      if (test(p & mask, threshold & mask)) {
        PutStraight(tx, ty, color);
        ++count;
      } else if (copySource) {
        PutStraight(tx, ty, p);
      }
    }
  return count;
}

bool BitmapSurface::AnyAlphaAtLeast(PixelRect r, int alpha) const {
  const PixelRect c = Clip(r);
  for (int y = c.y; y < c.y + c.height; ++y)
    for (int x = c.x; x < c.x + c.width; ++x)
      if (static_cast<int>(Channel(GetPixel32(x, y), 24)) >= alpha) return true;
  return false;
}

bool BitmapSurface::Overlaps(int x, int y, int alpha, const BitmapSurface& other, int ox, int oy,
                             int otherAlpha) const {
  // The shared rectangle, in this bitmap's pixels.
  const PixelRect shared = Clip({ox - x, oy - y, other.width(), other.height()});
  for (int j = shared.y; j < shared.y + shared.height; ++j)
    for (int i = shared.x; i < shared.x + shared.width; ++i)
      if (static_cast<int>(Channel(GetPixel32(i, j), 24)) >= alpha &&
          static_cast<int>(Channel(other.GetPixel32(i + x - ox, j + y - oy), 24)) >= otherAlpha)
        return true;
  return false;
}

void BitmapSurface::Scroll(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  const BitmapDef old = def();
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const long long sx = static_cast<long long>(x) - dx, sy = static_cast<long long>(y) - dy;
      if (sx < 0 || sy < 0 || sx >= width() || sy >= height()) continue;
      def().pixels[Index(x, y)] = old.pixels[Index(static_cast<int>(sx), static_cast<int>(sy))];
    }
}

std::unique_ptr<BitmapSurface> BitmapSurface::Differences(const BitmapSurface& a, const BitmapSurface& b) {
  auto out = std::make_unique<BitmapSurface>(a.width(), a.height(), true, 0);
  bool any = false;
  for (int y = 0; y < a.height() && y < b.height(); ++y)
    for (int x = 0; x < a.width() && x < b.width(); ++x) {
      const std::uint32_t p = a.GetPixel32(x, y), q = b.GetPixel32(x, y);
      if (p == q) continue;
      any = true;
      auto diff = [&](int shift) { return (Channel(p, shift) - Channel(q, shift)) & 0xFF; };
      const std::uint32_t d = (p & 0xFFFFFFu) != (q & 0xFFFFFFu) ? Pack4(0xFF, diff(16), diff(8), diff(0))
                                                                 : (diff(24) << 24) | 0xFFFFFFu;
      out->def().pixels[out->Index(x, y)] = Unpack(d);
    }
  if (!any) return nullptr;
  return out;
}

Layer BitmapSurface::ToLayer(PixelRect r) const {
  const PixelRect c = Clip(r);
  Layer layer(c.x, c.y, c.width, c.height);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) layer.at(x, y) = Unpack(Premultiplied(c.x + x, c.y + y));
  return layer;
}

void BitmapSurface::FromLayer(const Layer& layer) {
  for (int j = 0; j < layer.height; ++j)
    for (int i = 0; i < layer.width; ++i) {
      const long long x = static_cast<long long>(layer.x) + i, y = static_cast<long long>(layer.y) + j;
      if (x < 0 || y < 0 || x >= width() || y >= height()) continue;
      PutPremultiplied(static_cast<int>(x), static_cast<int>(y), Pack(layer.at(i, j)));
    }
}

void BitmapSurface::Dispose() {
  BitmapDef& d = def();
  d.width = d.height = 0;
  d.pixels.clear();
  d.pixels.shrink_to_fit();
}

}  // namespace quillon::player
