// flash.display.BitmapData. The pixels live behind a hidden own property, so a subclass calling
// super() gets them too; `new` with a size out of range gives undefined, as the reference
// player's does. Methods on anything else, or on a disposed bitmap, do nothing.
#include "avm1/classes/bitmap_data.h"

#include <algorithm>
#include <cmath>

#include "avm1/classes/extra_classes.h"
#include "avm1/classes/filters.h"
#include "render/filters.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::uint8_t kHidden = kDontEnum | kDontDelete;
constexpr std::string_view kPixelsKey = "\x01" "bitmapData";
constexpr std::string_view kLibraryKey = "\x01" "bitmapLibrary";

class BitmapHolder : public Object {
 public:
  explicit BitmapHolder(Machine& vm) : Object(vm) {}
  std::string_view ClassName() const override { return "BitmapDataPixels"; }
  std::shared_ptr<BitmapSurface> surface;
  bool disposed = false;
};

BitmapHolder* HolderOf(const Value& v) {
  if (!v.IsObject()) return nullptr;
  Property* p = v.object->FindOwn(kPixelsKey);
  return p && p->value.IsObject() ? dynamic_cast<BitmapHolder*>(p->value.object) : nullptr;
}

// The live pixels of `this`, or null.
BitmapSurface* Self(Call& c) {
  BitmapHolder* h = HolderOf(c.thisValue);
  return h && !h->disposed && h->surface ? h->surface.get() : nullptr;
}

struct LibraryState {
  BitmapLibrary library;
};

// Pixel coordinates and sizes: truncated, NaN as 0, kept far from overflow.
int Int(Machine& vm, const Value& v) {
  const double n = vm.ToNumber(v);
  if (std::isnan(n)) return 0;
  return static_cast<int>(std::clamp(std::trunc(n), -1073741824.0, 1073741824.0));
}

std::uint32_t Color(Machine& vm, const Value& v) { return ToUint32(vm.ToNumber(v)); }

Value Member(Machine& vm, const Value& v, std::string_view name) {
  Object* o = vm.ToObject(v);
  return o ? o->Get(name) : Value{};
}

PixelRect RectOf(Machine& vm, const Value& v) {
  return {Int(vm, Member(vm, v, "x")), Int(vm, Member(vm, v, "y")), Int(vm, Member(vm, v, "width")),
          Int(vm, Member(vm, v, "height"))};
}

void PointOf(Machine& vm, const Value& v, int& x, int& y) {
  x = Int(vm, Member(vm, v, "x"));
  y = Int(vm, Member(vm, v, "y"));
}

Value Signed(std::uint32_t argb) { return Value::Num(static_cast<double>(static_cast<std::int32_t>(argb))); }

Value RectValue(Machine& vm, const PixelRect& r) { return NewRectangle(vm, r.x, r.y, r.width, r.height); }

void Attach(Machine& vm, Object* self, std::shared_ptr<BitmapSurface> surface) {
  auto* holder = vm.Make<BitmapHolder>();
  holder->surface = std::move(surface);
  self->Define(kPixelsKey, Value::Obj(holder), kHidden);
}

// A new BitmapData object holding `surface`, made through the script-visible class.
Value Wrap(Machine& vm, std::unique_ptr<BitmapSurface> surface) {
  const Value cls = Member(vm, Member(vm, Member(vm, Value::Obj(vm.global()), "flash"), "display"), "BitmapData");
  const Value proto = Member(vm, cls, "prototype");
  Object* obj = vm.NewObject();
  if (proto.IsObject()) obj->SetProto(proto.object);
  if (cls.IsObject()) obj->Define("__constructor__", cls, kDontEnum);
  Attach(vm, obj, std::shared_ptr<BitmapSurface>(std::move(surface)));
  return Value::Obj(obj);
}

