#include "swf/movie.h"

#include <algorithm>

#include "swf/bytes.h"
#include "swf/image.h"
#include "swf/lzma.h"
#include "swf/records.h"
#include "swf/text.h"
#include "swf/text_tags.h"
#include "sound/tags.h"

namespace quillon::player {

Matrix ReadMatrix(Reader& r) {
  r.align();
  Matrix m;
  if (r.ubits(1)) {
    const int n = static_cast<int>(r.ubits(5));
    m.a = r.fbits(n);
    m.d = r.fbits(n);
  }
  if (r.ubits(1)) {
    const int n = static_cast<int>(r.ubits(5));
    m.b = r.fbits(n);
    m.c = r.fbits(n);
  }
  const int n = static_cast<int>(r.ubits(5));
  m.tx = r.sbits(n);
  m.ty = r.sbits(n);
  r.align();
  return m;
}

ColorTransform ReadColorTransform(Reader& r, bool alpha) {
  r.align();
  ColorTransform cx;
  const bool add = r.ubits(1), mult = r.ubits(1);
  const int n = static_cast<int>(r.ubits(4));
  if (mult) {
    cx.rm = r.sbits(n) / 256.0;
    cx.gm = r.sbits(n) / 256.0;
    cx.bm = r.sbits(n) / 256.0;
    if (alpha) cx.am = r.sbits(n) / 256.0;
  }
  if (add) {
    cx.ra = r.sbits(n);
    cx.ga = r.sbits(n);
    cx.ba = r.sbits(n);
    if (alpha) cx.aa = r.sbits(n);
  }
  r.align();
  return cx;
}

Rgba ReadRgb(Reader& r) {
  Rgba c;
  c.r = r.u8();
  c.g = r.u8();
  c.b = r.u8();
  return c;
}
Rgba ReadRgba(Reader& r) {
  Rgba c = ReadRgb(r);
  c.a = r.u8();
  return c;
}
Rgba ReadColor(Reader& r, bool alpha) { return alpha ? ReadRgba(r) : ReadRgb(r); }

void ReadRect(Reader& r, double& xMin, double& xMax, double& yMin, double& yMax) {
  r.align();
  const int n = static_cast<int>(r.ubits(5));
  xMin = r.sbits(n);
  xMax = r.sbits(n);
  yMin = r.sbits(n);
  yMax = r.sbits(n);
  r.align();
}

namespace {

enum Tag : int {
  kEnd = 0, kShowFrame = 1, kDefineShape = 2, kPlaceObject = 4, kRemoveObject = 5, kDefineBits = 6,
  kDefineButton = 7, kDefineButton2 = 34,
  kExportAssets = 56, kDefineVideoStream = 60,
  kJpegTables = 8, kSetBackgroundColor = 9, kDoAction = 12, kDefineBitsLossless = 20, kDefineBitsJpeg2 = 21,
  kDefineShape2 = 22, kPlaceObject2 = 26, kRemoveObject2 = 28, kDefineShape3 = 32, kDefineBitsJpeg3 = 35,
  kDefineBitsLossless2 = 36, kDefineSprite = 39, kFrameLabel = 43, kDefineMorphShape = 46,
  kFileAttributes = 69, kPlaceObject3 = 70, kDoAbcDefine = 72, kDoAbc = 82, kDefineShape4 = 83,
  kDefineMorphShape2 = 84, kDefineBitsJpeg4 = 90, kDoInitAction = 59,
  kDefineSound = 14, kStartSound = 15, kDefineButtonSound = 17, kSoundStreamHead = 18, kSoundStreamBlock = 19,
  kSoundStreamHead2 = 45, kStartSound2 = 89,
};

// Sprites nest sprites only through the dictionary, but a damaged movie could still nest
// DefineSprite tags; deeper ones are skipped.
constexpr int kMaxSpriteNesting = 1;




void ReadGradientRecords(Reader& r, Gradient& g, int count, bool alpha) {
  for (int i = 0; i < count; ++i) {
    GradientStop s;
    s.ratio = r.u8() / 255.0;
    s.color = ReadColor(r, alpha);
    g.stops.push_back(s);
  }
}

FillStyle ReadFillStyle(Reader& r, int shapeVersion) {
  FillStyle f;
  const std::uint8_t type = r.u8();
  const bool alpha = shapeVersion >= 3;
  if (type == 0x00) {
    f.color = ReadColor(r, alpha);
  } else if (type == 0x10 || type == 0x12 || type == 0x13) {
    f.kind = type == 0x10 ? FillKind::Linear : type == 0x12 ? FillKind::Radial : FillKind::Focal;
    f.matrix = ReadMatrix(r);
    const std::uint8_t head = r.u8();
    const unsigned spread = head >> 6;
    f.gradient.spread = spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
    f.gradient.linearRgb = ((head >> 4) & 3) == 1;
    ReadGradientRecords(r, f.gradient, head & 15, alpha);
    if (type == 0x13) f.gradient.focal = std::clamp(r.fixed8(), -1.0, 1.0);
  } else if (type >= 0x40 && type <= 0x43) {
    f.kind = FillKind::Bitmap;
    f.bitmapId = r.u16();
    f.matrix = ReadMatrix(r);
    f.repeat = type == 0x40 || type == 0x42;
    f.smooth = type == 0x40 || type == 0x41;
  } else {
    f.color = {0, 0, 0, 0};  // unknown fill: transparent, and the shape is likely damaged
  }
  return f;
}

std::size_t ReadCount(Reader& r, bool extended) {
  std::size_t n = r.u8();
  if (n == 0xFF && extended) n = r.u16();
  return n;
}

void ReadLineFlags(Reader& r, LineStyle& l, bool& hasFill) {
  const unsigned startCap = r.ubits(2), join = r.ubits(2);
  hasFill = r.ubits(1);
  l.noHScale = r.ubits(1);
  l.noVScale = r.ubits(1);
  r.ubits(1);  // pixel hinting
  r.ubits(5);
  l.noClose = r.ubits(1);
  const unsigned endCap = r.ubits(2);
  auto cap = [](unsigned v) { return v == 1 ? Cap::None : v == 2 ? Cap::Square : Cap::Round; };
  l.startCap = cap(startCap);
  l.endCap = cap(endCap);
  l.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
  if (l.join == Join::Miter) l.miterLimit = r.fixed8();
}

void ReadStyles(Reader& r, int version, ShapeGeometry& g) {
  const std::size_t fills = ReadCount(r, version >= 2);
  for (std::size_t i = 0; i < fills && !r.failed(); ++i) g.fills.push_back(ReadFillStyle(r, version));
  const std::size_t lines = ReadCount(r, version >= 2);
  for (std::size_t i = 0; i < lines && !r.failed(); ++i) {
    LineStyle l;
    l.width = r.u16();
    if (version >= 4) {
      bool hasFill = false;
      ReadLineFlags(r, l, hasFill);
      if (hasFill) {
        l.fill = ReadFillStyle(r, version);
        if (l.fill->kind == FillKind::Solid) l.color = l.fill->color, l.fill.reset();
      } else {
        l.color = ReadRgba(r);
      }
    } else {
      l.color = ReadColor(r, version >= 3);
    }
    g.lines.push_back(l);
  }
}

// Shape records after the style arrays. `styles` is false for the end shape of a morph,
// whose records carry positions only.
void ReadShapeRecords(Reader& r, int version, ShapeGeometry& g, std::size_t fillBase, std::size_t lineBase,
                      std::vector<Edge>* flatEdges) {
  r.align();
  int fillBits = static_cast<int>(r.ubits(4)), lineBits = static_cast<int>(r.ubits(4));
  std::size_t fillCount = g.fills.size() - fillBase, lineCount = g.lines.size() - lineBase;
  if (g.groups.empty()) g.groups.emplace_back();
  Path current;
  Point pen;
  auto flush = [&] {
    if (!current.edges.empty()) g.groups.back().paths.push_back(current);
    current.edges.clear();
  };
  auto style = [](std::uint32_t v, std::size_t base, std::size_t count) -> std::size_t {
    return v == 0 || v > count ? 0 : base + v;
  };
  while (!r.failed()) {
    if (r.ubits(1) == 0) {
      const unsigned flags = r.ubits(5);
      if (flags == 0) break;
      flush();
      if (flags & 1) {
        const int n = static_cast<int>(r.ubits(5));
        pen.x = r.sbits(n);
        pen.y = r.sbits(n);
      }
      if (flags & 2) current.fill0 = style(r.ubits(fillBits), fillBase, fillCount);
      if (flags & 4) current.fill1 = style(r.ubits(fillBits), fillBase, fillCount);
      if (flags & 8) current.line = style(r.ubits(lineBits), lineBase, lineCount);
      if ((flags & 16) && version >= 2) {
        fillBase = g.fills.size();
        lineBase = g.lines.size();
        ReadStyles(r, version, g);
        fillCount = g.fills.size() - fillBase;
        lineCount = g.lines.size() - lineBase;
        r.align();
        fillBits = static_cast<int>(r.ubits(4));
        lineBits = static_cast<int>(r.ubits(4));
        g.groups.emplace_back();
        current.fill0 = current.fill1 = current.line = 0;
      }
      continue;
    }
    Edge e;
    e.from = pen;
    if (r.ubits(1)) {
      const int n = static_cast<int>(r.ubits(4)) + 2;
      double dx = 0, dy = 0;
      if (r.ubits(1)) {
        dx = r.sbits(n);
        dy = r.sbits(n);
      } else if (r.ubits(1)) {
        dy = r.sbits(n);
      } else {
        dx = r.sbits(n);
      }
      e.to = {pen.x + dx, pen.y + dy};
      e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
    } else {
      const int n = static_cast<int>(r.ubits(4)) + 2;
      const double cx = r.sbits(n), cy = r.sbits(n), ax = r.sbits(n), ay = r.sbits(n);
      e.control = {pen.x + cx, pen.y + cy};
      e.to = {e.control.x + ax, e.control.y + ay};
      e.curve = true;
    }
    pen = e.to;
    if (r.failed()) break;
    if (flatEdges) flatEdges->push_back(e);
    else current.edges.push_back(e);
  }
  flush();
}

ShapeDef ReadShape(Reader& r, int version) {
  ShapeDef s;
  ReadRect(r, s.xMin, s.xMax, s.yMin, s.yMax);
  if (version >= 4) {
    double a, b, c, d;
    ReadRect(r, a, b, c, d);  // edge bounds
    r.u8();                   // flags
  }
  ReadStyles(r, version, s.geometry);
  ReadShapeRecords(r, version, s.geometry, 0, 0, nullptr);
  return s;
}

// Morphed colours truncate toward the start colour, as reference players draw them.
Rgba MorphRgba(Rgba a, Rgba b, double t) {
  auto ch = [t](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(Lerp(x, y, t)), 0, 255));
  };
  return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}

