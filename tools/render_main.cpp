// quillon-render: plays a movie for N frames, writes the frame as PNG and optionally compares
// it with a reference image. A development tool, never shipped inside outputs.
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "avm1/classes/date.h"
#include "avm1/classes/string.h"
#include "swf/movie.h"
#include "display/player.h"
#include "display/sound_stage.h"
#include "sound/wav.h"
#include "render/raster.h"
#include "display/stage_frame.h"
#include "render/stage_view.h"
#include "text/device_fonts.h"

extern "C" {
unsigned char* stbi_load_from_memory(const unsigned char* buffer, int len, int* x, int* y, int* comp, int req);
void stbi_image_free(void* p);
int stbi_write_png(const char* filename, int w, int h, int comp, const void* data, int stride_in_bytes);
}

namespace {

using namespace quillon::player;

int Usage() {
  std::fprintf(stderr,
               "usage: quillon-render MOVIE.swf [--frames N] [--quality low|high] [--out OUT.png]\n"
               "                      [--expected REF.png [--tolerance T] [--max-outliers M]] [--bench K] [--show N]\n"
               "                      [--size WxH] [--threads N]\n"
               "       quillon-render MOVIE.swf --trace [--frames N] [--input INPUT.json] [--clock MS]\n"
               "       (either form) [--store DIR] [--font FAMILY=FILE]... [--generic-font _sans=FAMILY]...\n"
               "       (either form) [--audio OUT.wav]\n"
               "--font gives the device fonts (and only those) by file; --generic-font says which\n"
               "of them stands for _sans, _serif or _typewriter.\n"
               "--trace runs the frames without drawing and prints each traced line; --clock fixes\n"
               "the date scripts see (milliseconds since 1970) for repeatable runs. The movie's\n"
               "shared objects are saved under --store (by default a temporary folder, removed at\n"
               "the end); relative addresses it loads resolve beside the movie. --size draws the\n"
               "stage scaled to fit a view of that many pixels and centred between black bars, as the\n"
               "player does full screen. --threads draws with that many threads (0, the default,\n"
               "one a core); the image is the same with any number.\n"
               "--audio writes the sound of the frames run (44.1 kHz, 16-bit, stereo).\n"
               "Exit status: 0 rendered (and matched), 1 mismatch, 2 error.\n");
  return 2;
}

// The default store: a fresh folder that goes when the run ends.
struct TempStore {
  std::filesystem::path path;
  ~TempStore() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A JSON value, enough for input files.
struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> fields;
  const Json* Field(const std::string& name) const {
    for (const auto& [k, v] : fields)
      if (k == name) return &v;
    return nullptr;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s_(text) {}
  bool Read(Json& out) {
    if (!Value(out, 0)) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  void Space() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }
  static void Utf8(std::string& out, unsigned long c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  bool String(std::string& out) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      c = s_[i_++];
      switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (i_ + 4 > s_.size()) return false;
          unsigned long code = std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16);
          i_ += 4;
          if (code >= 0xD800 && code < 0xDC00 && s_.compare(i_, 2, "\\u") == 0 && i_ + 6 <= s_.size()) {
            const unsigned long low = std::strtoul(s_.substr(i_ + 2, 4).c_str(), nullptr, 16);
            i_ += 6;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          Utf8(out, code);
          break;
        }
        default: out += c;
      }
    }
    if (i_ >= s_.size()) return false;
    ++i_;
    return true;
  }
  bool Value(Json& out, int depth) {
    if (depth > 64) return false;
    Space();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      out.kind = Json::Object;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
      while (true) {
        Space();
        std::string key;
        if (!String(key)) return false;
        Space();
        if (i_ >= s_.size() || s_[i_] != ':') return false;
        ++i_;
        Json v;
        if (!Value(v, depth + 1)) return false;
        out.fields.emplace_back(std::move(key), std::move(v));
        Space();
        if (i_ < s_.size() && s_[i_] == ',') {
          ++i_;
          continue;
        }
        if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
        return false;
      }
    }
    if (c == '[') {
      out.kind = Json::Array;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
      while (true) {
        Json v;
        if (!Value(v, depth + 1)) return false;
        out.items.push_back(std::move(v));
        Space();
        if (i_ < s_.size() && s_[i_] == ',') {
          ++i_;
          continue;
        }
        if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
        return false;
      }
    }
    if (c == '"') {
      out.kind = Json::String;
      return String(out.text);
    }
    if (Literal("true")) return out.kind = Json::Bool, out.number = 1, true;
    if (Literal("false")) return out.kind = Json::Bool, true;
    if (Literal("null")) return true;
    char* end = nullptr;
    out.kind = Json::Number;
    out.number = std::strtod(s_.c_str() + i_, &end);
    if (end == s_.c_str() + i_) return false;
    i_ = static_cast<std::size_t>(end - s_.c_str());
    return true;
  }
  const std::string& s_;
  std::size_t i_ = 0;
};

