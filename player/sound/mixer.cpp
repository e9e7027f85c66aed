#include "sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace quillon::player::sound {

Gains Transform::ToGains() const {
  const double v = volume / 100.0;
  return {leftToLeft / 100.0 * v, leftToRight / 100.0 * v, rightToLeft / 100.0 * v, rightToRight / 100.0 * v};
}

Gains Transform::Over(const Gains& inner) const {
  const Gains o = ToGains();
  // The inner mix first, then this one: a 2x2 matrix product.
  return {o.leftToLeft * inner.leftToLeft + o.rightToLeft * inner.leftToRight,
          o.leftToRight * inner.leftToLeft + o.rightToRight * inner.leftToRight,
          o.leftToLeft * inner.rightToLeft + o.rightToLeft * inner.rightToRight,
          o.leftToRight * inner.rightToLeft + o.rightToRight * inner.rightToRight};
}

double EnvelopeLevel(const std::vector<EnvelopePoint>& envelope, double at, bool right) {
  if (envelope.empty()) return 1;
  auto level = [right](const EnvelopePoint& p) { return (right ? p.right : p.left) / 32768.0; };
  if (at <= envelope.front().at) return level(envelope.front());
  for (std::size_t i = 1; i < envelope.size(); ++i) {
    const EnvelopePoint &a = envelope[i - 1], &b = envelope[i];
    if (at < b.at && b.at > a.at) {
      const double t = (at - a.at) / static_cast<double>(b.at - a.at);
      return level(a) + (level(b) - level(a)) * t;
    }
  }
  return level(envelope.back());
}

Mixer::VoiceId Mixer::Play(Voice voice) {
  if (!voice.pcm || voice.pcm->frames() == 0 || voice.pcm->rate <= 0 || voices_.size() >= kMaxVoices) return 0;
  Active p;
  p.id = next_++;
  const double toOutput = static_cast<double>(kOutputRate) / voice.pcm->rate;
  const double length = static_cast<double>(voice.pcm->frames()) * toOutput;
  p.begin = std::max(static_cast<double>(voice.info.inPoint.value_or(0)), static_cast<double>(voice.startFrame) * toOutput);
  p.end = voice.info.outPoint ? std::min<double>(*voice.info.outPoint, length) : length;
  if (p.begin >= p.end) return 0;
  p.position = p.begin;
  p.loopsLeft = std::max<std::uint32_t>(voice.info.loops, 1);
  p.voice = std::move(voice);
  voices_.push_back(std::move(p));
  return voices_.back().id;
}

void Mixer::Stop(VoiceId id) {
  std::erase_if(voices_, [id](const Active& p) { return p.id == id; });
}

void Mixer::StopIf(const std::function<bool(const Voice&)>& pick) {
  std::erase_if(voices_, [&](const Active& p) { return pick(p.voice); });
}

void Mixer::StopAll() { voices_.clear(); }

bool Mixer::Playing(VoiceId id) const {
  return std::any_of(voices_.begin(), voices_.end(), [id](const auto& p) { return p.id == id; });
}

bool Mixer::AnyPlaying(const std::function<bool(const Voice&)>& pick) const {
  return std::any_of(voices_.begin(), voices_.end(), [&](const auto& p) { return pick(p.voice); });
}

double Mixer::PositionMs(VoiceId id) const {
  for (const auto& p : voices_)
    if (p.id == id) return p.position * 1000.0 / kOutputRate;
  return -1;
}

// Adds one voice into `mix`; false once it has played out.
bool Mixer::Render(Active& p, std::span<float> mix) {
  const Pcm& pcm = *p.voice.pcm;
  const Gains g = p.voice.gains ? p.voice.gains() : Gains{};
  const double step = static_cast<double>(pcm.rate) / kOutputRate;
  const std::size_t frames = pcm.frames();
  const bool stereo = pcm.channels == 2;
  const auto* s = pcm.samples.data();
  const bool shaped = !p.voice.info.envelope.empty();
  for (std::size_t i = 0; i + 1 < mix.size(); i += 2) {
    if (p.position >= p.end) {
      if (--p.loopsLeft == 0) return false;
      p.position = p.begin;
    }
    const double at = p.position * step;
    const auto i0 = std::min(static_cast<std::size_t>(at), frames - 1);
    const std::size_t i1 = std::min(i0 + 1, frames - 1);
    const double t = at - static_cast<double>(i0);
    double left, right;
    if (stereo) {
      left = s[i0 * 2] + (s[i1 * 2] - s[i0 * 2]) * t;
      right = s[i0 * 2 + 1] + (s[i1 * 2 + 1] - s[i0 * 2 + 1]) * t;
    } else {
      left = right = s[i0] + (s[i1] - s[i0]) * t;
    }
    double outLeft = left * g.leftToLeft + right * g.rightToLeft;
    double outRight = right * g.rightToRight + left * g.leftToRight;
    if (shaped) {
      outLeft *= EnvelopeLevel(p.voice.info.envelope, p.position, false);
      outRight *= EnvelopeLevel(p.voice.info.envelope, p.position, true);
    }
    mix[i] += static_cast<float>(outLeft);
    mix[i + 1] += static_cast<float>(outRight);
    p.position += 1;
  }
  return true;
}

void Mixer::Mix(std::span<std::int16_t> out) {
  if (voices_.empty()) return;
  scratch_.assign(out.size(), 0.0f);
  for (std::size_t i = 0; i < voices_.size();) {
    if (Render(voices_[i], scratch_)) {
      ++i;
    } else {
      finished_.push_back(voices_[i].id);
      voices_.erase(voices_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  // Loud sums clip at the ends of the range rather than wrapping around.
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::clamp(std::lround(out[i] + scratch_[i]), -32768L, 32767L));
}

std::vector<Mixer::VoiceId> Mixer::TakeFinished() {
  std::vector<VoiceId> done;
  done.swap(finished_);
  return done;
}

}  // namespace quillon::player::sound