Gradient LerpGradient(const Gradient& a, const Gradient& b, double t) {
  Gradient g = a;
  for (std::size_t i = 0; i < g.stops.size() && i < b.stops.size(); ++i) {
    g.stops[i].ratio = Lerp(a.stops[i].ratio, b.stops[i].ratio, t);
    g.stops[i].color = MorphRgba(a.stops[i].color, b.stops[i].color, t);
  }
  g.focal = Lerp(a.focal, b.focal, t);
  return g;
}

Matrix LerpMatrix(const Matrix& a, const Matrix& b, double t) {
  return {Lerp(a.a, b.a, t), Lerp(a.b, b.b, t), Lerp(a.c, b.c, t), Lerp(a.d, b.d, t), Lerp(a.tx, b.tx, t),
          Lerp(a.ty, b.ty, t)};
}

FillStyle LerpFill(const FillStyle& a, const FillStyle& b, double t) {
  FillStyle f = a;
  f.color = MorphRgba(a.color, b.color, t);
  f.matrix = LerpMatrix(a.matrix, b.matrix, t);
  f.gradient = LerpGradient(a.gradient, b.gradient, t);
  return f;
}

void ReadMorphFill(Reader& r, FillStyle& start, FillStyle& end) {
  const std::uint8_t type = r.u8();
  if (type == 0x00) {
    start.color = ReadRgba(r);
    end.color = ReadRgba(r);
  } else if (type == 0x10 || type == 0x12 || type == 0x13) {
    start.kind = end.kind = type == 0x10 ? FillKind::Linear : type == 0x12 ? FillKind::Radial : FillKind::Focal;
    start.matrix = ReadMatrix(r);
    end.matrix = ReadMatrix(r);
    const std::uint8_t head = r.u8();
    const unsigned spread = head >> 6;
    start.gradient.spread = end.gradient.spread =
        spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
    start.gradient.linearRgb = end.gradient.linearRgb = ((head >> 4) & 3) == 1;
    for (int i = 0; i < (head & 15); ++i) {
      GradientStop s, e;
      s.ratio = r.u8() / 255.0;
      s.color = ReadRgba(r);
      e.ratio = r.u8() / 255.0;
      e.color = ReadRgba(r);
      start.gradient.stops.push_back(s);
      end.gradient.stops.push_back(e);
    }
    if (type == 0x13) {
      start.gradient.focal = std::clamp(r.fixed8(), -1.0, 1.0);
      end.gradient.focal = std::clamp(r.fixed8(), -1.0, 1.0);
    }
  } else if (type >= 0x40 && type <= 0x43) {
    start.kind = end.kind = FillKind::Bitmap;
    start.bitmapId = end.bitmapId = r.u16();
    start.matrix = ReadMatrix(r);
    end.matrix = ReadMatrix(r);
    start.repeat = end.repeat = type == 0x40 || type == 0x42;
    start.smooth = end.smooth = type == 0x40 || type == 0x41;
  } else {
    start.color = end.color = {0, 0, 0, 0};
  }
}