// The key code and the character of a key as input files name it.
std::pair<int, int> KeyOf(const Json& key) {
  if (const Json* ch = key.Field("Char"); ch && !ch->text.empty()) {
    const unsigned char c = static_cast<unsigned char>(ch->text[0]);
    if (std::isalpha(c)) return {std::toupper(c), c};
    if (std::isdigit(c)) return {c, c};
    static const std::pair<char, int> kPunctuation[] = {{';', 186}, {'=', 187}, {',', 188}, {'-', 189}, {'.', 190},
                                                         {'/', 191}, {'`', 192}, {'[', 219}, {'\\', 220}, {']', 221},
                                                         {'\'', 222}, {' ', 32}};
    for (const auto& [p, code] : kPunctuation)
      if (p == static_cast<char>(c)) return {code, c};
    return {0, c < 128 ? c : 0};
  }
  static const std::pair<const char*, std::pair<int, int>> kNamed[] = {
      {"Tab", {9, 9}}, {"Enter", {13, 13}}, {"Escape", {27, 27}}, {"Space", {32, 32}}, {"Backspace", {8, 8}},
      {"Delete", {46, 127}}, {"ArrowLeft", {37, 0}}, {"ArrowUp", {38, 0}}, {"ArrowRight", {39, 0}},
      {"ArrowDown", {40, 0}}, {"Left", {37, 0}}, {"Up", {38, 0}}, {"Right", {39, 0}}, {"Down", {40, 0}},
      {"Home", {36, 0}}, {"End", {35, 0}}, {"PageUp", {33, 0}}, {"PageDown", {34, 0}}, {"Insert", {45, 0}},
      {"CapsLock", {20, 0}}, {"Shift", {16, 0}}, {"LeftShift", {16, 0}}, {"RightShift", {16, 0}},
      {"Control", {17, 0}}, {"LeftControl", {17, 0}}, {"RightControl", {17, 0}}, {"Alt", {18, 0}},
      {"LeftAlt", {18, 0}}, {"RightAlt", {18, 0}}};
  for (const auto& [name, codes] : kNamed)
    if (key.text == name) return codes;
  // The keypad's digits have codes of their own and type their digit.
  if (const Json* pad = key.Field("Numpad"); pad && pad->text.size() == 1 && std::isdigit(static_cast<unsigned char>(pad->text[0])))
    return {96 + (pad->text[0] - '0'), pad->text[0]};
  return {0, 0};
}

int ButtonOf(const Json& e) {
  const Json* b = e.Field("btn");
  if (!b) return 1;
  if (b->text == "Right") return 2;
  if (b->text == "Middle") return 4;
  return 1;
}

