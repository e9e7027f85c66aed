// Frames timed by the sound device while a streamed sound plays: a frame runs whenever the
// device has less than `lead` sample frames left to play, so the timeline follows the sound's
// clock rather than the wall clock, and frames that fall behind run back to back, drawn once,
// instead of letting the pictures drift from the sound.
#pragma once

#include <cstddef>

namespace quillon::player::sound {

class Pacer {
 public:
  // `lead`: the sample frames to keep ahead of what the device plays (its buffers and a little
  // more, so that it never runs dry); `perFrame`: the sample frames one movie frame gives.
  Pacer(std::size_t lead, double perFrame) : lead_(lead), perFrame_(perFrame > 1 ? perFrame : 1) {}

  // Frames to run now when the device has `ahead` sample frames queued and not yet played;
  // at most `most`, so that input is still handled while a slow movie catches up.
  int FramesDue(std::size_t ahead, int most) const;
  // Milliseconds until a frame is due, at the device's rate, if nothing else runs.
  double MsToNext(std::size_t ahead, int deviceRate) const;

 private:
  std::size_t lead_;
  double perFrame_;
};

}  // namespace quillon::player::sound