MorphShapeDef ReadMorphShape(Reader& r, int version, std::size_t tagEnd) {
  MorphShapeDef m;
  double a, b, c, d;
  ReadRect(r, m.startBounds[0], m.startBounds[2], m.startBounds[1], m.startBounds[3]);
  ReadRect(r, m.endBounds[0], m.endBounds[2], m.endBounds[1], m.endBounds[3]);
  if (version == 2) {
    ReadRect(r, a, b, c, d);
    ReadRect(r, a, b, c, d);
    r.u8();
  }
  const std::uint32_t offset = r.u32();
  const std::size_t endEdgesAt = r.pos() + offset;
  const std::size_t fills = ReadCount(r, true);
  for (std::size_t i = 0; i < fills && !r.failed(); ++i) {
    FillStyle s, e;
    ReadMorphFill(r, s, e);
    m.start.fills.push_back(s);
    m.end.fills.push_back(e);
  }
  const std::size_t lines = ReadCount(r, true);
  for (std::size_t i = 0; i < lines && !r.failed(); ++i) {
    LineStyle s, e;
    s.width = r.u16();
    e.width = r.u16();
    if (version == 2) {
      bool hasFill = false;
      ReadLineFlags(r, s, hasFill);
      const double w = e.width;
      e = s;
      e.width = w;
      if (hasFill) {
        FillStyle fs, fe;
        ReadMorphFill(r, fs, fe);
        s.color = fs.color;
        e.color = fe.color;
        if (fs.kind != FillKind::Solid) s.fill = fs, e.fill = fe;
      } else {
        s.color = ReadRgba(r);
        e.color = ReadRgba(r);
      }
    } else {
      s.color = ReadRgba(r);
      e.color = ReadRgba(r);
    }
    m.start.lines.push_back(s);
    m.end.lines.push_back(e);
  }
  ReadShapeRecords(r, 1, m.start, 0, 0, nullptr);
  std::vector<Edge> endEdges;
  if (endEdgesAt <= tagEnd) {
    r.seek(endEdgesAt);
    ShapeGeometry scratch;
    ReadShapeRecords(r, 1, scratch, 0, 0, &endEdges);
  }
  m.end.groups = m.start.groups;
  std::size_t k = 0;
  for (auto& group : m.end.groups)
    for (auto& path : group.paths)
      for (auto& e : path.edges) {
        if (k < endEdges.size()) {
          const Edge& other = endEdges[k];
          e = other;
          // A straight edge paired with a curve morphs as a curve with a middle control.
          if (!e.curve) e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
        }
        ++k;
      }
  return m;
}

