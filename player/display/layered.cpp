// Objects drawn through an offscreen layer: blend modes, filters, bitmap caching, opaque
// backgrounds and scroll rects (render/layer.h describes the steps).
#include "display/layered.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "display/clip_object.h"
#include "render/composite.h"
#include "render/filters.h"
#include "render/layer_cache.h"

namespace quillon::player {

bool NeedsLayer(const DisplayObject& obj) {
  return obj.blendMode != "normal" || !obj.filters.empty() || obj.cacheAsBitmap || obj.opaqueBackground ||
         obj.scrollRect;
}

namespace {

// The device pixels whose centres lie inside the parallelogram that `m` makes of the twips
// rectangle, as a coverage mask over the layer.
MaskBuffer RectCoverage(int width, int height, const Matrix& m, double x0, double y0, double x1, double y1, Quality q) {
  MaskBuffer mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  const Point c[4] = {m.apply({x0, y0}), m.apply({x1, y0}), m.apply({x1, y1}), m.apply({x0, y1})};
  std::vector<Line> lines;
  for (int i = 0; i < 4; ++i) lines.push_back({c[i], c[(i + 1) % 4]});
  Rasterize(lines, FillRule::NonZero, q, width, height, [&](int y, int xa, int xb, std::uint8_t cover) {
    const auto row = mask.begin() + static_cast<std::ptrdiff_t>(y) * width;
    std::fill(row + xa, row + xb, cover);
  });
  return mask;
}

std::uint8_t Scaled(std::uint8_t v, unsigned k) { return static_cast<std::uint8_t>((v * k + 127u) / 255u); }

// The placement matrices from the stage down to an instance, its own included.
Matrix ChainOf(const Instance& inst) {
  Matrix m;
  const Instance* at = &inst;
  for (int i = 0; at && i < 128; ++i) {
    auto parent = at->parent.lock();
    if (!parent) break;
    const auto it = parent->displayList.find(at->depth);
    if (it == parent->displayList.end() || it->second.sprite.get() != at) break;
    m = it->second.matrix * m;
    at = parent.get();
  }
  return m;
}

const DisplayObject* PlacementOf(const Instance& inst) {
  auto parent = inst.parent.lock();
  if (!parent) return nullptr;
  const auto it = parent->displayList.find(inst.depth);
  return it != parent->displayList.end() && it->second.sprite.get() == &inst ? &it->second : nullptr;
}

// Whether something inside the object has filters, which reach past its bounds.
bool FilteredBelow(const DisplayObject& obj, int depth) {
  if (!obj.sprite || depth > 64) return false;
  for (const auto& [d, child] : obj.sprite->displayList)
    if (!child.filters.empty() || FilteredBelow(child, depth + 1)) return true;
  return false;
}

// Writes down what `obj` shows, its children's too: the layer drawn from a record equal to last
// frame's is last frame's layer. False for what can change without the display list saying so:
// text fields, video, drawings made by scripts, script bitmaps and masks set by script.
bool Record(const DisplayObject& obj, ContentRecord& r, int level) {
  if (level > 64) return false;
  auto word = [&r](std::uint64_t v) { r.words.push_back(v); };
  auto number = [&word](double v) { word(std::bit_cast<std::uint64_t>(v)); };
  auto pointer = [&word](const void* p) { word(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p))); };
  const Matrix& m = obj.matrix;
  const ColorTransform& c = obj.colorTransform;
  word(static_cast<std::uint64_t>(level));
  word(static_cast<std::uint64_t>(static_cast<std::int64_t>(obj.depth)));
  word(static_cast<std::uint64_t>(static_cast<std::int64_t>(obj.clipDepth)));
  word(obj.visible | (obj.cacheAsBitmap << 1) | (static_cast<std::uint64_t>(BlendModeFromName(obj.blendMode)) << 2));
  pointer(obj.character.get());
  pointer(obj.sprite.get());
  for (double v : {obj.ratio, m.a, m.b, m.c, m.d, m.tx, m.ty, c.rm, c.gm, c.bm, c.am, c.ra, c.ga, c.ba, c.aa}) number(v);
  word(obj.opaqueBackground ? std::bit_cast<std::uint32_t>(*obj.opaqueBackground) | (std::uint64_t{1} << 32) : 0);
  word(obj.scrollRect.has_value());
  if (obj.scrollRect)
    for (double v : {obj.scrollRect->x, obj.scrollRect->y, obj.scrollRect->width, obj.scrollRect->height}) number(v);
  word(obj.filters.size());
  r.filters.insert(r.filters.end(), obj.filters.begin(), obj.filters.end());
  if (obj.byScript && obj.character && std::holds_alternative<BitmapDef>(*obj.character)) return false;
  if (!obj.sprite) return true;
  const Instance& s = *obj.sprite;
  if (s.field || s.drawing || s.kind == InstanceKind::Video || s.mask.lock() || s.maskOf.lock()) return false;
  pointer(s.movie.get());
  word(s.displayList.size());
  for (const auto& [depth, child] : s.displayList)
    if (!Record(child, r, level + 1)) return false;
  return true;
}

