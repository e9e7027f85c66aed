// Where the stage lands in a window, and when frames fall due: the playing window's arithmetic,
// kept apart from the window system.
#pragma once

#include <algorithm>
#include <cmath>

namespace quillon::player {

// The stage scaled to fit a client area with its proportions kept, centred; bars fill the rest.
struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  double scale = 1;
};

inline Viewport FitStage(int clientW, int clientH, int stageW, int stageH) {
  Viewport v;
  if (clientW <= 0 || clientH <= 0 || stageW <= 0 || stageH <= 0) return {0, 0, 0, 0, 0};
  v.scale = std::min(static_cast<double>(clientW) / stageW, static_cast<double>(clientH) / stageH);
  v.width = std::clamp(static_cast<int>(std::lround(stageW * v.scale)), 1, clientW);
  v.height = std::clamp(static_cast<int>(std::lround(stageH * v.scale)), 1, clientH);
  v.x = (clientW - v.width) / 2;
  v.y = (clientH - v.height) / 2;
  return v;
}

// The stage at its own size, centred (a movie that asked not to be scaled); a client smaller
// than the stage shows its middle.
inline Viewport CentreStage(int clientW, int clientH, int stageW, int stageH) {
  if (clientW <= 0 || clientH <= 0 || stageW <= 0 || stageH <= 0) return {0, 0, 0, 0, 0};
  return {(clientW - stageW) / 2, (clientH - stageH) / 2, stageW, stageH, 1};
}

// Where a client-area pixel lands on the stage, in stage pixels: at scale 1 pixel for pixel.
struct StagePoint {
  double x = 0, y = 0;
};
inline StagePoint ClientToStage(const Viewport& v, int clientX, int clientY) {
  if (!(v.scale > 0)) return {};
  return {(clientX - v.x) / v.scale, (clientY - v.y) / v.scale};
}

// Frames fall due at start + n * period, so the lateness of one wake-up never shifts the
// ones after it. When the player falls more than `maxLag` frames behind (a suspended or
// very busy machine) it resumes from the present instead of racing to catch up.
class FrameClock {
 public:
  FrameClock(double period, double start, int maxLag = 5) : period_(period), due_(start), maxLag_(maxLag) {}

  // True when a frame is due at `now`; the caller shows one frame per true.
  bool Due(double now) {
    if (now < due_) return false;
    due_ += period_;
    if (now - due_ > maxLag_ * period_) due_ = now + period_;
    return true;
  }
  double NextDue() const { return due_; }

 private:
  double period_, due_;
  int maxLag_;
};

}  // namespace quillon::player