// Delivers input events from `next` up to the next Wait; returns where the following batch starts.
std::size_t Deliver(Player& player, const Json& events, std::size_t next) {
  for (; next < events.items.size(); ++next) {
    const Json& e = events.items[next];
    const Json* type = e.Field("type");
    if (!type) continue;
    const std::string& t = type->text;
    if (t == "Wait") return next + 1;
    const Json* pos = e.Field("pos");
    const bool hasPos = pos && pos->items.size() == 2;
    if (hasPos && (t == "MouseMove" || t == "MouseDown" || t == "MouseUp")) {
      const Point at = player.MousePosition();
      if (t == "MouseMove" || at.x != std::round(pos->items[0].number * 20) || at.y != std::round(pos->items[1].number * 20))
        player.MouseMove(pos->items[0].number, pos->items[1].number);
    }
    if (t == "MouseDown") player.MouseDown(ButtonOf(e));
    else if (t == "MouseUp") player.MouseUp(ButtonOf(e));
    else if (t == "MouseWheel") {
      const Json* d = e.Field("delta");
      const Json* lines = d ? d->Field("Lines") : nullptr;
      player.MouseWheel(static_cast<int>(lines ? lines->number : d ? d->number : 0));
    } else if (t == "KeyDown" || t == "KeyUp") {
      const Json* key = e.Field("key");
      if (!key) continue;
      const auto [code, ascii] = KeyOf(*key);
      if (t == "KeyDown") player.KeyDown(code, ascii);
      else player.KeyUp(code, ascii);
    } else if (t == "TextControl") {
      const Json* code = e.Field("code");
      if (!code) continue;
      static const std::pair<const char*, int> kControls[] = {
          {"Enter", 13}, {"Backspace", 8}, {"Delete", 46}, {"MoveLeft", 37}, {"MoveRight", 39},
          {"MoveUp", 38}, {"MoveDown", 40}, {"MoveLeftLine", 36}, {"MoveRightLine", 35}, {"SelectAll", 65}};
      for (const auto& [name, value] : kControls)
        if (code->text == name) player.TextControl(value);
    } else if (t == "FocusLost" || t == "FocusGained") {
      player.WindowFocus(t == "FocusGained");
    } else if (t == "ImePreedit" || t == "ImeCommit") {
      const Json* text = e.Field("text");
      const std::u16string units = text ? avm1::strings::Utf8ToUtf16(text->text) : std::u16string();
      if (t == "ImePreedit") player.ImePreedit(units);
      else player.ImeCommit(units);
    } else if (t == "TextInput") {
      const Json* cp = e.Field("codepoint");
      if (cp && !cp->text.empty()) {
        // The first character, from its UTF-8 bytes.
        const std::string& u = cp->text;
        const auto b = static_cast<unsigned char>(u[0]);
        const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        char32_t ch = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
        for (std::size_t k = 1; k < n && k < u.size(); ++k) ch = (ch << 6) | (static_cast<unsigned char>(u[k]) & 0x3Fu);
        player.TextInput(ch);
      }
    }
  }
  return next;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string moviePath = argv[1], out, expected;
  long frames = 1, tolerance = 0, maxOutliers = 0, bench = 0, show = 0, viewW = 0, viewH = 0, threads = 0;
  bool trace = false;
  std::string input, store, audio;
  std::vector<std::pair<std::string, std::string>> fontFiles, genericFonts;
  Quality quality = Quality::High;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--frames" && hasValue) frames = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--quality" && hasValue) quality = std::string(argv[++i]) == "low" ? Quality::Low : Quality::High;
    else if (arg == "--out" && hasValue) out = argv[++i];
    else if (arg == "--expected" && hasValue) expected = argv[++i];
    else if (arg == "--tolerance" && hasValue) tolerance = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--max-outliers" && hasValue) maxOutliers = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--show" && hasValue) show = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--bench" && hasValue) bench = std::strtol(argv[++i], nullptr, 10);
    else if (arg == "--threads" && hasValue) {
      threads = std::strtol(argv[++i], nullptr, 10);
      if (threads < 0 || threads > 64) return Usage();
    }
    else if (arg == "--size" && hasValue) {
      char* end = nullptr;
      viewW = std::strtol(argv[++i], &end, 10);
      viewH = end && *end == 'x' ? std::strtol(end + 1, nullptr, 10) : 0;
      if (viewW <= 0 || viewH <= 0) return Usage();
    }
    else if (arg == "--trace") trace = true;
    else if (arg == "--clock" && hasValue) {
      const double ms = std::strtod(argv[++i], nullptr);
      avm1::SetWallClock([ms] { return ms; });
    }
    else if (arg == "--store" && hasValue) store = argv[++i];
    else if (arg == "--input" && hasValue) input = argv[++i];
    else if (arg == "--audio" && hasValue) audio = argv[++i];
    else if ((arg == "--font" || arg == "--generic-font") && hasValue) {
      const std::string v = argv[++i];
      const auto eq = v.find('=');
      if (eq == std::string::npos) return Usage();
      (arg == "--font" ? fontFiles : genericFonts).emplace_back(v.substr(0, eq), v.substr(eq + 1));
    }
    else return Usage();
  }
  const auto bytes = ReadAll(moviePath);
  const LoadResult loaded = LoadMovie(bytes);
  if (!loaded.movie) {
    std::fprintf(stderr, "%s: not a playable SWF movie\n", moviePath.c_str());
    return 2;
  }
  if (loaded.error == LoadError::NeedsActionScript3) std::fprintf(stderr, "note: the movie needs ActionScript 3\n");
  TempStore tempStore;
  if (store.empty()) {
    std::error_code ec;
    tempStore.path = std::filesystem::temp_directory_path(ec) /
                     ("quillon-render-store-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(tempStore.path, ec);
    store = tempStore.path.string();
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(moviePath, ec);
  Player player(loaded.movie);
  if (!fontFiles.empty() || !genericFonts.empty()) {
    auto fonts = std::make_shared<text::DeviceFonts>(fontFiles.empty() ? text::DeviceFonts::SystemFolders()
                                                                        : std::vector<std::filesystem::path>{});
    for (const auto& [family, file] : fontFiles) fonts->AddFile(family, file);
    for (const auto& [generic, family] : genericFonts) fonts->SetGeneric(generic, family);
    player.SetDeviceFonts(std::move(fonts));
  }
  player.SetDataPaths(absolute.parent_path(), store, absolute.string());
  Json events;
  if (!input.empty()) {
    const auto text = ReadAll(input);
    if (!JsonReader(std::string(text.begin(), text.end())).Read(events) || events.kind != Json::Array) {
      std::fprintf(stderr, "%s: not a list of input events\n", input.c_str());
      return 2;
    }
  }
  std::size_t nextEvent = 0;
  std::vector<std::int16_t> sound;
  player.sound().KeepAudio(!audio.empty());
  auto tick = [&] {
    player.Tick();
    if (!audio.empty()) {
      const auto mixed = player.sound().TakeAudio();
      sound.insert(sound.end(), mixed.begin(), mixed.end());
    }
    nextEvent = Deliver(player, events, nextEvent);
  };
  auto writeAudio = [&] {
    if (audio.empty()) return true;
    const auto wav = sound::WavBytes(sound);
    std::ofstream file(audio, std::ios::binary);
    file.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    if (file) return true;
    std::fprintf(stderr, "cannot write %s\n", audio.c_str());
    return false;
  };
  if (trace) {
    player.onTrace = [](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    };
    for (long f = 0; f < frames; ++f) tick();
    return writeAudio() ? 0 : 2;
  }
  const int stageW = loaded.movie->StageWidth(), stageH = loaded.movie->StageHeight();
  if (stageW <= 0 || stageH <= 0 || stageW > 8192 || stageH > 8192 || viewW > 8192 || viewH > 8192) {
    std::fprintf(stderr, "unusable stage size %d x %d\n", stageW, stageH);
    return 2;
  }
  const int w = viewW ? static_cast<int>(viewW) : stageW, h = viewH ? static_cast<int>(viewH) : stageH;
  player.SetDrawThreads(static_cast<int>(threads));
  Canvas canvas(w, h, loaded.movie->background);
  StageFrame frame;
  // At the stage's own size the frame is the stage; a view of another size shows it scaled.
  auto draw = [&] {
    if (viewW) frame.Render(player, canvas, quality);
    else player.Render(canvas, quality);
  };
  for (long f = 0; f < frames; ++f) tick();
  if (!writeAudio()) return 2;
  draw();
  if (bench > 0) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (long i = 0; i < bench; ++i) {
      player.Tick();
      draw();
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%ld frames of %d x %d in %.3f s: %.1f frames per second (%.2f ms of processor time a frame)\n", bench,
                w, h, secs, static_cast<double>(bench) / secs, cpu * 1000 / static_cast<double>(bench));
  }
  if (!out.empty() && !stbi_write_png(out.c_str(), w, h, 4, canvas.pixels.data(), w * 4)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 2;
  }
  if (expected.empty()) return 0;
  const auto ref = ReadAll(expected);
  int rw = 0, rh = 0, n = 0;
  unsigned char* px = stbi_load_from_memory(ref.data(), static_cast<int>(ref.size()), &rw, &rh, &n, 4);
  if (!px) {
    std::fprintf(stderr, "cannot read %s\n", expected.c_str());
    return 2;
  }
  if (rw != w || rh != h) {
    std::printf("FAIL size %d x %d, expected %d x %d\n", w, h, rw, rh);
    stbi_image_free(px);
    return 1;
  }
  long outliers = 0, worst = 0;
  for (std::size_t i = 0; i < canvas.pixels.size(); ++i) {
    const Rgba c = canvas.pixels[i];
    const unsigned char* e = px + 4 * i;
    long d = 0;
    for (const auto& [mine, theirs] : {std::pair<int, int>{c.r, e[0]}, {c.g, e[1]}, {c.b, e[2]}, {c.a, e[3]}})
      d = std::max(d, static_cast<long>(std::abs(mine - theirs)));
    worst = std::max(worst, d);
    if (d > tolerance && outliers++ < show)
      std::printf("  (%zu, %zu): %d %d %d %d, expected %d %d %d %d\n", i % static_cast<std::size_t>(w),
                  i / static_cast<std::size_t>(w), c.r, c.g, c.b, c.a, e[0], e[1], e[2], e[3]);
  }
  stbi_image_free(px);
  const bool pass = outliers <= maxOutliers;
  std::printf("%s outliers %ld (allowed %ld, tolerance %ld, largest difference %ld)\n", pass ? "PASS" : "FAIL",
              outliers, maxOutliers, tolerance, worst);
  return pass ? 0 : 1;
}
