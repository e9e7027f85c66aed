#include "sound/pacer.h"

#include <algorithm>
#include <cmath>

namespace quillon::player::sound {

int Pacer::FramesDue(std::size_t ahead, int most) const {
  if (ahead >= lead_) return 0;
  const double frames = std::ceil(static_cast<double>(lead_ - ahead) / perFrame_);
  return static_cast<int>(std::min(frames, static_cast<double>(std::max(most, 1))));
}

double Pacer::MsToNext(std::size_t ahead, int deviceRate) const {
  if (ahead < lead_ || deviceRate <= 0) return 0;
  return static_cast<double>(ahead - lead_ + 1) * 1000.0 / deviceRate;
}

}  // namespace quillon::player::sound
