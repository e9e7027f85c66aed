// TextField.StyleSheet.load: the CSS file beside the movie arrives on a later frame, is parsed
// into the sheet's styles, and onLoad says whether it could be read and parsed.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/assembler.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;
using avm1::testing::Asm;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

struct Folder {
  fs::path path = fs::temp_directory_path() / ("quillon-css-" + std::to_string(::getpid()));
  Folder() { fs::create_directories(path); }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  void Write(const std::string& name, const std::string& text) const { std::ofstream(path / name) << text; }
};

// sheet = new TextField.StyleSheet();
// sheet.onLoad = function (ok) { trace(name + " " + ok + " " + sheet.loaded + " " + sheet.getStyleNames().length); };
// trace(sheet.load(url));
void LoadSheet(Asm& a, const std::string& sheet, const std::string& url) {
  a.Push(sheet, 0, "TextField").GetVariable().Push("StyleSheet").NewMethod().SetVariable();
  a.Push(sheet).GetVariable().Push("onLoad");
  a.DefineFunction("", {"ok"}, [&](Asm& f) {
    f.Push(sheet + " ").Push("ok").GetVariable().Add2().Push(" ").Add2();
    f.Push(sheet).GetVariable().Push("loaded").GetMember().Add2().Push(" ").Add2();
    f.Push(0, sheet).GetVariable().Push("getStyleNames").CallMethod().Push("length").GetMember().Add2().Trace();
  });
  a.SetMember();
  a.Push(url, 1, sheet).GetVariable().Push("load").CallMethod().Trace();
}

TEST(StyleSheetLoad, AFileBesideTheMovieBecomesStylesOnALaterFrame) {
  Folder folder;
  folder.Write("styles.css", ".red { color: #FF0000; }\np, li { font-size: 14px; font-weight: bold; }\n");
  folder.Write("broken.css", "p { color");
  Asm a;
  LoadSheet(a, "good", "styles.css");
  LoadSheet(a, "gone", "missing.css");
  LoadSheet(a, "bad", "broken.css");
  a.Stop();
  const Bytes file = MovieFile(100, 100, {DoActionTag(a.Code()), ShowFrame()});
  Player player(LoadMovie(file).movie);
  Lines lines;
  player.onTrace = [&](const std::string& l) { lines.push_back(l); };
  player.SetDataPaths(folder.path, folder.path / "store", "file:///movie.swf");
  player.Tick();
  EXPECT_EQ(lines, (Lines{"true", "true", "true"})) << "the loads start, and nothing has arrived yet";
  lines.clear();
  for (int i = 0; i < 4 && lines.size() < 3; ++i) player.Tick();
  // The missing file fails without loading; broken CSS arrives but parses to nothing.
  EXPECT_EQ(lines, (Lines{"good true true 3", "gone false false 0", "bad false true 0"}));
}

TEST(StyleSheetLoad, LoadedStylesReadBackAsTheCssSaid) {
  Folder folder;
  folder.Write("one.css", "h1 { color: #00FF00; text-align: center; }");
  Asm a;
  a.Push("sheet", 0, "TextField").GetVariable().Push("StyleSheet").NewMethod().SetVariable();
  a.Push("sheet").GetVariable().Push("onLoad");
  a.DefineFunction("", {"ok"}, [](Asm& f) {
    f.Push("h1", 1, "sheet").GetVariable().Push("getStyle").CallMethod().StoreRegister(0).Pop();
    f.Push(avm1::testing::Reg{0}, "color").GetMember().Trace();
    f.Push(avm1::testing::Reg{0}, "textAlign").GetMember().Trace();
  });
  a.SetMember();
  a.Push("one.css", 1, "sheet").GetVariable().Push("load").CallMethod().Pop();
  a.Push(0, "sheet").GetVariable().Push("load").CallMethod().Trace();  // no address: nothing to load
  a.Stop();
  Player player(LoadMovie(MovieFile(100, 100, {DoActionTag(a.Code()), ShowFrame()})).movie);
  Lines lines;
  player.onTrace = [&](const std::string& l) { lines.push_back(l); };
  player.SetDataPaths(folder.path, folder.path / "store", "file:///movie.swf");
  for (int i = 0; i < 4; ++i) player.Tick();
  EXPECT_EQ(lines, (Lines{"false", "#00FF00", "center"}));
}

}  // namespace
}  // namespace quillon::player
