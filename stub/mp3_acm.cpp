#include "mp3_acm.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <optional>
#include <type_traits>
#include <vector>

namespace quillon::stub {
namespace {

namespace snd = player::sound;

struct StreamCloser {
  void operator()(HACMSTREAM s) const { acmStreamClose(s, 0); }
};
using Stream = std::unique_ptr<std::remove_pointer_t<HACMSTREAM>, StreamCloser>;

// A conversion header, prepared for one pass over the buffers it points at.
class PreparedHeader {
 public:
  PreparedHeader(HACMSTREAM stream, std::vector<BYTE>& in, std::size_t inBytes, std::vector<BYTE>& out)
      : stream_(stream) {
    header_.cbStruct = sizeof header_;
    header_.pbSrc = in.data();
    header_.cbSrcLength = static_cast<DWORD>(inBytes);
    header_.pbDst = out.data();
    header_.cbDstLength = static_cast<DWORD>(out.size());
    prepared_ = acmStreamPrepareHeader(stream_, &header_, 0) == MMSYSERR_NOERROR;
  }
  ~PreparedHeader() {
    if (prepared_) acmStreamUnprepareHeader(stream_, &header_, 0);
  }
  PreparedHeader(const PreparedHeader&) = delete;
  PreparedHeader& operator=(const PreparedHeader&) = delete;
  bool prepared() const { return prepared_; }
  ACMSTREAMHEADER& get() { return header_; }

 private:
  HACMSTREAM stream_;
  ACMSTREAMHEADER header_{};
  bool prepared_ = false;
};

// What an MP3 frame header says.
struct FrameFacts {
  int rate = 0, channels = 0, bitrate = 0;  // bitrate in kbit/s
  int samples = 0;                          // per frame
};

std::optional<FrameFacts> ReadFrameHeader(const BYTE* h) {
  static constexpr int kRate1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr int kRate2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr int kHz[] = {44100, 48000, 32000};
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || (h[1] >> 1 & 3) != 1) return std::nullopt;  // layer III
  const int version = h[1] >> 3 & 3, bitrate = h[2] >> 4, rate = h[2] >> 2 & 3;
  if (version == 1 || bitrate == 0 || bitrate == 15 || rate == 3) return std::nullopt;
  FrameFacts f;
  const bool one = version == 3;
  f.rate = kHz[rate] >> (one ? 0 : version == 2 ? 1 : 2);
  f.bitrate = (one ? kRate1 : kRate2)[bitrate];
  f.channels = (h[3] >> 6) == 3 ? 1 : 2;
  f.samples = one ? 1152 : 576;
  return f;
}

class AcmMp3Decoder : public snd::Decoder {
 public:
  explicit AcmMp3Decoder(const snd::Format& f) : format_(f), rate_(f.rate) {}

  void Decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) override {
    if (failed_) return;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (!stream_ && !Open()) return;
    for (int guard = 0; guard < 1 << 20 && !pending_.empty(); ++guard) {
      const std::size_t n = std::min(pending_.size(), kChunk);
      std::copy_n(pending_.begin(), n, in_.begin());
      PreparedHeader header(stream_.get(), in_, n, out_);
      if (!header.prepared()) {
        failed_ = true;
        return;
      }
      const DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (started_ ? 0 : ACM_STREAMCONVERTF_START);
      if (acmStreamConvert(stream_.get(), &header.get(), flags) != MMSYSERR_NOERROR) {
        failed_ = true;
        return;
      }
      started_ = true;
      const std::size_t used = std::min<std::size_t>(header.get().cbSrcLengthUsed, n);
      const std::size_t made = std::min<std::size_t>(header.get().cbDstLengthUsed, out_.size());
      Append(made / 2, out);
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
      // The codec keeps what does not make a whole frame for the next piece.
      if (used == 0 && made == 0) break;
    }
  }
  int rate() const override { return rate_; }
  int channels() const override { return format_.channels(); }

 private:
  static constexpr std::size_t kChunk = 4096;

  bool Open() {
    std::optional<FrameFacts> facts;
    for (std::size_t at = 0; at + 4 <= pending_.size() && !facts; ++at) {
      facts = ReadFrameHeader(&pending_[at]);
      // Bytes before the first frame (a tag, damage) mean nothing to the codec.
      if (facts) pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    if (!facts) {
      // Keep the last bytes: a header may be cut between two pieces.
      if (pending_.size() > 3) pending_.erase(pending_.begin(), pending_.end() - 3);
      return false;
    }
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = static_cast<WORD>(facts->channels);
    mp3.wfx.nSamplesPerSec = static_cast<DWORD>(facts->rate);
    mp3.wfx.nAvgBytesPerSec = static_cast<DWORD>(facts->bitrate * 1000 / 8);
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.wBitsPerSample = 0;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    mp3.nBlockSize = static_cast<WORD>(facts->samples / 8 * facts->bitrate * 1000 / facts->rate);
    mp3.nFramesPerBlock = 1;
    mp3.nCodecDelay = 0;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(facts->channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(facts->rate);
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(2 * facts->channels);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0, 0) != MMSYSERR_NOERROR ||
        !stream) {
      failed_ = true;
      return false;
    }
    stream_.reset(stream);
    // Room for a chunk of the smallest frames there are (8 kbit/s of 24 kHz stereo decode to 96
    // times their size) and for frames the codec kept from the chunk before: a codec that fills
    // the room would keep the rest back until more input comes, which a sound's last piece lacks.
    DWORD outBytes = 0;
    if (acmStreamSize(stream, static_cast<DWORD>(kChunk), &outBytes, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
      outBytes = 0;
    outBytes = std::max<DWORD>(outBytes, static_cast<DWORD>(kChunk * 96 + 16 * 1152 * 4));
    in_.assign(kChunk, 0);
    out_.assign(outBytes, 0);
    rate_ = facts->rate;
    fileChannels_ = facts->channels;
    return true;
  }

  // Samples in the codec's channel count, handed out in the format's.
  void Append(std::size_t samples, std::vector<std::int16_t>& out) const {
    auto sample = [this](std::size_t i) { return static_cast<std::int16_t>(out_[i * 2] | out_[i * 2 + 1] << 8); };
    const int want = format_.channels();
    if (fileChannels_ == want) {
      for (std::size_t i = 0; i < samples; ++i) out.push_back(sample(i));
    } else if (fileChannels_ == 2) {
      for (std::size_t i = 0; i + 1 < samples; i += 2)
        out.push_back(static_cast<std::int16_t>((sample(i) + sample(i + 1)) / 2));
    } else {
      for (std::size_t i = 0; i < samples; ++i) out.insert(out.end(), 2, sample(i));
    }
  }

  snd::Format format_;
  int rate_;
  int fileChannels_ = 1;
  bool started_ = false, failed_ = false;
  Stream stream_;
  std::vector<std::uint8_t> pending_;
  std::vector<BYTE> in_, out_;
};

}  // namespace

std::unique_ptr<player::sound::Decoder> MakeAcmMp3Decoder(const player::sound::Format& format) {
  return std::make_unique<AcmMp3Decoder>(format);
}

}  // namespace quillon::stub