// The onClipEvent handlers at the end of PlaceObject2 and 3.
std::uint32_t ReadClipActions(Reader& r, int swfVersion, std::vector<ClipAction>& out) {
  const bool wide = swfVersion >= 6;
  r.u16();
  const std::uint32_t all = wide ? r.u32() : r.u16();
  while (!r.failed() && !r.atEnd()) {
    const std::uint32_t events = wide ? r.u32() : r.u16();
    if (events == 0 || r.failed()) break;
    std::size_t size = r.u32();
    if (r.failed()) break;
    if (size > r.remaining()) size = r.remaining();
    ClipAction action;
    action.events = events;
    if ((events & kEventKeyPress) && size > 0) {
      action.keyCode = r.u8();
      --size;
    }
    const auto bytes = r.bytes(size);
    action.code = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    out.push_back(std::move(action));
  }
  return all;
}


void AddPlace(Reader& r, int version, std::size_t tagEnd, Frame& frame, int swfVersion) {
  PlaceObject p;
  p.version = version;
  if (version == 1) {
    p.characterId = r.u16();
    p.depth = r.u16();
    p.matrix = ReadMatrix(r);
    if (r.pos() < tagEnd) p.colorTransform = ReadColorTransform(r, false);
  } else {
    const std::uint8_t flags = r.u8();
    std::uint8_t flags2 = 0;
    if (version == 3) flags2 = r.u8();
    p.depth = r.u16();
    p.move = flags & 1;
    if (version == 3 && ((flags2 & 8) || ((flags2 & 16) && (flags & 2)))) r.str();  // class name
    if (flags & 2) p.characterId = r.u16();
    if (flags & 4) p.matrix = ReadMatrix(r);
    if (flags & 8) p.colorTransform = ReadColorTransform(r, true);
    if (flags & 16) p.ratio = r.u16() / 65535.0;
    if (flags & 32) p.name = ReadText(r, swfVersion);
    if (flags & 64) p.clipDepth = r.u16();
    if (version == 3) {
      if (flags2 & 1) p.filters = ReadFilters(r);
      if (flags2 & 2) p.blendMode = r.u8();
      if (flags2 & 4) p.cacheAsBitmap = r.u8() != 0;
      if (flags2 & 32) p.visible = r.u8() != 0;
      if (flags2 & 64) p.opaqueBackground = ReadRgba(r);
    }
    // Handlers cut short keep the ones read whole.
    if ((flags & 0x80) && !r.failed()) {
      p.clipEventFlags = ReadClipActions(r, swfVersion, p.clipActions);
      if (r.failed()) {
        frame.tags.emplace_back(std::move(p));
        return;
      }
    }
  }
  if (!r.failed()) frame.tags.emplace_back(std::move(p));
}

