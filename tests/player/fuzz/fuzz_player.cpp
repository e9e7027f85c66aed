// libFuzzer target: any bytes through the whole reader, a few frames of playback with the
// script machine, and drawing at both qualities. Built and run by scripts/fuzz-player.sh
// (clang), not by the test suite.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/movie.h"
#include "display/player.h"
#include "render/raster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon::player;
  const LoadResult loaded = LoadMovie(std::span<const std::uint8_t>(data, size));
  if (!loaded.movie) return 0;
  Player player(loaded.movie);
  // Scripts get a short leash here, so a looping script costs the fuzzer little time.
  player.machine().scriptSeconds = 0.05;
  player.machine().frameSeconds = 0.1;
  // A small canvas keeps each input fast; the stage is scaled into it.
  const double w = std::max(1, loaded.movie->StageWidth()), h = std::max(1, loaded.movie->StageHeight());
  const double scale = std::min(48 / w, 48 / h);
  Canvas canvas(48, 48, {});
  for (int i = 0; i < 3; ++i) {
    player.Tick();
    player.Render(canvas, i == 1 ? Quality::High : Quality::Low, scale);
  }
  return 0;
}
