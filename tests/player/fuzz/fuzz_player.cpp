// libFuzzer target: any bytes through the whole reader, a few frames of playback with the
// script machine, and drawing at both qualities; the same bytes through the XML reader, the
// AMF0 and .sol readers, and the sound decoders and mixer. Built and run by scripts/fuzz-player.sh (clang), not by the test suite.
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
#include "sound/decoder.h"
#include "sound/mixer.h"
#include "sound/tags.h"
#include "swf/bytes.h"

namespace {

// The bytes as coded sound: the first is a sound tag's format byte, the next two a sample count
// and the size of stream blocks, the rest the coded samples; decoded whole as an event sound,
// in blocks as a stream, and mixed with playing instructions read from the same bytes.
void DecodeAndMix(std::span<const std::uint8_t> data) {
  using namespace quillon::player;
  if (data.size() < 3) return;
  const std::uint8_t headBytes[] = {data[0], data[0], data[1], 0};
  Reader headReader{std::span<const std::uint8_t>(headBytes)};
  const sound::StreamHead head = sound::ReadStreamHead(headReader);
  const auto coded = data.subspan(3);
  auto pcm = std::make_shared<sound::Pcm>(sound::DecodeSound(head.format, data[1] * 64u + data[2], coded));
  sound::StreamBuilder stream;
  stream.Head(head);
  const std::size_t block = data[2] + 1u;
  std::size_t frames = 0;
  for (std::size_t at = 0; at < coded.size(); at += block, ++frames)
    stream.Block(frames, coded.subspan(at, std::min(block, coded.size() - at)));
  const auto decoded = stream.Finish(frames);
  sound::Mixer mixer;
  Reader infoReader(coded);
  sound::Voice voice;
  voice.pcm = pcm;
  voice.info = sound::ReadSoundInfo(infoReader);
  mixer.Play(voice);
  if (decoded) {
    sound::Voice streamed;
    streamed.pcm = std::shared_ptr<const sound::Pcm>(decoded, &decoded->pcm);
    mixer.Play(streamed);
  }
  std::vector<std::int16_t> out(4096 * 2, 0);
  mixer.Mix(out);
}

}  // namespace

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
  DecodeAndMix(std::span<const std::uint8_t>(data, size));
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
