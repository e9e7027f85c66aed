#include "display/bitmap_display.h"

#include <cmath>

#include "avm1/classes/bitmap_data.h"
#include "display/clip_object.h"
#include "display/player.h"

namespace quillon::player {
namespace {

using avm1::Value;

// The drawing has no dictionary id of its own: this one stands for the bitmap being drawn.
constexpr std::uint16_t kDrawnBitmap = 1;

Value AttachBitmap(Player& player, avm1::Call& c) {
  auto* clip = c.This() ? dynamic_cast<ClipObject*>(c.This()) : nullptr;
  auto inst = clip ? clip->instance() : nullptr;
  const auto surface = avm1::SurfaceOf(c.Arg(0));
  const double scriptDepth = c.vm.ToNumber(c.Arg(1));
  if (!inst || inst->unloaded || !surface || !Player::ScriptDepthUsable(scriptDepth)) return {};
  const int depth = static_cast<int>(std::trunc(scriptDepth)) + kScriptDepthBase;
  if (auto it = inst->displayList.find(depth); it != inst->displayList.end()) {
    if (it->second.sprite) player.RemoveClip(*it->second.sprite);
    inst->displayList.erase(depth);
  }
  DisplayObject obj;
  obj.depth = depth;
  obj.character = surface->character();
  obj.byScript = true;
  inst->displayList.emplace(depth, std::move(obj));
  return {};
}

}  // namespace

void InstallBitmapDisplay(avm1::Machine& vm, Player& player) {
  if (vm.movieClipProto)
    vm.movieClipProto->DefineNative("attachBitmap", [&player](avm1::Call& c) { return AttachBitmap(player, c); }, 4);
  avm1::SetBitmapLibrary(vm, [&player](const std::string& linkage) -> const BitmapDef* {
    const std::uint16_t id = player.movie().Exported(linkage);
    const Character* c = id ? player.movie().Find(id) : nullptr;
    return c ? std::get_if<BitmapDef>(c) : nullptr;
  });
}

void DrawBitmap(const DrawContext& ctx, const BitmapDef& bitmap, const Matrix& world, const ColorTransform& color) {
  if (bitmap.width <= 0 || bitmap.height <= 0) return;
  const double w = bitmap.width * 20.0, h = bitmap.height * 20.0;
  ShapeGeometry shape;
  FillStyle fill;
  fill.kind = FillKind::Bitmap;
  fill.bitmapId = kDrawnBitmap;
  fill.matrix = Matrix::Scale(20);
  fill.repeat = false;
  fill.smooth = false;
  shape.fills.push_back(fill);
  Path path;
  path.fill1 = 1;
  const Point corners[] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
  for (int i = 0; i < 4; ++i) path.edges.push_back({corners[i], corners[i], corners[i + 1], false});
  shape.groups.push_back({{path}});
  DrawContext local = ctx;
  local.bitmaps = [&bitmap](std::uint16_t) -> const BitmapDef* { return &bitmap; };
  DrawShape(local, shape, world, color);
}

}  // namespace quillon::player