Value Init(Call& c) {
  Object* self = c.This();
  Machine& vm = c.vm;
  const double w = vm.ToNumber(c.Arg(0)), h = vm.ToNumber(c.Arg(1));
  if (!BitmapSurface::SizeAllowed(std::trunc(w), std::trunc(h))) {
    c.refused = true;
    return {};
  }
  if (!self) return {};
  const bool transparent = c.Arg(2).IsUndefined() ? true : vm.ToBool(c.Arg(2));
  const std::uint32_t fill = c.Arg(3).IsUndefined() ? 0xFFFFFFFFu : Color(vm, c.Arg(3));
  Attach(vm, self, std::make_shared<BitmapSurface>(static_cast<int>(w), static_cast<int>(h), transparent, fill));
  return Value::Obj(self);
}

void Getter(Machine& vm, Object* proto, std::string_view name, NativeFn get) {
  proto->AddProperty(name, vm.NewNative(std::move(get)), nullptr);
  proto->SetFlags(name, kDontEnum, 0);
}

// A method whose `this` must hold live pixels.
template <typename Body> void Method(Object* proto, std::string_view name, Body body, int length) {
  proto->DefineNative(name, [body](Call& c) -> Value {
    BitmapSurface* s = Self(c);
    if (!s) return {};
    return body(c, *s);
  }, length);
}

void InstallProperties(Machine& vm, Object* proto) {
  Getter(vm, proto, "width", [](Call& c) -> Value {
    BitmapHolder* h = HolderOf(c.thisValue);
    if (!h) return {};
    return Value::Num(h->disposed ? -1 : h->surface->width());
  });
  Getter(vm, proto, "height", [](Call& c) -> Value {
    BitmapHolder* h = HolderOf(c.thisValue);
    if (!h) return {};
    return Value::Num(h->disposed ? -1 : h->surface->height());
  });
  Getter(vm, proto, "transparent", [](Call& c) -> Value {
    BitmapHolder* h = HolderOf(c.thisValue);
    if (!h) return {};
    return h->disposed ? Value::Num(-1) : Value::Bool(h->surface->transparent());
  });
  Getter(vm, proto, "rectangle", [](Call& c) -> Value {
    BitmapHolder* h = HolderOf(c.thisValue);
    if (!h) return {};
    if (h->disposed) return Value::Num(-1);
    return NewRectangle(c.vm, 0, 0, h->surface->width(), h->surface->height());
  });
}

void InstallPixelMethods(Object* proto) {
  Method(proto, "getPixel", [](Call& c, BitmapSurface& s) {
    return Value::Num(s.GetPixel32(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1))) & 0xFFFFFFu);
  }, 2);
  Method(proto, "getPixel32", [](Call& c, BitmapSurface& s) {
    return Signed(s.GetPixel32(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1))));
  }, 2);
  Method(proto, "setPixel", [](Call& c, BitmapSurface& s) {
    s.SetPixel(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1)), Color(c.vm, c.Arg(2)));
    return Value{};
  }, 3);
  Method(proto, "setPixel32", [](Call& c, BitmapSurface& s) {
    s.SetPixel32(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1)), Color(c.vm, c.Arg(2)));
    return Value{};
  }, 3);
  Method(proto, "fillRect", [](Call& c, BitmapSurface& s) {
    if (!c.Arg(0).IsObject()) return Value{};
    s.FillRect(RectOf(c.vm, c.Arg(0)), Color(c.vm, c.Arg(1)));
    return Value{};
  }, 2);
  Method(proto, "floodFill", [](Call& c, BitmapSurface& s) {
    s.FloodFill(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1)), Color(c.vm, c.Arg(2)));
    return Value{};
  }, 3);
  Method(proto, "getColorBoundsRect", [](Call& c, BitmapSurface& s) {
    const bool find = c.Arg(2).IsUndefined() ? true : c.vm.ToBool(c.Arg(2));
    return RectValue(c.vm, s.ColorBounds(Color(c.vm, c.Arg(0)), Color(c.vm, c.Arg(1)), find));
  }, 3);
  Method(proto, "scroll", [](Call& c, BitmapSurface& s) {
    s.Scroll(Int(c.vm, c.Arg(0)), Int(c.vm, c.Arg(1)));
    return Value{};
  }, 2);
  Method(proto, "colorTransform", [](Call& c, BitmapSurface& s) {
    double ct[8];
    if (!c.Arg(0).IsObject() || !ReadColorTransform(c.Arg(1), ct)) return Value{};
    s.ColorTransform(RectOf(c.vm, c.Arg(0)), ct);
    return Value{};
  }, 2);
}

