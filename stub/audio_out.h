// The movie's sound on the platform's audio output: waveOut, 44.1 kHz 16-bit stereo, fed a
// few short buffers at a time from the player's mixed samples. A missing or busy device leaves
// it closed, and the movie plays on silent.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace quillon::stub {

class AudioOut {
 public:
  AudioOut() = default;
  ~AudioOut();
  AudioOut(const AudioOut&) = delete;
  AudioOut& operator=(const AudioOut&) = delete;

  // False when no device takes the format; the output then stays closed.
  bool Open();
  bool IsOpen() const { return device_ != nullptr; }
  // Samples to play next (interleaved left, right).
  void Queue(const std::vector<std::int16_t>& samples);
  // Hands the device every buffer it has finished with, filled from the queue (silence where
  // the queue runs dry). Call often: each buffer lasts about 50 ms.
  void Pump();
  // Sample frames queued or handed to the device and not yet played: the sound clock that
  // times the frames while a stream plays.
  std::size_t Ahead() const;
  // Muted, the device plays silence in place of the queue, which still drains at its pace.
  void SetMuted(bool muted) { muted_ = muted; }
  bool Muted() const { return muted_; }

  static constexpr int kRate = 44100;

 private:
  static constexpr std::size_t kBuffers = 4, kFramesPerBuffer = 2205;  // 50 ms at 44.1 kHz
  // More queued than this (half a second) means the frames run ahead of the sound: the oldest go.
  static constexpr std::size_t kMaxQueued = 44100;

 public:
  // What to keep ahead of the device while frames follow its clock: its buffers and one more,
  // so that a refilled buffer always finds a buffer's worth queued.
  static constexpr std::size_t kLead = (kBuffers + 1) * kFramesPerBuffer;

 private:
  struct Buffer {
    WAVEHDR header{};
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(kFramesPerBuffer * 2);
    bool prepared = false;
  };
  HWAVEOUT device_ = nullptr;
  std::array<Buffer, kBuffers> buffers_;
  std::deque<std::int16_t> queue_;
  std::uint64_t written_ = 0;  // sample frames handed to the device
  // The device's position, widened past its 32 bits.
  mutable std::uint64_t played_ = 0;
  mutable DWORD lastPosition_ = 0;
  bool muted_ = false;
};

}  // namespace quillon::stub