class Parser {
 public:
  Parser(Movie& movie, std::size_t budget) : movie_(movie), budget_(budget) {}

  // Counts decoded bytes against the budget; reading stops once it is spent.
  void Spend(std::size_t bytes) {
    if (bytes > budget_ - std::min(spent_, budget_)) overBudget_ = true;
    spent_ += std::min(bytes, budget_);
  }
  bool overBudget() const { return overBudget_; }

  // Reads tags up to End or the end of the bytes; false when the stream turned out damaged.
  bool ReadTimeline(Reader& r, Timeline& timeline, int nesting) {
    Frame frame;
    bool ok = true, ended = false;
    sound::StreamBuilder stream;
    while (!r.atEnd() && !overBudget_) {
      const std::uint16_t head = r.u16();
      std::size_t length = head & 0x3F;
      const int code = head >> 6;
      if (length == 0x3F) length = r.u32();
      if (r.failed() || length > r.remaining()) {
        ok = false;
        break;
      }
      const std::size_t start = r.pos();
      Reader tag(r.bytes(length));
      if (code == kEnd) {
        ended = true;
        break;
      }
      if (code == kShowFrame) {
        timeline.frames.push_back(std::move(frame));
        frame = Frame{};
        continue;
      }
      if (code == kSoundStreamHead || code == kSoundStreamHead2) stream.Head(sound::ReadStreamHead(tag));
      else if (code == kSoundStreamBlock) stream.Block(timeline.frames.size(), tag.rest());
      else ReadTag(tag, code, frame, nesting);
      r.seek(start + length);
    }
    if (!frame.tags.empty() || !frame.label.empty()) {
      timeline.frames.push_back(std::move(frame));
      timeline.loops = false;
    }
    if (!ended) timeline.loops = false;
    timeline.stream = stream.Finish(timeline.frames.size());
    if (timeline.stream) Spend(timeline.stream->pcm.samples.size() * sizeof(std::int16_t));
    return ok;
  }

 private:
  void Define(std::uint16_t id, Character c) {
    if (const auto* b = std::get_if<BitmapDef>(&c)) Spend(b->pixels.size() * sizeof(Rgba));
    movie_.dictionary[id] = std::make_shared<const Character>(std::move(c));
  }

