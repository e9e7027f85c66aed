#include "audio_out.h"

#include <algorithm>

namespace quillon::stub {

AudioOut::~AudioOut() {
  if (!device_) return;
  waveOutReset(device_);
  for (Buffer& b : buffers_)
    if (b.prepared) waveOutUnprepareHeader(device_, &b.header, sizeof b.header);
  waveOutClose(device_);
}

bool AudioOut::Open() {
  if (device_) return true;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = 44100 * 4;
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR || !device) return false;
  device_ = device;
  for (Buffer& b : buffers_) {
    b.header.lpData = reinterpret_cast<LPSTR>(b.samples.data());
    b.header.dwBufferLength = static_cast<DWORD>(b.samples.size() * sizeof(std::int16_t));
    b.prepared = waveOutPrepareHeader(device_, &b.header, sizeof b.header) == MMSYSERR_NOERROR;
    // Marked done, so that the first pump fills and sends it.
    b.header.dwFlags |= WHDR_DONE;
  }
  return true;
}

void AudioOut::Queue(const std::vector<std::int16_t>& samples) {
  queue_.insert(queue_.end(), samples.begin(), samples.end());
  if (queue_.size() > kMaxQueued * 2) queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queue_.size() - kMaxQueued * 2));
}

void AudioOut::Pump() {
  if (!device_) return;
  for (Buffer& b : buffers_) {
    if (!b.prepared || !(b.header.dwFlags & WHDR_DONE)) continue;
    const std::size_t n = std::min(queue_.size(), b.samples.size());
    if (muted_) std::fill_n(b.samples.begin(), n, std::int16_t{0});
    else std::copy_n(queue_.begin(), n, b.samples.begin());
    std::fill(b.samples.begin() + static_cast<std::ptrdiff_t>(n), b.samples.end(), std::int16_t{0});
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    b.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    if (waveOutWrite(device_, &b.header, sizeof b.header) != MMSYSERR_NOERROR) b.header.dwFlags |= WHDR_DONE;
    else written_ += kFramesPerBuffer;
  }
}

std::size_t AudioOut::Ahead() const {
  if (!device_) return queue_.size() / 2;
  MMTIME at{};
  at.wType = TIME_SAMPLES;
  // Some devices count bytes instead; either counter wraps at 32 bits, so only steps are added.
  if (waveOutGetPosition(device_, &at, sizeof at) == MMSYSERR_NOERROR &&
      (at.wType == TIME_SAMPLES || at.wType == TIME_BYTES)) {
    const DWORD position = at.wType == TIME_SAMPLES ? at.u.sample : at.u.cb;
    const DWORD step = position - lastPosition_;
    played_ += at.wType == TIME_SAMPLES ? step : step / 4;
    lastPosition_ = position - (at.wType == TIME_SAMPLES ? 0 : step % 4);
  }
  const std::uint64_t inDevice = written_ > played_ ? written_ - played_ : 0;
  return static_cast<std::size_t>(inDevice) + queue_.size() / 2;
}

}  // namespace quillon::stub
