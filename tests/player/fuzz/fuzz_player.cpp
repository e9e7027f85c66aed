// libFuzzer target: any bytes through the whole reader, a few frames of playback with the
// script machine, and drawing at both qualities; the same bytes through the XML reader and the
// AMF0 and .sol readers. Built and run by scripts/fuzz-player.sh (clang), not by the test suite.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/classes/data_classes.h"
#include "avm1/xml_parse.h"
#include "data/amf0.h"
#include "swf/movie.h"
#include "display/player.h"
#include "render/raster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon::player;
  // A document the XML reader accepts prints as text that reads back to the same print.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)avm1::xml::Parse(text, true);
  if (const avm1::xml::Document doc = avm1::xml::Parse(text, false); doc.status == avm1::xml::kOk) {
    const std::string printed = avm1::xml::Print(doc);
    if (avm1::xml::Print(avm1::xml::Parse(printed, false)) != printed) __builtin_trap();
  }
  // Saved data: one machine for all inputs, emptied after each. What reads back writes again.
  {
    struct NoHost : avm1::Host {
      avm1::Clip* Root() override { return nullptr; }
      avm1::Clip* Level(int) override { return nullptr; }
      double Milliseconds() override { return 0; }
      void GetUrl(const std::string&, const std::string&, int) override {}
      void TraceRoots(std::vector<avm1::Object*>&) override {}
    };
    static NoHost host;
    static avm1::Machine vm(host, 10);
    const std::span<const std::uint8_t> bytes(data, size);
    avm1::Value value;
    if (quillon::player::data::ReadAmf0(vm, bytes, value)) (void)quillon::player::data::WriteAmf0(vm, value);
    if (avm1::Object* saved = quillon::player::data::ReadSol(vm, bytes)) (void)quillon::player::data::WriteSol(vm, "fuzz", saved);
    vm.Collect();
  }
  const LoadResult loaded = LoadMovie(std::span<const std::uint8_t>(data, size));
  if (!loaded.movie) return 0;
  Player player(loaded.movie);
  // Loads stay local: no fetcher, so a movie's web address never leaves the machine.
  avm1::SetLoader(player.machine(), std::make_shared<quillon::player::data::Loader>("/nonexistent", nullptr));
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