  void ReadTag(Reader& tag, int code, Frame& frame, int nesting) {
    switch (code) {
      case kSetBackgroundColor: movie_.background = ReadRgb(tag); break;
      case kFileAttributes:
        if (tag.u8() & 0x08) movie_.usesActionScript3 = true;
        break;
      case kDoAbc:
      case kDoAbcDefine: movie_.hasAbc = true; break;
      case kFrameLabel: frame.label = ReadText(tag, movie_.version); break;
      case kPlaceObject: AddPlace(tag, 1, tag.size(), frame, movie_.version); break;
      case kPlaceObject2: AddPlace(tag, 2, tag.size(), frame, movie_.version); break;
      case kPlaceObject3: AddPlace(tag, 3, tag.size(), frame, movie_.version); break;
      case kRemoveObject:
        tag.u16();
        frame.tags.emplace_back(RemoveObject{tag.u16()});
        break;
      case kRemoveObject2: frame.tags.emplace_back(RemoveObject{tag.u16()}); break;
      case kDoAction: {
        auto bytes = tag.rest();
        frame.tags.emplace_back(DoAction{std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end())});
        break;
      }
      case kDoInitAction: {
        InitAction init;
        init.spriteId = tag.u16();
        auto bytes = tag.rest();
        init.code = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
        frame.tags.emplace_back(std::move(init));
        break;
      }
      case kDefineShape:
      case kDefineShape2:
      case kDefineShape3:
      case kDefineShape4: {
        const std::uint16_t id = tag.u16();
        const int version = code == kDefineShape ? 1 : code == kDefineShape2 ? 2 : code == kDefineShape3 ? 3 : 4;
        Define(id, ReadShape(tag, version));
        break;
      }
      case kDefineMorphShape:
      case kDefineMorphShape2: {
        const std::uint16_t id = tag.u16();
        Define(id, ReadMorphShape(tag, code == kDefineMorphShape ? 1 : 2, tag.size()));
        break;
      }
      case kDefineSprite: {
        if (nesting >= kMaxSpriteNesting) break;
        const std::uint16_t id = tag.u16();
        tag.u16();  // frame count: the ShowFrame tags decide
        SpriteDef sprite;
        sprite.byteSize = tag.remaining();
        ReadTimeline(tag, sprite.timeline, nesting + 1);
        Define(id, std::move(sprite));
        break;
      }
      case kDefineBitsLossless:
      case kDefineBitsLossless2: {
        const std::uint16_t id = tag.u16();
        if (auto b = DecodeLossless(tag.rest(), code == kDefineBitsLossless2)) Define(id, std::move(*b));
        break;
      }
      case kJpegTables: {
        auto t = tag.rest();
        jpegTables_.assign(t.begin(), t.end());
        break;
      }
      case kDefineBits: {
        const std::uint16_t id = tag.u16();
        if (auto b = DecodeImage(tag.rest(), jpegTables_, {})) Define(id, std::move(*b));
        break;
      }
      case kDefineBitsJpeg2: {
        const std::uint16_t id = tag.u16();
        if (auto b = DecodeImage(tag.rest(), {}, {})) Define(id, std::move(*b));
        break;
      }
      case kDefineBitsJpeg3:
      case kDefineBitsJpeg4: {
        const std::uint16_t id = tag.u16();
        const std::uint32_t alphaAt = tag.u32();
        if (code == kDefineBitsJpeg4) tag.u16();  // deblocking
        const auto image = tag.bytes(alphaAt);
        if (auto b = DecodeImage(image, {}, tag.rest())) Define(id, std::move(*b));
        break;
      }
      case kDefineSound: {
        const std::uint16_t id = tag.u16();
        if (auto def = sound::ReadDefineSound(tag)) {
          Spend(def->pcm.samples.size() * sizeof(std::int16_t));
          movie_.sounds[id] = std::move(def);
        }
        break;
      }
      case kStartSound: frame.sounds.push_back(sound::ReadStartSound(tag)); break;
      case kStartSound2: {
        // Names a class of a later format: no sound of this dictionary.
        tag.str();
        sound::ReadSoundInfo(tag);
        break;
      }
      case kDefineButtonSound: {
        const std::uint16_t id = tag.u16();
        movie_.buttonSounds[id] = sound::ReadButtonSounds(tag);
        break;
      }
      case kExportAssets: {
        const std::size_t count = tag.u16();
        for (std::size_t i = 0; i < count && !tag.failed(); ++i) {
          const std::uint16_t id = tag.u16();
          std::string name = ReadText(tag, movie_.version);
          if (tag.failed()) break;
          movie_.exports[name] = id;
          movie_.exportNames[id] = std::move(name);
        }
        break;
      }
      case kDefineButton:
      case kDefineButton2: {
        const std::uint16_t id = tag.u16();
        Define(id, ReadButton(tag, code == kDefineButton2));
        break;
      }
      case kDefineVideoStream: {
        const std::uint16_t id = tag.u16();
        tag.u16();  // frames
        OtherDef video;
        video.kind = OtherKind::Video;
        video.xMax = tag.u16() * 20.0;
        video.yMax = tag.u16() * 20.0;
        Define(id, video);
        break;
      }
      default: ReadTextTag(tag, code, movie_); break;  // fonts and texts; others are skipped by their length
    }
  }

  // A button's state records and its actions.
  static ButtonDef ReadButton(Reader& r, bool second) {
    ButtonDef button;
    std::size_t actionsAt = 0;
    if (second) {
      button.trackAsMenu = r.u8() & 1;
      const std::size_t offset = r.u16();
      if (offset) actionsAt = r.pos() - 2 + offset;
    }
    while (!r.failed() && !r.atEnd()) {
      const std::uint8_t flags = r.u8();
      if (flags == 0 || r.failed()) break;
      ButtonRecord rec;
      rec.states = flags & 0x0F;
      rec.characterId = r.u16();
      rec.depth = r.u16();
      rec.matrix = ReadMatrix(r);
      if (second) {
        rec.colorTransform = ReadColorTransform(r, true);
        if (flags & 0x10) rec.filters = ReadFilters(r);
        if (flags & 0x20) rec.blendMode = r.u8();
      }
      if (r.failed()) break;
      button.records.push_back(rec);
    }
    if (r.failed()) return button;
    if (!second) {
      // The first kind has one action block, run on release over the button.
      const auto code = r.rest();
      if (!code.empty())
        button.actions.push_back({kCondOverDownToOverUp, 0, std::make_shared<const std::vector<std::uint8_t>>(code.begin(), code.end())});
      return button;
    }
    if (!actionsAt || actionsAt >= r.size()) return button;
    r.seek(actionsAt);
    while (!r.failed() && !r.atEnd()) {
      const std::size_t start = r.pos();
      const std::size_t size = r.u16();
      const std::uint8_t low = r.u8(), high = r.u8();
      if (r.failed()) break;
      const std::size_t end = size ? std::min(start + size, r.size()) : r.size();
      if (end < r.pos()) break;
      const auto code = r.bytes(end - r.pos());
      ButtonAction action;
      action.conditions = static_cast<std::uint16_t>(low | (high & 1) << 8);
      action.keyCode = static_cast<std::uint8_t>(high >> 1);
      action.code = std::make_shared<const std::vector<std::uint8_t>>(code.begin(), code.end());
      button.actions.push_back(std::move(action));
      if (!size) break;
    }
    return button;
  }

  Movie& movie_;
  std::vector<std::uint8_t> jpegTables_;
  std::size_t budget_, spent_ = 0;
  bool overBudget_ = false;
};

}  // namespace

