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
    std::copy_n(queue_.begin(), n, b.samples.begin());
    std::fill(b.samples.begin() + static_cast<std::ptrdiff_t>(n), b.samples.end(), std::int16_t{0});
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    b.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    if (waveOutWrite(device_, &b.header, sizeof b.header) != MMSYSERR_NOERROR) b.header.dwFlags |= WHDR_DONE;
  }
}

}  // namespace quillon::stub
