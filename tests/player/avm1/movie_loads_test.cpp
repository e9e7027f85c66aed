// Movies loaded into clips: MovieClipLoader's events in order, the loaded movie's own
// characters and scripts playing inside the clip where it stands, failures, and unloading.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/assembler.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player::avm1::testing {
namespace {

namespace fs = std::filesystem;
using test::Rgb;

struct Folder {
  fs::path path = fs::temp_directory_path() / ("quillon-loads-" + std::to_string(::getpid()));
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

test::Bytes PlaceAtDepthOne(int id) {
  test::Place p{};
  p.depth = 1;
  p.id = id;
  return test::PlaceObject2(p);
}

constexpr Rgb kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlue{0, 0, 255};

// The loaded movie: a red 10 x 10 square at its origin, drawn with character 1 (the main movie
// uses 1 for something else), and a script that marks the clip it plays in.
test::Bytes ChildMovie() {
  Asm script;
  script.Push("ran", 1.0).Op(kSetVariable);
  return test::MovieFile(10, 10, {test::RectShape(1, 0, 0, 200, 200, kRed), PlaceAtDepthOne(1),
                                  test::DoActionTag(script.Code()), test::ShowFrame()});
}

struct LoadRig {
  Folder dir;
  std::shared_ptr<Player> player;
  std::vector<std::string> events;
  Clip* holder = nullptr;
  Object* loader = nullptr;

  LoadRig() {
    std::ofstream(dir.path / "child.swf", std::ios::binary).write(
        reinterpret_cast<const char*>(ChildMovie().data()), static_cast<std::streamsize>(ChildMovie().size()));
    // Character 1 of the main movie is a blue square, placed at depth 1.
    const auto movie = LoadMovie(test::MovieFile(60, 20, {test::Background(kWhite),
                                                          test::RectShape(1, 0, 0, 100, 100, kBlue),
                                                          PlaceAtDepthOne(1), test::ShowFrame()}))
                           .movie;
    player = std::make_shared<Player>(movie);
    player->SetDataPaths(dir.path, {}, (dir.path / "main.swf").string());
    player->Tick();
    Machine& vm = player->machine();
    Clip* root = player->ObjectOf(player->rootInstance());
    const Value made[] = {Value::Str("holder"), Value::Num(5)};
    holder = dynamic_cast<Clip*>(vm.CallMethod(root, "createEmptyMovieClip", made).object);
    holder->Set("_x", Value::Num(30));
    loader = vm.Construct(vm.global()->Get("MovieClipLoader"), {}).object;
    root->Set("loader", Value::Obj(loader));  // keeps it reachable
    for (const char* name : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit", "onLoadError"})
      loader->Set(name, Value::Obj(vm.NewNative([this, name](Call& c) {
        std::string line = name;
        if (std::string(name) == "onLoadError") line += " " + c.vm.ToString(c.Arg(1));
        if (std::string(name) == "onLoadInit") line += " ran=" + c.vm.ToString(c.vm.ToObject(c.Arg(0))->Get("ran"));
        events.push_back(line);
        return Value{};
      })));
  }
  bool Load(const std::string& file) {
    const Value args[] = {Value::Str(file), Value::Obj(holder)};
    return player->machine().ToBool(player->machine().CallMethod(loader, "loadClip", args));
  }
  Rgba Pixel(int x, int y) {
    Canvas canvas(60, 20, Rgba{0, 0, 0, 255});
    player->Render(canvas, Quality::Low);
    return canvas.at(x, y);
  }
};

bool Is(Rgba p, Rgb c) { return p.r == c.r && p.g == c.g && p.b == c.b; }

TEST(MovieLoadsTest, LoadedMoviePlaysInTheClipWithItsOwnCharactersAndEventsInOrder) {
  LoadRig rig;
  ASSERT_TRUE(rig.Load("child.swf"));
  EXPECT_TRUE(rig.events.empty());  // nothing arrives inside the call
  for (int i = 0; i < 3 && rig.events.size() < 4; ++i) rig.player->Tick();
  const std::vector<std::string> expected = {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit ran=1"};
  EXPECT_EQ(rig.events, expected);
  // The clip at x 30 shows the child's red square (its character 1), the main movie's blue
  // square (also character 1) stays at the origin.
  EXPECT_TRUE(Is(rig.Pixel(35, 5), kRed));
  EXPECT_TRUE(Is(rig.Pixel(2, 2), kBlue));
  EXPECT_TRUE(Is(rig.Pixel(45, 5), kWhite));
  // The clip keeps its name and place: scripts still find it.
  Clip* root = rig.player->ObjectOf(rig.player->rootInstance());
  Object* again = rig.player->machine().ToObject(root->Get("holder"));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(rig.player->machine().ToNumber(again->Get("_x")), 30);
  EXPECT_EQ(rig.player->machine().ToNumber(again->Get("ran")), 1);

  const Value none[] = {Value::Obj(again)};
  rig.player->machine().CallMethod(rig.loader, "unloadClip", none);
  EXPECT_TRUE(Is(rig.Pixel(35, 5), kWhite));
}

TEST(MovieLoadsTest, MissingOrUnreadableFilesReportAnErrorAndLeaveTheClip) {
  LoadRig rig;
  std::ofstream(rig.dir.path / "junk.swf") << "not a movie at all";
  ASSERT_TRUE(rig.Load("absent.swf"));
  for (int i = 0; i < 3; ++i) rig.player->Tick();
  EXPECT_EQ(rig.events, std::vector<std::string>{"onLoadError URLNotFound"});
  rig.events.clear();
  ASSERT_TRUE(rig.Load("junk.swf"));
  for (int i = 0; i < 3; ++i) rig.player->Tick();
  const std::vector<std::string> expected = {"onLoadStart", "onLoadProgress", "onLoadComplete",
                                             "onLoadError LoadNeverCompleted"};
  EXPECT_EQ(rig.events, expected);
  Clip* root = rig.player->ObjectOf(rig.player->rootInstance());
  EXPECT_EQ(rig.player->machine().ToObject(root->Get("holder")), rig.holder);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