void ReadGlyphRecords(Reader& r, ShapeGeometry& g) { ReadShapeRecords(r, 1, g, 0, 0, nullptr); }

ShapeGeometry MorphShapeDef::at(double ratio) const {
  const double t = std::clamp(ratio, 0.0, 1.0);
  ShapeGeometry g = start;
  for (std::size_t i = 0; i < g.fills.size() && i < end.fills.size(); ++i)
    g.fills[i] = LerpFill(start.fills[i], end.fills[i], t);
  for (std::size_t i = 0; i < g.lines.size() && i < end.lines.size(); ++i) {
    g.lines[i].width = Lerp(start.lines[i].width, end.lines[i].width, t);
    g.lines[i].color = MorphRgba(start.lines[i].color, end.lines[i].color, t);
    if (g.lines[i].fill && end.lines[i].fill) g.lines[i].fill = LerpFill(*start.lines[i].fill, *end.lines[i].fill, t);
  }
  for (std::size_t gi = 0; gi < g.groups.size() && gi < end.groups.size(); ++gi)
    for (std::size_t pi = 0; pi < g.groups[gi].paths.size() && pi < end.groups[gi].paths.size(); ++pi) {
      auto& edges = g.groups[gi].paths[pi].edges;
      const auto& other = end.groups[gi].paths[pi].edges;
      for (std::size_t ei = 0; ei < edges.size() && ei < other.size(); ++ei) {
        Edge& e = edges[ei];
        const Edge& o = other[ei];
        const bool curve = e.curve || o.curve;
        e.from = {Lerp(e.from.x, o.from.x, t), Lerp(e.from.y, o.from.y, t)};
        e.control = {Lerp(e.control.x, o.control.x, t), Lerp(e.control.y, o.control.y, t)};
        e.to = {Lerp(e.to.x, o.to.x, t), Lerp(e.to.y, o.to.y, t)};
        e.curve = curve;
      }
    }
  return g;
}