// A filtered object is drawn into its bitmap with the top left corner of its bounds on a whole
// pixel, the nearest one.
void SnapToPixels(Matrix& own, const double (&box)[4]) {
  double x0 = INFINITY, y0 = INFINITY;
  for (const Point p : {Point{box[0], box[1]}, Point{box[2], box[1]}, Point{box[0], box[3]}, Point{box[2], box[3]}}) {
    const Point q = own.apply(p);
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
  }
  if (!std::isfinite(x0) || !std::isfinite(y0)) return;
  own.tx += std::floor(x0 + 0.5) - x0;
  own.ty += std::floor(y0 + 0.5) - y0;
}

}  // namespace

void Player::DrawMaskOf(const DrawContext& ctx, const Instance& mask, const Matrix& m, const Instance& masked,
                        MaskBuffer& out) const {
  const DisplayObject* placed = PlacementOf(mask);
  auto maskParent = mask.parent.lock();
  auto maskedParent = masked.parent.lock();
  if (!placed || !maskParent || !maskedParent) return;
  // From the masked clip's parent back up to the stage, then down to the mask's parent.
  const Matrix toMask = m * ChainOf(*maskedParent).inverse() * ChainOf(*maskParent);
  DrawContext local = ctx;
  local.maskOut = &out;
  DrawPlaced(local, *placed, toMask, ColorTransform{});
}

