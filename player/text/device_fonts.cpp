#include "text/device_fonts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "stb_truetype.h"

namespace quillon::player::text {
namespace {

// A search under many folders stops here, so a strange system cannot stall the first text.
constexpr std::size_t kMaxFontFiles = 20000;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int Slot(bool bold, bool italic) { return (bold ? 1 : 0) + (italic ? 2 : 0); }

// The free faces that keep the metrics of the usual Windows faces, the Windows files first (so
// the stub finds the real ones), regular, bold, italic, bold italic.
struct Mapping {
  const char* family;
  const char* files[4];
};
constexpr Mapping kSans{"sans", {"arial.ttf|LiberationSans-Regular.ttf|DejaVuSans.ttf",
                                 "arialbd.ttf|LiberationSans-Bold.ttf|DejaVuSans-Bold.ttf",
                                 "ariali.ttf|LiberationSans-Italic.ttf|DejaVuSans-Oblique.ttf",
                                 "arialbi.ttf|LiberationSans-BoldItalic.ttf|DejaVuSans-BoldOblique.ttf"}};
constexpr Mapping kSerif{"serif", {"times.ttf|LiberationSerif-Regular.ttf|DejaVuSerif.ttf",
                                   "timesbd.ttf|LiberationSerif-Bold.ttf|DejaVuSerif-Bold.ttf",
                                   "timesi.ttf|LiberationSerif-Italic.ttf|DejaVuSerif-Italic.ttf",
                                   "timesbi.ttf|LiberationSerif-BoldItalic.ttf|DejaVuSerif-BoldItalic.ttf"}};
constexpr Mapping kMono{"mono", {"cour.ttf|LiberationMono-Regular.ttf|DejaVuSansMono.ttf",
                                 "courbd.ttf|LiberationMono-Bold.ttf|DejaVuSansMono-Bold.ttf",
                                 "couri.ttf|LiberationMono-Italic.ttf|DejaVuSansMono-Oblique.ttf",
                                 "courbi.ttf|LiberationMono-BoldItalic.ttf|DejaVuSansMono-BoldOblique.ttf"}};
constexpr Mapping kCjk{"cjk", {"msyh.ttc|simsun.ttc|wqy-microhei.ttc|wqy-zenhei.ttc",
                               "msyhbd.ttc|msyh.ttc|simsun.ttc|wqy-microhei.ttc|wqy-zenhei.ttc",
                               "msyh.ttc|simsun.ttc|wqy-microhei.ttc|wqy-zenhei.ttc",
                               "msyhbd.ttc|msyh.ttc|simsun.ttc|wqy-microhei.ttc|wqy-zenhei.ttc"}};

const Mapping* MappingOf(const std::string& lower) {
  static const std::pair<const char*, const Mapping*> kNames[] = {
      {"_sans", &kSans}, {"arial", &kSans}, {"helvetica", &kSans}, {"verdana", &kSans}, {"tahoma", &kSans},
      {"trebuchet ms", &kSans}, {"liberation sans", &kSans}, {"sans-serif", &kSans}, {"sans", &kSans},
      {"_serif", &kSerif}, {"times new roman", &kSerif}, {"times", &kSerif}, {"georgia", &kSerif},
      {"liberation serif", &kSerif}, {"serif", &kSerif},
      {"_typewriter", &kMono}, {"courier new", &kMono}, {"courier", &kMono}, {"liberation mono", &kMono},
      {"monospace", &kMono}, {"lucida console", &kMono},
      {"simsun", &kCjk}, {"nsimsun", &kCjk}, {"simhei", &kCjk}, {"microsoft yahei", &kCjk},
      {"\xe5\xae\x8b\xe4\xbd\x93", &kCjk}, {"\xe5\xbe\xae\xe8\xbd\xaf\xe9\x9b\x85\xe9\xbb\x91", &kCjk},
      {"\xe9\xbb\x91\xe4\xbd\x93", &kCjk}, {"ms gothic", &kCjk}, {"ms mincho", &kCjk}, {"mingliu", &kCjk},
      {"pmingliu", &kCjk}, {"wenquanyi micro hei", &kCjk}};
  for (const auto& [name, mapping] : kNames)
    if (lower == name) return mapping;
  return nullptr;
}

std::vector<std::string> Split(const char* list) {
  std::vector<std::string> out;
  std::string cur;
  for (const char* p = list; *p; ++p) {
    if (*p == '|') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += *p;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Be16(const std::vector<std::uint8_t>& d, std::size_t at) {
  return at + 2 <= d.size() ? static_cast<std::uint32_t>(d[at] << 8 | d[at + 1]) : 0;
}
std::uint32_t Be32(const std::vector<std::uint8_t>& d, std::size_t at) {
  return Be16(d, at) << 16 | Be16(d, at + 2);
}

// Where a table of the face at `offset` starts, 0 when it has none.
std::size_t FindTable(const std::vector<std::uint8_t>& d, std::size_t offset, const char* tag) {
  const std::size_t tables = Be16(d, offset + 4);
  for (std::size_t i = 0; i < tables; ++i) {
    const std::size_t rec = offset + 12 + 16 * i;
    if (rec + 16 > d.size()) break;
    if (std::equal(tag, tag + 4, d.begin() + static_cast<std::ptrdiff_t>(rec))) return Be32(d, rec + 8);
  }
  return 0;
}

}  // namespace

struct FileFace::Parsed {
  std::vector<std::uint8_t> bytes;
  stbtt_fontinfo info{};
  double unitsToEm = 0;  // 1 / units per em
};

FileFace::FileFace() : parsed_(std::make_unique<Parsed>()) {}
FileFace::~FileFace() = default;

std::unique_ptr<FileFace> FileFace::Load(std::vector<std::uint8_t> bytes, int index) {
  if (bytes.size() < 12) return nullptr;
  std::unique_ptr<FileFace> face(new FileFace());
  Parsed& p = *face->parsed_;
  p.bytes = std::move(bytes);
  const int offset = stbtt_GetFontOffsetForIndex(p.bytes.data(), index);
  if (offset < 0 || !stbtt_InitFont(&p.info, p.bytes.data(), offset)) return nullptr;
  const std::size_t head = FindTable(p.bytes, static_cast<std::size_t>(offset), "head");
  const std::uint32_t unitsPerEm = head ? Be16(p.bytes, head + 18) : 0;
  if (unitsPerEm < 16 || unitsPerEm > 16384) return nullptr;
  p.unitsToEm = 1.0 / unitsPerEm;
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&p.info, &ascent, &descent, &gap);
  double winAscent = ascent, winDescent = -descent, leading = gap;
  // Windows measures with the OS/2 table's extents and the line gap left beyond them.
  if (const std::size_t os2 = FindTable(p.bytes, static_cast<std::size_t>(offset), "OS/2"); os2 && os2 + 78 <= p.bytes.size()) {
    winAscent = Be16(p.bytes, os2 + 74);
    winDescent = Be16(p.bytes, os2 + 76);
    leading = std::max(0.0, gap - ((winAscent + winDescent) - (ascent - descent)));
  }
  face->ascent_ = winAscent * p.unitsToEm;
  face->descent_ = winDescent * p.unitsToEm;
  face->leading_ = leading * p.unitsToEm;
  return face;
}

int FileFace::Glyph(char32_t ch) const {
  const int g = stbtt_FindGlyphIndex(&parsed_->info, static_cast<int>(ch));
  return g > 0 ? g : -1;
}

double FileFace::Advance(int glyph) const {
  if (glyph < 0) return 0;
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&parsed_->info, glyph, &advance, &bearing);
  return advance * parsed_->unitsToEm;
}

double FileFace::Kerning(int left, int right) const {
  if (left < 0 || right < 0) return 0;
  return stbtt_GetGlyphKernAdvance(&parsed_->info, left, right) * parsed_->unitsToEm;
}

const ShapeGeometry* FileFace::Outline(int glyph) const {
  if (glyph < 0) return nullptr;
  const std::lock_guard<std::mutex> hold(outlinesLock_);
  if (const auto it = outlines_.find(glyph); it != outlines_.end()) return it->second.get();
  stbtt_vertex* vertices = nullptr;
  const int n = stbtt_GetGlyphShape(&parsed_->info, glyph, &vertices);
  auto g = std::make_unique<ShapeGeometry>();
  g->fills.push_back(FillStyle{});
  g->fills.back().color = {255, 255, 255, 255};
  g->groups.emplace_back();
  Path path;
  path.fill1 = 1;
  const double k = kEmUnits * parsed_->unitsToEm;
  auto at = [k](double x, double y) { return Point{x * k, -y * k}; };
  Point pen;
  for (int i = 0; i < n; ++i) {
    const stbtt_vertex& v = vertices[i];
    const Point to = at(v.x, v.y);
    if (v.type == STBTT_vmove) {
      pen = to;
      continue;
    }
    Edge e;
    e.from = pen;
    e.to = to;
    if (v.type == STBTT_vcurve) {
      e.control = at(v.cx, v.cy);
      e.curve = true;
      path.edges.push_back(e);
    } else if (v.type == STBTT_vcubic) {
      // A cubic as two quadratics, one for each half.
      const Point c1 = at(v.cx, v.cy), c2 = at(v.cx1, v.cy1);
      auto mid = [](Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
      const Point ab = mid(pen, c1), bc = mid(c1, c2), cd = mid(c2, to), abc = mid(ab, bc), bcd = mid(bc, cd);
      const Point m = mid(abc, bcd);
      auto quad = [&](Point p0, Point q1, Point q2, Point p3) {
        Edge h;
        h.from = p0;
        h.to = p3;
        h.control = {(3 * (q1.x + q2.x) - p0.x - p3.x) / 4, (3 * (q1.y + q2.y) - p0.y - p3.y) / 4};
        h.curve = true;
        path.edges.push_back(h);
      };
      quad(pen, ab, abc, m);
      quad(m, bcd, cd, to);
    } else {
      e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
      path.edges.push_back(e);
    }
    pen = to;
  }
  stbtt_FreeShape(&parsed_->info, vertices);
  if (!path.edges.empty()) g->groups.back().paths.push_back(std::move(path));
  return outlines_.emplace(glyph, std::move(g)).first->second.get();
}

DeviceFonts::DeviceFonts() : DeviceFonts(SystemFolders()) {}
DeviceFonts::DeviceFonts(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {}
DeviceFonts::~DeviceFonts() = default;

std::shared_ptr<const DeviceFonts> DeviceFonts::System() {
  static const std::shared_ptr<const DeviceFonts> fonts = std::make_shared<DeviceFonts>();
  return fonts;
}

std::vector<std::filesystem::path> DeviceFonts::SystemFolders() {
#ifdef _WIN32
  const char* windir = std::getenv("WINDIR");
  return {std::filesystem::path(windir ? windir : "C:\\Windows") / "Fonts"};
#else
  std::vector<std::filesystem::path> out{"/usr/share/fonts", "/usr/local/share/fonts"};
  if (const char* home = std::getenv("HOME")) out.push_back(std::filesystem::path(home) / ".fonts");
  return out;
#endif
}

void DeviceFonts::AddFile(const std::string& family, const std::filesystem::path& file, bool bold, bool italic) {
  auto& slots = added_[Lower(family)];
  slots.resize(4);
  slots[static_cast<std::size_t>(Slot(bold, italic))] = file;
  resolved_.clear();
}

void DeviceFonts::SetGeneric(const std::string& generic, const std::string& family) {
  generic_[Lower(generic)] = family;
  resolved_.clear();
}

void DeviceFonts::Scan() const {
  if (scanned_) return;
  scanned_ = true;
  std::size_t seen = 0;
  for (const auto& folder : folders_) {
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator() && seen < kMaxFontFiles; it.increment(ec), ++seen) {
      const std::string ext = Lower(it->path().extension().string());
      if (ext != ".ttf" && ext != ".ttc" && ext != ".otf") continue;
      files_.emplace(Lower(it->path().filename().string()), it->path());
    }
  }
}

const Face* DeviceFonts::FromFiles(const std::vector<std::string>& fileNames) const {
  Scan();
  for (const std::string& name : fileNames) {
    const auto it = files_.find(Lower(name));
    if (it == files_.end()) continue;
    const std::string key = it->second.string();
    if (const auto done = loaded_.find(key); done != loaded_.end()) {
      if (done->second) return done->second.get();
      continue;
    }
    auto face = FileFace::Load(ReadFile(it->second));
    const Face* f = face.get();
    loaded_.emplace(key, std::move(face));
    if (f) return f;
  }
  return nullptr;
}

const Face* DeviceFonts::Load(const std::string& lowerName, bool bold, bool italic) const {
  const int slot = Slot(bold, italic);
  if (const auto it = added_.find(lowerName); it != added_.end()) {
    // The style asked for, else the regular face.
    for (const int s : {slot, 0, 1, 2, 3}) {
      const auto& path = it->second[static_cast<std::size_t>(s)];
      if (path.empty()) continue;
      const std::string key = path.string();
      auto done = loaded_.find(key);
      if (done == loaded_.end()) done = loaded_.emplace(key, FileFace::Load(ReadFile(path))).first;
      if (done->second) return done->second.get();
    }
  }
  if (const Mapping* m = MappingOf(lowerName)) {
    if (const Face* f = FromFiles(Split(m->files[slot]))) return f;
    return FromFiles(Split(m->files[0]));
  }
  // A face by its file name: "Noto Sans" as NotoSans-Regular.ttf and the like.
  std::string squashed;
  for (const char c : lowerName)
    if (c != ' ') squashed += c;
  static const char* kStyle[] = {"-regular", "-bold", "-italic", "-bolditalic"};
  std::vector<std::string> names{squashed + kStyle[slot] + ".ttf", squashed + kStyle[slot] + ".otf"};
  if (slot == 0) names.push_back(squashed + ".ttf");
  return FromFiles(names);
}

const Face* DeviceFonts::Find(std::string_view name, bool bold, bool italic) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  std::string lower = Lower(name);
  const std::string key = lower + (bold ? "|b" : "|") + (italic ? "i" : "");
  if (const auto it = resolved_.find(key); it != resolved_.end()) return it->second;
  const Face* face = nullptr;
  if (const auto g = generic_.find(lower); g != generic_.end()) face = Load(Lower(g->second), bold, italic);
  if (!face) face = Load(lower, bold, italic);
  if (!face && !lower.starts_with("_")) face = Find("_serif", bold, italic);
  resolved_[key] = face;
  return face;
}

const Face* DeviceFonts::Fallback(char32_t ch, bool bold, bool italic) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  for (const char* generic : {"_sans", "_serif", "_typewriter"})
    if (const auto g = generic_.find(generic); g != generic_.end())
      if (const Face* f = Find(g->second, bold, italic); f && f->Glyph(ch) >= 0) return f;
  for (const auto& [family, slots] : added_)
    if (const Face* f = Find(family, bold, italic); f && f->Glyph(ch) >= 0) return f;
  for (const Mapping* m : {&kCjk, &kSans, &kSerif, &kMono})
    if (const Face* f = FromFiles(Split(m->files[Slot(bold, italic)])); f && f->Glyph(ch) >= 0) return f;
  return nullptr;
}

}  // namespace quillon::player::text
