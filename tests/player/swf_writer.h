// A small SWF writer for tests: movies whose pixels follow from their geometry.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::player::test {

using Bytes = std::vector<std::uint8_t>;

class Bits {
 public:
  void u(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) put((v >> i) & 1);
  }
  void s(std::int32_t v, int n) { u(static_cast<std::uint32_t>(v) & (n >= 32 ? ~0u : (1u << n) - 1), n); }
  // Bits needed for a signed value.
  static int Width(std::int32_t v) {
    int n = 1;
    while (v < -(1 << (n - 1)) || v >= (1 << (n - 1))) ++n;
    return n;
  }
  Bytes done() {
    Bytes out = bytes_;
    if (count_) out.push_back(static_cast<std::uint8_t>(cur_ << (8 - count_)));
    return out;
  }

 private:
  void put(unsigned bit) {
    cur_ = static_cast<std::uint8_t>(cur_ << 1 | bit);
    if (++count_ == 8) {
      bytes_.push_back(cur_);
      cur_ = 0;
      count_ = 0;
    }
  }
  Bytes bytes_;
  std::uint8_t cur_ = 0;
  int count_ = 0;
};

inline void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }
inline void U16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void U32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes Rect(int xMin, int xMax, int yMin, int yMax) {
  Bits b;
  int n = 1;
  for (int v : {xMin, xMax, yMin, yMax}) n = std::max(n, Bits::Width(v));
  b.u(static_cast<std::uint32_t>(n), 5);
  for (int v : {xMin, xMax, yMin, yMax}) b.s(v, n);
  return b.done();
}

// Translation and optional uniform scale (16.16) in twips.
inline Bytes MatrixBytes(int tx, int ty, double scale = 1, double rotateSkew0 = 0, double rotateSkew1 = 0) {
  Bits b;
  const bool hasScale = scale != 1;
  b.u(hasScale, 1);
  if (hasScale) {
    const auto v = static_cast<std::int32_t>(scale * 65536);
    b.u(31, 5);
    b.s(v, 31);
    b.s(v, 31);
  }
  const bool hasRotate = rotateSkew0 != 0 || rotateSkew1 != 0;
  b.u(hasRotate, 1);
  if (hasRotate) {
    b.u(31, 5);
    b.s(static_cast<std::int32_t>(rotateSkew0 * 65536), 31);
    b.s(static_cast<std::int32_t>(rotateSkew1 * 65536), 31);
  }
  b.u(31, 5);
  b.s(tx, 31);
  b.s(ty, 31);
  return b.done();
}

inline Bytes Tag(int code, const Bytes& body) {
  Bytes t;
  if (body.size() < 63) {
    U16(t, static_cast<unsigned>(code << 6 | static_cast<int>(body.size())));
  } else {
    U16(t, static_cast<unsigned>(code << 6 | 63));
    U32(t, static_cast<std::uint32_t>(body.size()));
  }
  Append(t, body);
  return t;
}

struct Rgb {
  std::uint8_t r, g, b, a = 255;
};