void InstallCopyMethods(Object* proto) {
  Method(proto, "copyPixels", [](Call& c, BitmapSurface& s) {
    const auto src = SurfaceOf(c.Arg(0));
    if (!src || !c.Arg(1).IsObject() || !c.Arg(2).IsObject()) return Value{};
    int dx = 0, dy = 0, ax = 0, ay = 0;
    PointOf(c.vm, c.Arg(2), dx, dy);
    // An opaque alpha bitmap has nothing to scale by: it is as if there were none.
    auto alpha = SurfaceOf(c.Arg(3));
    if (alpha && !alpha->transparent()) alpha = nullptr;
    if (alpha && c.Arg(4).IsObject()) PointOf(c.vm, c.Arg(4), ax, ay);
    s.CopyPixels(*src, RectOf(c.vm, c.Arg(1)), dx, dy, alpha.get(), ax, ay, c.vm.ToBool(c.Arg(5)));
    return Value{};
  }, 6);
  Method(proto, "copyChannel", [](Call& c, BitmapSurface& s) {
    const auto src = SurfaceOf(c.Arg(0));
    if (!src || !c.Arg(1).IsObject() || !c.Arg(2).IsObject()) return Value{};
    int dx = 0, dy = 0;
    PointOf(c.vm, c.Arg(2), dx, dy);
    s.CopyChannel(*src, RectOf(c.vm, c.Arg(1)), dx, dy, Int(c.vm, c.Arg(3)), Int(c.vm, c.Arg(4)));
    return Value{};
  }, 5);
  Method(proto, "threshold", [](Call& c, BitmapSurface& s) {
    const auto src = SurfaceOf(c.Arg(0));
    if (!src || !c.Arg(1).IsObject() || !c.Arg(2).IsObject()) return Value{};
    int dx = 0, dy = 0;
    PointOf(c.vm, c.Arg(2), dx, dy);
    const std::string op = c.vm.ToString(c.Arg(3));
    const std::uint32_t mask = c.Arg(6).IsUndefined() ? 0xFFFFFFFFu : Color(c.vm, c.Arg(6));
    const int n = s.Threshold(*src, RectOf(c.vm, c.Arg(1)), dx, dy, op, Color(c.vm, c.Arg(4)), Color(c.vm, c.Arg(5)),
                              mask, c.vm.ToBool(c.Arg(7)));
    return Value::Num(n);
  }, 8);
  Method(proto, "applyFilter", [](Call& c, BitmapSurface& s) {
    const auto src = SurfaceOf(c.Arg(0));
    Filter filter;
    if (!src || !c.Arg(1).IsObject() || !c.Arg(2).IsObject() || !FilterOf(c.vm, c.Arg(3), filter)) return Value::Num(-1);
    int dx = 0, dy = 0;
    PointOf(c.vm, c.Arg(2), dx, dy);
    const PixelRect r = RectOf(c.vm, c.Arg(1));
    Layer in = src->ToLayer(r);
    Layer out = ApplyFilter(in, filter);
    // The result lands at the destination point as the source rectangle's corner would.
    out.x += dx - r.x;
    out.y += dy - r.y;
    s.FromLayer(out);
    return Value::Num(0);
  }, 4);
  Method(proto, "generateFilterRect", [](Call& c, BitmapSurface&) {
    Filter filter;
    const PixelRect r = RectOf(c.vm, c.Arg(0));
    if (!FilterOf(c.vm, c.Arg(1), filter)) return RectValue(c.vm, r);
    const FilterReach reach = ReachOf(filter);
    return RectValue(c.vm, {r.x - reach.left, r.y - reach.top, r.width + reach.left + reach.right,
                            r.height + reach.top + reach.bottom});
  }, 2);
  Method(proto, "hitTest", [](Call& c, BitmapSurface& s) {
    Machine& vm = c.vm;
    if (!c.Arg(0).IsObject()) return Value{};
    int x = 0, y = 0;
    PointOf(vm, c.Arg(0), x, y);
    const int alpha = Int(vm, c.Arg(1));
    const Value& other = c.Arg(2);
    if (!other.IsObject()) return Value{};
    if (const auto bitmap = SurfaceOf(other)) {
      int ox = 0, oy = 0;
      if (c.Arg(3).IsObject()) PointOf(vm, c.Arg(3), ox, oy);
      const int otherAlpha = c.Arg(4).IsUndefined() ? 1 : Int(vm, c.Arg(4));
      return Value::Bool(s.Overlaps(x, y, alpha, *bitmap, ox, oy, otherAlpha));
    }
    // A rectangle has a size; a point has none.
    PixelRect r = other.object->Has("width") ? RectOf(vm, other) : PixelRect{0, 0, 1, 1};
    if (!other.object->Has("width")) PointOf(vm, other, r.x, r.y);
    r.x -= x;
    r.y -= y;
    return Value::Bool(s.AnyAlphaAtLeast(r, alpha));
  }, 5);
  Method(proto, "clone", [](Call& c, BitmapSurface& s) {
    return Wrap(c.vm, std::make_unique<BitmapSurface>(s));
  }, 0);
}