std::optional<std::size_t> Timeline::FrameOfLabel(const std::string& label) const {
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const std::string& l = frames[i].label;
    if (l.size() == label.size() &&
        std::equal(l.begin(), l.end(), label.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
      return i;
  }
  return std::nullopt;
}

std::uint16_t Movie::Exported(std::string_view name) const {
  if (const auto it = exports.find(std::string(name)); it != exports.end()) return it->second;
  for (const auto& [n, id] : exports)
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
      return id;
  return 0;
}

const Character* Movie::Find(std::uint16_t id) const {
  const auto it = dictionary.find(id);
  return it == dictionary.end() ? nullptr : it->second.get();
}

std::optional<std::vector<std::uint8_t>> DecompressBody(std::span<const std::uint8_t> file, bool* tooLarge) {
  if (file.size() < 8 || file[1] != 'W' || file[2] != 'S') return std::nullopt;
  const std::uint32_t declared = static_cast<std::uint32_t>(file[4]) | static_cast<std::uint32_t>(file[5]) << 8 |
                                 static_cast<std::uint32_t>(file[6]) << 16 | static_cast<std::uint32_t>(file[7]) << 24;
  const std::size_t bodySize = declared >= 8 ? declared - 8 : 0;
  switch (file[0]) {
    case 'F': return std::vector<std::uint8_t>(file.begin() + 8, file.end());
    case 'C':
      // Movies often declare a wrong length; what inflates is what plays.
      return Inflate(file.subspan(8), kMaxBodySize, true, tooLarge);
    case 'Z': {
      if (file.size() < 17) return std::nullopt;
      if (bodySize > kMaxBodySize) {
        if (tooLarge) *tooLarge = true;
        return std::nullopt;
      }
      return LzmaDecode(file.subspan(12).first<5>(), file.subspan(17), bodySize);
    }
    default: return std::nullopt;
  }
}

namespace {

LoadResult ReadMovie(std::span<const std::uint8_t> file, std::size_t budget) {
  LoadResult result;
  bool tooLarge = false;
  const auto body = DecompressBody(file, &tooLarge);
  if (!body || body->empty()) {
    result.error = tooLarge ? LoadError::TooLarge : LoadError::Damaged;
    return result;
  }
  auto movie = std::make_shared<Movie>();
  movie->compression = file[0] == 'F' ? Compression::None : file[0] == 'C' ? Compression::Zlib : Compression::Lzma;
  movie->version = file[3];
  // The length the header declares: the uncompressed size, as scripts' getBytesTotal gives it.
  movie->fileSize = static_cast<std::size_t>(file[4]) | static_cast<std::size_t>(file[5]) << 8 |
                    static_cast<std::size_t>(file[6]) << 16 | static_cast<std::size_t>(file[7]) << 24;
  Reader r(*body);
  ReadRect(r, movie->xMin, movie->xMax, movie->yMin, movie->yMax);
  movie->frameRate = r.u16() / 256.0;
  movie->frameCount = r.u16();
  if (r.failed()) {
    result.error = LoadError::Damaged;
    return result;
  }
  Parser parser(*movie, budget);
  parser.Spend(body->size());
  parser.ReadTimeline(r, movie->timeline, 0);
  if (parser.overBudget()) {
    result.error = LoadError::TooLarge;
    return result;
  }
  if (movie->timeline.frames.empty()) movie->timeline.frames.emplace_back();
  if (movie->hasAbc) result.error = LoadError::NeedsActionScript3;
  result.movie = std::move(movie);
  return result;
}

}  // namespace

LoadResult LoadMovie(std::span<const std::uint8_t> file, std::size_t budget) {
  if (file.size() < 8 || file[1] != 'W' || file[2] != 'S' || (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z'))
    return LoadResult{LoadError::NotSwf, nullptr};
  try {
    return ReadMovie(file, budget);
  } catch (const std::bad_alloc&) {
    // Within the budget, but the address space is fragmented or taken by other loaded movies.
    return LoadResult{LoadError::TooLarge, nullptr};
  }
}

}  // namespace quillon::player