// A DefineShape3 of one closed polygon (twips, absolute corner points) with one solid fill,
// optionally outlined by a solid line.
// Declared bounds are loose unless `tight`: then they are the points' own box, which is what
// focus frames and hit areas are measured by.
inline Bytes PolygonShape(int id, const std::vector<std::pair<int, int>>& pts, Rgb fill, int lineWidth = 0,
                          Rgb line = {0, 0, 0}, bool tight = false) {
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  if (tight) {
    int x0 = pts[0].first, x1 = x0, y0 = pts[0].second, y1 = y0;
    for (const auto& [x, y] : pts) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    const int half = lineWidth / 2;
    Append(body, Rect(x0 - half, x1 + half, y0 - half, y1 + half));
  } else {
    Append(body, Rect(-100000, 100000, -100000, 100000));
  }
  body.push_back(1);  // one fill
  body.insert(body.end(), {0x00, fill.r, fill.g, fill.b, fill.a});
  if (lineWidth > 0) {
    body.push_back(1);
    U16(body, static_cast<unsigned>(lineWidth));
    body.insert(body.end(), {line.r, line.g, line.b, line.a});
  } else {
    body.push_back(0);
  }
  Bits b;
  b.u(1, 4);  // fill bits
  b.u(1, 4);  // line bits
  // Style change: move to the first point, fill1 = 1, line = 1 if any.
  b.u(0, 1);
  b.u(0, 1);                       // new styles
  b.u(lineWidth > 0 ? 1 : 0, 1);   // line style
  b.u(1, 1);                       // fill style 1
  b.u(0, 1);                       // fill style 0
  b.u(1, 1);                       // move to
  b.u(31, 5);
  b.s(pts[0].first, 31);
  b.s(pts[0].second, 31);
  b.u(1, 1);
  if (lineWidth > 0) b.u(1, 1);
  for (std::size_t i = 1; i <= pts.size(); ++i) {
    const auto& p = pts[i - 1];
    const auto& q = pts[i % pts.size()];
    b.u(1, 1);  // edge
    b.u(1, 1);  // straight
    b.u(15, 4);  // 17 bits
    b.u(1, 1);   // general line
    b.s(q.first - p.first, 17);
    b.s(q.second - p.second, 17);
  }
  b.u(0, 6);  // end of shape
  Append(body, b.done());
  return Tag(32, body);
}

inline Bytes RectShape(int id, int x, int y, int w, int h, Rgb fill, bool tight = false) {
  return PolygonShape(id, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, fill, 0, {0, 0, 0}, tight);
}

struct Place {
  int depth;
  int id = 0;  // 0: modify the object at the depth
  int tx = 0, ty = 0;
  double scale = 1;
  int clipDepth = 0;
  std::string name;
  // Colour transform with alpha: multipliers in 1/256, additions.
  bool hasCx = false;
  int rm = 256, gm = 256, bm = 256, am = 256, ra = 0, ga = 0, ba = 0, aa = 0;
  int ratio = -1;
};

inline Bytes PlaceObject2(const Place& p) {
  Bytes body;
  std::uint8_t flags = 0x04;  // matrix
  if (p.id) flags |= 0x02;
  else flags |= 0x01;
  if (p.hasCx) flags |= 0x08;
  if (p.ratio >= 0) flags |= 0x10;
  if (!p.name.empty()) flags |= 0x20;
  if (p.clipDepth) flags |= 0x40;
  body.push_back(flags);
  U16(body, static_cast<unsigned>(p.depth));
  if (p.id) U16(body, static_cast<unsigned>(p.id));
  Append(body, MatrixBytes(p.tx, p.ty, p.scale));
  if (p.hasCx) {
    Bits b;
    b.u(1, 1);
    b.u(1, 1);
    b.u(11, 4);
    for (int v : {p.rm, p.gm, p.bm, p.am, p.ra, p.ga, p.ba, p.aa}) b.s(v, 11);
    Append(body, b.done());
  }
  if (p.ratio >= 0) U16(body, static_cast<unsigned>(p.ratio));
  if (!p.name.empty()) {
    body.insert(body.end(), p.name.begin(), p.name.end());
    body.push_back(0);
  }
  if (p.clipDepth) U16(body, static_cast<unsigned>(p.clipDepth));
  return Tag(26, body);
}

// PlaceObject3's display settings; a negative value or empty list leaves the setting out.
struct Display3 {
  int blendMode = -1;     // the stored byte: 2 layer, 3 multiply, ... 14 hardlight
  int cacheAsBitmap = -1;
  Bytes filters;          // a whole filter list: the count byte, then each filter
  bool hasBackground = false;
  Rgb background{0, 0, 0};
};

// A PlaceObject3: PlaceObject2's fields, then the display settings.
inline Bytes PlaceObject3(const Place& p, const Display3& d) {
  Bytes two = PlaceObject2(p);
  const std::size_t head = (two[0] | (two[1] << 8)) & 0x3F;
  Bytes body(two.begin() + (head == 0x3F ? 6 : 2), two.end());
  std::uint8_t flags2 = 0;
  if (!d.filters.empty()) flags2 |= 0x01;
  if (d.blendMode >= 0) flags2 |= 0x02;
  if (d.cacheAsBitmap >= 0) flags2 |= 0x04;
  if (d.hasBackground) flags2 |= 0x40;
  body.insert(body.begin() + 1, flags2);
  Append(body, d.filters);
  if (d.blendMode >= 0) body.push_back(static_cast<std::uint8_t>(d.blendMode));
  if (d.cacheAsBitmap >= 0) body.push_back(static_cast<std::uint8_t>(d.cacheAsBitmap));
  if (d.hasBackground) body.insert(body.end(), {d.background.r, d.background.g, d.background.b, d.background.a});
  return Tag(70, body);
}