void InstallLifeMethods(Object* proto) {
  proto->DefineNative("dispose", [](Call& c) -> Value {
    BitmapHolder* h = HolderOf(c.thisValue);
    if (!h || h->disposed) return {};
    h->disposed = true;
    if (h->surface) h->surface->Dispose();
    return {};
  });
  proto->DefineNative("compare", [](Call& c) -> Value {
    BitmapSurface* a = Self(c);
    if (!a) return Value::Num(-1);
    const auto b = SurfaceOf(c.Arg(0));
    if (!b) return Value::Num(-2);
    if (a->width() != b->width()) return Value::Num(-3);
    if (a->height() != b->height()) return Value::Num(-4);
    auto diff = BitmapSurface::Differences(*a, *b);
    return diff ? Wrap(c.vm, std::move(diff)) : Value::Num(0);
  }, 1);
}

}  // namespace

std::shared_ptr<BitmapSurface> SurfaceOf(const Value& v) {
  BitmapHolder* h = HolderOf(v);
  return h && !h->disposed ? h->surface : nullptr;
}

void SetBitmapLibrary(Machine& vm, BitmapLibrary library) {
  extra_detail::StateOf<LibraryState>(vm, kLibraryKey)->library = std::move(library);
}

void InstallBitmapData(Machine& vm, Object* global) {
  if (vm.version() < 8) return;
  Object* flash = global->Get("flash").IsObject() ? global->Get("flash").object : nullptr;
  if (!flash) {
    flash = vm.NewObject();
    global->Define("flash", Value::Obj(flash), kDontEnum);
  }
  Object* display = nullptr;
  if (Property* p = flash->FindOwn("display"); p && p->value.IsObject()) {
    display = p->value.object;
  } else {
    display = vm.NewObject();
    flash->Define("display", Value::Obj(display), kDontEnum);
  }

  Object* proto = vm.NewObject();
  Function* cls = vm.NewClass(Init, Init, proto);
  display->Define("BitmapData", Value::Obj(cls), kDontEnum);
  InstallProperties(vm, proto);
  InstallPixelMethods(proto);
  InstallCopyMethods(proto);
  InstallLifeMethods(proto);

  cls->Define("RED_CHANNEL", Value::Num(kRedChannel));
  cls->Define("GREEN_CHANNEL", Value::Num(kGreenChannel));
  cls->Define("BLUE_CHANNEL", Value::Num(kBlueChannel));
  cls->Define("ALPHA_CHANNEL", Value::Num(kAlphaChannel));
  cls->DefineNative("loadBitmap", [](Call& c) -> Value {
    const auto state = extra_detail::StateOf<LibraryState>(c.vm, kLibraryKey);
    if (!state->library) return {};
    const BitmapDef* def = state->library(c.vm.ToString(c.Arg(0)));
    if (!def || !BitmapSurface::SizeAllowed(def->width, def->height)) return {};
    return Wrap(c.vm, std::make_unique<BitmapSurface>(*def));
  }, 1);
}

}  // namespace quillon::player::avm1
