// A streamed sound keeps its timeline when frames are timed by the sound device: over thirty
// seconds of frames, with a device whose clock runs 1% off the wall clock and drawings that
// now and then take three frames' time, every frame shown is within one frame of the one its
// sound says, the device never runs dry, and late frames run undrawn to catch up.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "display/player.h"
#include "display/sound_stage.h"
#include "sound/mixer.h"
#include "sound/pacer.h"
#include "sound/sound_writer.h"

namespace quillon::player::sound {
namespace {

using test::Bytes;

TEST(Pacer, RunsFramesUntilTheLeadIsQueued) {
  const Pacer pacer(11025, 1764);
  EXPECT_EQ(pacer.FramesDue(11025, 8), 0);
  EXPECT_EQ(pacer.FramesDue(11024, 8), 1);
  EXPECT_EQ(pacer.FramesDue(11025 - 1764, 8), 1);
  EXPECT_EQ(pacer.FramesDue(11025 - 1765, 8), 2);
  EXPECT_EQ(pacer.FramesDue(0, 8), 7) << "11,025 / 1,764 rounded up";
  EXPECT_EQ(pacer.FramesDue(0, 3), 3) << "at most as many as asked";
  EXPECT_DOUBLE_EQ(pacer.MsToNext(11025 + 440, 44100), 10.0) << "441 samples to play before one is due";
  EXPECT_EQ(pacer.MsToNext(100, 44100), 0);
}

// Every frame's block holds its frame's number (times ten): what the device plays says which
// frame it belongs to.
Bytes CountingStream(int frames) {
  std::vector<Bytes> tags = {test::StreamHead(test::FormatByte(3, 1, true, false), 441)};
  for (int f = 0; f < frames; ++f) {
    tags.push_back(test::StreamBlock(test::Pcm16Bytes(std::vector<std::int16_t>(441, static_cast<std::int16_t>((f + 1) * 10)))));
    tags.push_back(test::ShowFrame());
  }
  return test::MovieFile(100, 100, tags, 'F', 25);
}

// A device as the stub's: four buffers of 2,205 sample frames, each refilled from the queue
// when it has played (silence where the queue runs short), at its own clock's rate.
struct Device {
  static constexpr std::size_t kBuffer = 2205, kBuffers = 4;
  double rate;            // sample frames a second of wall time
  double startedAt = -1;  // wall seconds
  std::vector<std::int16_t> written;  // the left side of everything handed over
  std::deque<std::int16_t> queue;
  std::size_t padded = 0;  // silent frames handed over for want of queued sound, after sound began

  double Played(double now) const { return startedAt < 0 ? 0 : std::min((now - startedAt) * rate, static_cast<double>(written.size())); }
  std::size_t Ahead(double now) const {
    return written.size() + queue.size() - static_cast<std::size_t>(std::floor(Played(now)));
  }
  void Pump(double now) {
    if (startedAt < 0) startedAt = now;
    while (static_cast<double>(written.size()) - Played(now) <= (kBuffers - 1) * static_cast<double>(kBuffer)) {
      for (std::size_t i = 0; i < kBuffer; ++i) {
        if (queue.empty()) {
          if (std::any_of(written.begin(), written.end(), [](std::int16_t s) { return s != 0; })) ++padded;
          written.push_back(0);
        } else {
          written.push_back(queue.front());
          queue.pop_front();
        }
      }
    }
  }
  // The frame (0-based) whose sound plays at `position`, handed over or still queued; -1 in
  // silence.
  int FrameAt(double position) const {
    const auto i = static_cast<std::size_t>(position);
    const std::int16_t s = i < written.size() ? written[i] : i - written.size() < queue.size() ? queue[i - written.size()] : 0;
    return s ? s / 10 - 1 : -1;
  }
};

TEST(StreamSync, TheTimelineFollowsTheSoundClockForThirtySeconds) {
  const int kFrames = 750;  // thirty seconds at 25 a second
  const double perFrame = 44100.0 / 25;
  const std::size_t lead = (Device::kBuffers + 1) * Device::kBuffer;
  for (const double speed : {1.01, 0.99}) {
    auto loaded = LoadMovie(CountingStream(kFrames + 10));
    ASSERT_TRUE(loaded.movie);
    Player player(loaded.movie);
    player.sound().KeepAudio(true);
    Device device{44100 * speed};
    const Pacer pacer(lead, perFrame);
    double now = 0;
    int ran = 0, drawn = 0, worst = 0, checked = 0;
    double at100 = 0;  // when frame 100 ran
    while (ran < kFrames) {
      // As the stub does: frames that are due run before the device is handed more, so that a
      // slow drawing is caught up on before the buffers it let play out are refilled.
      const int due = pacer.FramesDue(device.Ahead(now), 8);
      if (due == 0) {
        device.Pump(now);
        now += std::min(pacer.MsToNext(device.Ahead(now), 44100), 10.0) / 1000 + 1e-4;
        continue;
      }
      for (int i = 0; i < due && ran < kFrames; ++i) {
        player.Tick();
        if (++ran == 100) at100 = now;
        const auto mixed = player.sound().TakeAudio();
        for (std::size_t k = 0; k < mixed.size(); k += 2) device.queue.push_back(mixed[k]);
      }
      device.Pump(now);
      EXPECT_TRUE(player.sound().StreamPlaying());
      // Drawn: the frame on the stage against the one whose sound the device will play once
      // what is queued ahead of it has played.
      const int heard = device.FrameAt(device.Played(now) + static_cast<double>(lead));
      const int shown = ran - 1;
      if (heard >= 0) {
        worst = std::max(worst, std::abs(shown - heard));
        ++checked;
      }
      ++drawn;
      now += drawn % 9 == 0 ? 0.12 : 0.008;  // now and then three frames' time
    }
    EXPECT_LE(worst, 1) << "frames shown off their sound, device at " << speed;
    EXPECT_GT(checked, 500) << "drawings checked, device at " << speed;
    EXPECT_EQ(device.padded, 0u) << "the device ran dry, at " << speed;
    EXPECT_LT(drawn, kFrames) << "late frames run without being drawn";
    // The frames kept the device's time, not the wall clock's: from frame 100 on (the start
    // runs the lead's frames at once), 25 a second of the device's clock, 1% off 25 a second
    // of the wall clock's. Each end is known within a frame: 2 in 650.
    const double rate = (kFrames - 100) / (now - at100);
    EXPECT_NEAR(rate, 25 * speed, 25 * speed * 2 / 650) << speed;
    EXPECT_GT(std::abs(rate - 25), 0.15) << speed;
  }
}

}  // namespace
}  // namespace quillon::player::sound
