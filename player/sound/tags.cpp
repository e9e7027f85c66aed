#include "sound/tags.h"

#include <algorithm>

#include "sound/decoder.h"
#include "swf/bytes.h"

namespace quillon::player::sound {
namespace {

Format ReadFormat(std::uint8_t bits) {
  Format f;
  f.codec = static_cast<Codec>(bits >> 4);
  f.rate = RateOfField(bits >> 2 & 3);
  f.sixteenBit = bits & 2;
  f.stereo = bits & 1;
  // Nellymoser's own rates are named by its codes, whatever the rate field says.
  if (f.codec == Codec::Nelly16k) f.rate = 16000;
  if (f.codec == Codec::Nelly8k) f.rate = 8000;
  return f;
}

// Streams longer than this many sample frames (about 25 minutes at 44.1 kHz) are cut.
constexpr std::size_t kMaxStreamFrames = 64u << 20;

}  // namespace

std::shared_ptr<const SoundDef> ReadDefineSound(Reader& r) {
  auto def = std::make_shared<SoundDef>();
  def->format = ReadFormat(r.u8());
  def->sampleCount = r.u32();
  if (r.failed()) return nullptr;
  def->pcm = DecodeSound(def->format, def->sampleCount, r.rest());
  return def;
}

SoundInfo ReadSoundInfo(Reader& r) {
  SoundInfo info;
  const std::uint8_t flags = r.u8();
  info.stop = flags & 0x20;
  info.noMultiple = flags & 0x10;
  if (flags & 0x01) info.inPoint = r.u32();
  if (flags & 0x02) info.outPoint = r.u32();
  if (flags & 0x04) info.loops = r.u16();
  if (flags & 0x08) {
    const std::size_t count = r.u8();
    for (std::size_t i = 0; i < count && !r.failed(); ++i) {
      EnvelopePoint p;
      p.at = r.u32();
      p.left = r.u16();
      p.right = r.u16();
      if (!r.failed()) info.envelope.push_back(p);
    }
  }
  return info;
}

StartSound ReadStartSound(Reader& r) {
  StartSound s;
  s.soundId = r.u16();
  s.info = ReadSoundInfo(r);
  return s;
}

ButtonSounds ReadButtonSounds(Reader& r) {
  ButtonSounds b;
  for (auto& slot : b.sounds) {
    const std::uint16_t id = r.u16();
    if (r.failed()) break;
    if (id == 0) continue;
    StartSound s;
    s.soundId = id;
    s.info = ReadSoundInfo(r);
    if (r.failed()) break;
    slot = s;
  }
  return b;
}

StreamHead ReadStreamHead(Reader& r) {
  r.u8();  // the playback format the author asked for; the stream's own follows
  StreamHead head;
  head.format = ReadFormat(r.u8());
  head.blockFrames = r.u16();
  return head;
}

void StreamBuilder::Block(std::size_t frame, std::span<const std::uint8_t> bytes) {
  if (!head_ || (!blocks_.empty() && blocks_.back().first == frame)) return;
  blocks_.emplace_back(frame, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::shared_ptr<const Stream> StreamBuilder::Finish(std::size_t frameCount) {
  if (!head_ || blocks_.empty()) return nullptr;
  const Format& format = head_->format;
  auto stream = std::make_shared<Stream>();
  stream->format = format;
  stream->frameStart.assign(frameCount, Stream::kNoBlock);
  auto decoder = MakeDecoder(format);
  const auto channels = static_cast<std::size_t>(decoder->channels());
  const bool mp3 = format.codec == Codec::Mp3;
  std::size_t declared = 0;  // MP3: the sample frames the blocks say they hold
  std::vector<std::size_t> declaredStart(frameCount, Stream::kNoBlock);
  for (const auto& [frame, bytes] : blocks_) {
    std::span<const std::uint8_t> data(bytes);
    const std::size_t before = stream->pcm.samples.size() / channels;
    if (frame < frameCount) stream->frameStart[frame] = before, declaredStart[frame] = declared;
    if (before >= kMaxStreamFrames) continue;
    if (mp3) {
      // MP3 blocks open with their sample count and seek samples.
      if (data.size() >= 2) declared += static_cast<std::size_t>(data[0] | data[1] << 8);
      data = data.size() >= 4 ? data.subspan(4) : data.subspan(data.size());
    }
    decoder->Decode(data, stream->pcm.samples);
    // Codecs that decode to nothing still take the block's time.
    if (!mp3 && stream->pcm.samples.size() / channels == before)
      stream->pcm.samples.resize((before + head_->blockFrames) * channels, 0);
  }
  if (mp3 && stream->pcm.samples.empty()) {
    // No MP3 decoder: silence as long as the blocks say.
    stream->frameStart = std::move(declaredStart);
    stream->pcm.samples.assign(std::min(declared, kMaxStreamFrames) * channels, 0);
  }
  stream->pcm.rate = decoder->rate();
  stream->pcm.channels = decoder->channels();
  stream->pcm.samples.resize(stream->pcm.samples.size() / channels * channels);
  return stream;
}

}  // namespace quillon::player::sound