void Player::DrawLayered(const DrawContext& ctx, const DisplayObject& obj, const Matrix& m,
                         const ColorTransform& cx) const {
  const BlendMode mode = BlendModeFromName(obj.blendMode);
  // Alpha and erase work on the layer around them; straight onto the frame they draw nothing.
  if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && !ctx.layer) return;
  Matrix own = m * obj.matrix;
  double box[4];
  bool hasBox = false;
  if (obj.scrollRect) {
    const auto& r = *obj.scrollRect;
    box[0] = 0, box[1] = 0, box[2] = r.width * 20, box[3] = r.height * 20;
    hasBox = r.width > 0 && r.height > 0;
    if (!hasBox) return;
  } else {
    hasBox = OwnBounds(obj, box);
  }
  if (hasBox && !obj.filters.empty()) SnapToPixels(own, box);
  // The layer covers what the object can reach of the target, on the target's pixel grid.
  const bool filteredBelow = FilteredBelow(obj, 0);
  // Filters read the pixels around each one: a layer with filters in it is drawn whole by
  // every band; any other keeps to the rows of the band it is drawn for.
  const bool whole = !obj.filters.empty() || filteredBelow;
  int left = 0, top = 0, right = ctx.width(), bottom = ctx.height();
  if (hasBox && (obj.scrollRect || !filteredBelow)) {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const Point p : {Point{box[0], box[1]}, Point{box[2], box[1]}, Point{box[0], box[3]}, Point{box[2], box[3]}}) {
      const Point q = own.apply(p);
      x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
    // Strokes at least a pixel wide and anti-aliasing may reach a little past the bounds.
    if (std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)) {
      left = std::max(left, static_cast<int>(std::clamp(std::floor(x0) - 2, -1e9, 1e9)));
      top = std::max(top, static_cast<int>(std::clamp(std::floor(y0) - 2, -1e9, 1e9)));
      right = std::min(right, static_cast<int>(std::clamp(std::ceil(x1) + 2, -1e9, 1e9)));
      bottom = std::min(bottom, static_cast<int>(std::clamp(std::ceil(y1) + 2, -1e9, 1e9)));
    }
  }
  if (right <= left || bottom <= top) return;
  auto draw = [&]() -> Layer {
    Layer layer((ctx.layer ? ctx.layer->x : 0) + left, (ctx.layer ? ctx.layer->y : 0) + top, right - left, bottom - top);
    DrawContext inner = ctx;
    if (!whole) {
      inner.rowTop = ctx.rowTop - top;
      inner.rowBottom = ctx.rowBottom >= kAllRows ? kAllRows : ctx.rowBottom - top;
    } else {
      inner.rowTop = 0;
      inner.rowBottom = kAllRows;
    }
    inner.canvas = nullptr;
    inner.layer = &layer;
    inner.clip = nullptr;
    inner.maskOut = nullptr;
    const Matrix placed = Matrix::Translate(-left, -top) * own;
    Matrix world = placed;
    if (obj.scrollRect) world = placed * Matrix::Translate(-obj.scrollRect->x * 20, -obj.scrollRect->y * 20);
    if (obj.opaqueBackground && hasBox) {
      const MaskBuffer area = RectCoverage(layer.width, layer.height, placed, box[0], box[1], box[2], box[3], ctx.quality);
      const Rgba bg = *obj.opaqueBackground;
      for (std::size_t i = 0; i < area.size(); ++i)
        if (area[i]) layer.pixels[i] = {Scaled(bg.r, area[i]), Scaled(bg.g, area[i]), Scaled(bg.b, area[i]), area[i]};
    }
    DrawContent(inner, obj, world, ColorTransform{});
    if (obj.scrollRect) {
      const MaskBuffer area = RectCoverage(layer.width, layer.height, placed, box[0], box[1], box[2], box[3], ctx.quality);
      for (std::size_t i = 0; i < area.size(); ++i) {
        const unsigned k = area[i];
        if (k == 255) continue;
        Rgba& p = layer.pixels[i];
        p = {Scaled(p.r, k), Scaled(p.g, k), Scaled(p.b, k), Scaled(p.a, k)};
      }
    }
    // Filters work on the drawn part alone.
    if (!obj.filters.empty()) {
      TrimToContent(layer);
      for (const Filter& f : obj.filters) layer = ApplyFilter(layer, f, ctx.scale, ctx.scale);
    }
    return layer;
  };
  Layer drawnHere;
  const Layer* made = &drawnHere;
  if (whole && ctx.shared) {
    // Every band would draw this one whole: the first draws it for all.
    LayerCache::Key key;
    key.object = &obj, key.matrix = m;
    key.originX = ctx.layer ? ctx.layer->x : 0, key.originY = ctx.layer ? ctx.layer->y : 0;
    key.width = ctx.width(), key.height = ctx.height();
    key.scale = ctx.scale, key.quality = static_cast<int>(ctx.quality), key.maskLayers = ctx.maskLayers;
    key.recorded = Record(obj, key.content, 0);
    if (!key.recorded) key.content = {};
    made = &ctx.shared->Get(key, draw);
  } else {
    drawnHere = draw();
  }
  const Layer& layer = *made;
  CompositeTarget target = ctx.layer ? CompositeTarget::Of(*ctx.layer) : CompositeTarget::Of(*ctx.canvas);
  target.rowTop = ctx.rowTop;
  target.rowBottom = ctx.rowBottom;
  // Without filters only the drawn part is composited, in place: source over passes clear
  // pixels by, so it takes the whole layer as it is.
  if (obj.filters.empty()) {
    const bool over = mode == BlendMode::Normal || mode == BlendMode::Layer;
    const LayerRect drawn = over ? LayerRect{0, 0, layer.width, layer.height} : ContentRect(layer);
    if (!drawn.empty()) Composite(target, layer, mode, cx * obj.colorTransform, ctx.clip, &drawn);
    return;
  }
  Composite(target, layer, mode, cx * obj.colorTransform, ctx.clip);
}

}  // namespace quillon::player
