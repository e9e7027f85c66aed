// Runs the real quillon-render on a movie a test wrote and reads back the WAV file it writes
// with --audio, header fields and samples as they are in the file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "swf_writer.h"

namespace quillon::player::test {

struct WavFile {
  bool riff = false;  // RIFF/WAVE with fmt and data chunks where they belong
  int format = 0, channels = 0, bits = 0, blockAlign = 0;
  std::uint32_t rate = 0, byteRate = 0, dataBytes = 0;
  std::vector<std::int16_t> samples;  // interleaved
  std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

inline WavFile ReadWav(const Bytes& b) {
  WavFile w;
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(b[at] | b[at + 1] << 8); };
  auto u32 = [&](std::size_t at) { return static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16); };
  auto is = [&](std::size_t at, const char* text) { return std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + 4)) == text; };
  if (b.size() < 44 || !is(0, "RIFF") || !is(8, "WAVE") || !is(12, "fmt ") || !is(36, "data")) return w;
  w.riff = u32(4) == b.size() - 8;
  w.format = static_cast<int>(u16(20));
  w.channels = static_cast<int>(u16(22));
  w.rate = u32(24);
  w.byteRate = u32(28);
  w.blockAlign = static_cast<int>(u16(32));
  w.bits = static_cast<int>(u16(34));
  w.dataBytes = u32(40);
  for (std::size_t at = 44; at + 1 < b.size(); at += 2) w.samples.push_back(static_cast<std::int16_t>(u16(at)));
  return w;
}

// `frames` frames of `movie` through quillon-render --audio; exit status in `status`.
inline WavFile RenderAudio(const Bytes& movie, long frames, const std::string& name, int* status = nullptr) {
  const auto dir = std::filesystem::temp_directory_path() / ("quillon-audio-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto swf = dir / (name + ".swf"), wav = dir / (name + ".wav");
  {
    std::ofstream out(swf, std::ios::binary);
    out.write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  }
  const std::string prefix = QUILLON_RUN_PREFIX;
  const std::string command = (prefix.empty() ? "" : "'" + prefix + "' ") + "'" QUILLON_RENDER_EXE "' '" +
                              swf.string() + "' --frames " + std::to_string(frames) + " --audio '" + wav.string() + "'";
  const int rc = std::system(command.c_str());
  if (status) *status = rc;
  std::ifstream in(wav, std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return ReadWav(bytes);
}

}  // namespace quillon::player::test
