// Layers every band draws whole are drawn once and shared: the frame is the one a single
// band draws, byte for byte, and each layer is made only once however many bands ask.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "display/player.h"
#include "render/layer_cache.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

TEST(LayerCache, EachLayerIsMadeOnceForAllWhoAsk) {
  LayerCache cache;
  std::atomic<int> made{0};
  LayerCache::Key key;
  key.object = &made;
  key.width = 40, key.height = 30;
  auto make = [&] {
    made.fetch_add(1);
    // Slow enough that the other threads ask while it is being drawn.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Layer l(3, 4, 5, 6);
    l.at(1, 2) = {10, 20, 30, 40};
    return l;
  };
  std::vector<const Layer*> got(6, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < got.size(); ++i) threads.emplace_back([&, i] { got[i] = &cache.Get(key, make); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(made.load(), 1);
  for (const Layer* l : got) {
    ASSERT_EQ(l, got[0]);
    EXPECT_EQ(l->x, 3);
    EXPECT_EQ(l->at(1, 2), (Rgba{10, 20, 30, 40}));
  }
  // Another placement of the same object is another layer.
  LayerCache::Key moved = key;
  moved.matrix.tx = 1;
  EXPECT_NE(&cache.Get(moved, make), got[0]);
  EXPECT_EQ(made.load(), 2);
  EXPECT_EQ(cache.size(), 2u);
}

TEST(LayerCache, ARecordedLayerLastsWhileFramesAskForItAndNoLonger) {
  LayerCache cache;
  int made = 0;
  auto make = [&] {
    ++made;
    return Layer(0, 0, 4, 4);
  };
  LayerCache::Key kept;
  kept.object = &made;
  kept.recorded = true;
  kept.content.words = {1, 2, 3};
  LayerCache::Key once = kept;
  once.recorded = false;
  once.content = {};
  const Layer* first = &cache.Get(kept, make);
  cache.Get(once, make);
  EXPECT_EQ(made, 2);
  cache.EndFrame();
  EXPECT_EQ(cache.size(), 1u) << "a layer without a record serves one frame";
  EXPECT_EQ(&cache.Get(kept, make), first);
  cache.Get(once, make);
  EXPECT_EQ(made, 3);
  // Other content is another layer; a frame that does not ask for one lets it go.
  LayerCache::Key changed = kept;
  changed.content.words.back() = 4;
  cache.Get(changed, make);
  EXPECT_EQ(made, 4);
  cache.EndFrame();
  cache.Get(changed, make);
  cache.EndFrame();
  EXPECT_EQ(cache.size(), 1u);
  cache.Get(kept, make);
  EXPECT_EQ(made, 5);
}

Bytes Blur(double size) {
  Bytes f{1, 1};  // one filter: blur
  for (int i = 0; i < 2; ++i) U32(f, static_cast<std::uint32_t>(size * 65536));
  f.push_back(1 << 3);  // one pass
  return f;
}

// A blurred sprite holding a blurred bar and a plain one, seen through a mask that crosses
// every band's edge, beside a blurred bar on the stage.
Bytes NestedFilters() {
  return MovieFile(160, 120,
                   {Background({240, 240, 255}), RectShape(1, 600, 400, 1200, 1400, {200, 30, 30}),
                    RectShape(2, 200, 1000, 2600, 300, {20, 120, 20}), RectShape(3, 300, 300, 2200, 1700, {0, 0, 0}),
                    Sprite(4, {PlaceObject3({.depth = 1, .id = 1}, {.filters = Blur(5)}),
                               PlaceObject2({.depth = 2, .id = 2}), ShowFrame()}),
                    PlaceObject2({.depth = 1, .id = 3, .clipDepth = 2}),
                    PlaceObject3({.depth = 2, .id = 4}, {.filters = Blur(3)}),
                    PlaceObject3({.depth = 3, .id = 2, .tx = 100, .ty = 600}, {.filters = Blur(8)}), ShowFrame()});
}

Canvas Draw(const Bytes& file, int threads, double scale) {
  const auto movie = LoadMovie(file).movie;
  EXPECT_TRUE(movie);
  Player player(movie);
  player.SetDrawThreads(threads);
  player.Tick();
  Canvas c(static_cast<int>(160 * scale), static_cast<int>(120 * scale), {});
  player.Render(c, Quality::High, scale);
  return c;
}

TEST(LayerCache, FilteredLayersAcrossBandsEqualOneBandsImage) {
  const Bytes scene = NestedFilters();
  for (const double scale : {1.0, 2.0}) {
    const Canvas one = Draw(scene, 1, scale);
    // The blur shows: just above the red bar's top edge is tinted, not background.
    const Rgba background{240, 240, 255, 255};
    EXPECT_NE(one.at(static_cast<int>(60 * scale), static_cast<int>(19 * scale)), background);
    EXPECT_EQ(one.at(2, 2), background);  // outside the mask and the stage bar
    for (const int threads : {2, 3, 7}) {
      const Canvas many = Draw(scene, threads, scale);
      ASSERT_EQ(many.pixels.size(), one.pixels.size());
      std::size_t differ = 0;
      for (std::size_t i = 0; i < one.pixels.size(); ++i) differ += !(one.pixels[i] == many.pixels[i]);
      EXPECT_EQ(differ, 0u) << threads << " threads at scale " << scale;
    }
  }
}

// A blurred sprite whose bar moves, takes a colour, gives way to another shape and then stays:
// drawn every frame, each frame is what a player drawing that frame alone shows.
TEST(LayerCache, FramesDrawnInTurnShowWhatChangedInsideAFilteredSprite) {
  const Bytes movie = MovieFile(
      80, 60,
      {Background({255, 255, 255}), RectShape(1, 0, 0, 400, 300, {200, 30, 30}), RectShape(2, 0, 0, 300, 500, {20, 20, 160}),
       Sprite(3, {PlaceObject2({.depth = 1, .id = 1, .tx = 200, .ty = 200}), ShowFrame(),
                  PlaceObject2({.depth = 1, .tx = 500, .ty = 300}), ShowFrame(),
                  PlaceObject2({.depth = 1, .tx = 500, .ty = 300, .hasCx = true, .rm = 0, .ga = 200}), ShowFrame(),
                  RemoveObject2(1), PlaceObject2({.depth = 1, .id = 2, .tx = 500, .ty = 300}), ShowFrame(), ShowFrame()}),
       PlaceObject3({.depth = 1, .id = 3, .tx = 200, .ty = 100}, {.filters = Blur(4)}), ShowFrame()});
  const auto loaded = LoadMovie(movie).movie;
  ASSERT_TRUE(loaded);
  for (const int threads : {1, 3}) {
    Player inTurn(loaded);
    inTurn.SetDrawThreads(threads);
    Canvas before;
    for (int frame = 1; frame <= 6; ++frame) {
      inTurn.Tick();
      Canvas c(80, 60, {});
      inTurn.Render(c, Quality::High);
      Player alone(loaded);
      for (int k = 0; k < frame; ++k) alone.Tick();
      Canvas fresh(80, 60, {});
      alone.Render(fresh, Quality::High);
      EXPECT_TRUE(c.pixels == fresh.pixels) << "frame " << frame << ", " << threads << " threads";
      // Frames 2 to 4 change the sprite, frame 5 holds frame 4's picture.
      if (frame >= 2 && frame <= 4) {
        EXPECT_FALSE(c.pixels == before.pixels) << "frame " << frame;
      } else if (frame == 5) {
        EXPECT_TRUE(c.pixels == before.pixels);
      }
      before = c;
    }
  }
}

}  // namespace
}  // namespace quillon::player
