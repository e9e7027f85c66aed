// quillon-render: plays a movie for N frames, writes the frame as PNG and optionally compares
// it with a reference image. A development tool, never shipped inside outputs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "avm1/classes/date.h"
#include "swf/movie.h"
#include "display/player.h"
#include "render/raster.h"

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
               "       quillon-render MOVIE.swf --trace [--frames N] [--input INPUT.json] [--clock MS]\n"
               "       (either form) [--store DIR]\n"
               "--trace runs the frames without drawing and prints each traced line; --clock fixes\n"
               "the date scripts see (milliseconds since 1970) for repeatable runs. The movie's\n"
               "shared objects are saved under --store (by default a temporary folder, removed at\n"
               "the end); relative addresses it loads resolve beside the movie.\n"
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string moviePath = argv[1], out, expected;
  long frames = 1, tolerance = 0, maxOutliers = 0, bench = 0, show = 0;
  bool trace = false;
  std::string input, store;
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
    else if (arg == "--trace") trace = true;
    else if (arg == "--clock" && hasValue) {
      const double ms = std::strtod(argv[++i], nullptr);
      avm1::SetWallClock([ms] { return ms; });
    }
    else if (arg == "--store" && hasValue) store = argv[++i];
    else if (arg == "--input" && hasValue) input = argv[++i];  // mouse and keyboard: not delivered yet
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
  player.SetDataPaths(absolute.parent_path(), store, absolute.string());
  if (trace) {
    player.onTrace = [](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    };
    for (long f = 0; f < frames; ++f) player.Tick();
    return 0;
  }
  const int w = loaded.movie->StageWidth(), h = loaded.movie->StageHeight();
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
    std::fprintf(stderr, "unusable stage size %d x %d\n", w, h);
    return 2;
  }
  Canvas canvas(w, h, loaded.movie->background);
  for (long f = 0; f < frames; ++f) player.Tick();
  player.Render(canvas, quality);
  if (bench > 0) {
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < bench; ++i) {
      player.Tick();
      player.Render(canvas, quality);
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld frames of %d x %d in %.3f s: %.1f frames per second\n", bench, w, h, secs, static_cast<double>(bench) / secs);
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