inline Bytes RemoveObject2(int depth) {
  Bytes b;
  U16(b, static_cast<unsigned>(depth));
  return Tag(28, b);
}
inline Bytes ShowFrame() { return Tag(1, {}); }
inline Bytes End() { return Tag(0, {}); }
inline Bytes Background(Rgb c) { return Tag(9, {c.r, c.g, c.b}); }
inline Bytes DoActionTag(const Bytes& code) {
  Bytes c = code;
  c.push_back(0);
  return Tag(12, c);
}
inline Bytes FrameLabel(const std::string& label) {
  Bytes b(label.begin(), label.end());
  b.push_back(0);
  return Tag(43, b);
}
struct ButtonRecordSpec {
  std::uint8_t states;
  int id;
  int depth;
  Bytes matrix = MatrixBytes(0, 0);
};

// DefineButton2 with state records and (conditions, actions) pairs; conditions as the tag's
// 16-bit field (first byte low).
inline Bytes Button2(int id, const std::vector<ButtonRecordSpec>& records,
              const std::vector<std::pair<std::uint16_t, Bytes>>& actions) {
  Bytes recs;
  for (const auto& r : records) {
    recs.push_back(r.states);
    U16(recs, static_cast<unsigned>(r.id));
    U16(recs, static_cast<unsigned>(r.depth));
    Append(recs, r.matrix);
    recs.push_back(0);  // colour transform: no terms
  }
  recs.push_back(0);
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  body.push_back(0);
  U16(body, actions.empty() ? 0u : static_cast<unsigned>(recs.size() + 2));
  Append(body, recs);
  for (std::size_t i = 0; i < actions.size(); ++i) {
    const Bytes& code = actions[i].second;
    U16(body, i + 1 == actions.size() ? 0u : static_cast<unsigned>(code.size() + 4));
    body.push_back(static_cast<std::uint8_t>(actions[i].first));
    body.push_back(static_cast<std::uint8_t>(actions[i].first >> 8));
    Append(body, code);
  }
  return Tag(34, body);
}

inline Bytes Sprite(int id, const std::vector<Bytes>& tags) {
  Bytes b;
  U16(b, static_cast<unsigned>(id));
  int frames = 0;
  for (const auto& t : tags)
    if (t == ShowFrame()) ++frames;
  U16(b, static_cast<unsigned>(frames));
  for (const auto& t : tags) Append(b, t);
  Append(b, End());
  return Tag(39, b);
}

// The whole file, uncompressed (FWS) or zlib-compressed (CWS); stage in pixels.
inline Bytes MovieFile(int widthPx, int heightPx, const std::vector<Bytes>& tags, char signature = 'F',
                   double rate = 12) {
  Bytes body = Rect(0, widthPx * 20, 0, heightPx * 20);
  U16(body, static_cast<unsigned>(rate * 256));
  int frames = 0;
  for (const auto& t : tags)
    if (t == ShowFrame()) ++frames;
  U16(body, static_cast<unsigned>(frames));
  for (const auto& t : tags) Append(body, t);
  Append(body, End());
  Bytes file{static_cast<std::uint8_t>(signature), 'W', 'S', 10};
  U32(file, static_cast<std::uint32_t>(body.size() + 8));
  if (signature == 'C') {
    uLongf len = compressBound(static_cast<uLong>(body.size()));
    Bytes z(len);
    compress(z.data(), &len, body.data(), static_cast<uLong>(body.size()));
    z.resize(len);
    Append(file, z);
  } else {
    Append(file, body);
  }
  return file;
}

}  // namespace quillon::player::test
