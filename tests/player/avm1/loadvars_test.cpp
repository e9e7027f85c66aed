// LoadVars and the loader under it: URL encoding both ways, where addresses lead, loads that
// complete a frame later (or fail), and a web load from a server this test runs on loopback.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/assembler.h"
#include "avm1/classes/data_classes.h"
#include "avm1/fake_host.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player::avm1::testing {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("quillon-data-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
  }
  static inline int counter = 0;
};

// A machine whose loads resolve in a temporary folder, with LoadVars objects that log their
// events.
struct LoadRig : Rig {
  TempDir dir;
  std::vector<std::string> log;
  LoadRig() { SetLoader(vm, std::make_shared<data::Loader>(dir.path)); }
  Object* NewLoadVars() {
    const Value lv = vm.Construct(vm.global()->Get("LoadVars"), {});
    EXPECT_TRUE(lv.IsObject());
    host.keep.push_back(lv.object);
    return lv.object;
  }
  Object* Logged() {
    Object* lv = NewLoadVars();
    lv->Set("onLoad", Value::Obj(vm.NewNative([this](Call& c) {
      log.push_back(std::string("onLoad ") + (vm.ToBool(c.Arg(0)) ? "true" : "false"));
      return Value{};
    })));
    lv->Set("onHTTPStatus", Value::Obj(vm.NewNative([this](Call& c) {
      log.push_back("onHTTPStatus " + vm.ToString(c.Arg(0)));
      return Value{};
    })));
    return lv;
  }
  std::string Str(Object* o, const char* name) { return vm.ToString(o->Get(name)); }
};

TEST(LoadVarsTest, ToStringEscapesAllButLettersAndDigitsInForInOrder) {
  LoadRig rig;
  Object* lv = rig.NewLoadVars();
  EXPECT_EQ(rig.vm.ToString(Value::Obj(lv)), "");
  lv->Set("first", Value::Str("a b"));
  lv->Set("x_y", Value::Num(1.5));
  lv->Set("z", Value::Str("\xC3\xA9&=+"));  // é, then what separates pairs
  // for..in order is newest first; é is two bytes of UTF-8; even "." and "_" are escaped.
  EXPECT_EQ(rig.vm.ToString(Value::Obj(lv)), "z=%C3%A9%26%3D%2B&x%5Fy=1%2E5&first=a%20b");
  const Value text = rig.vm.CallMethod(lv, "toString", {});
  EXPECT_EQ(text.string, "z=%C3%A9%26%3D%2B&x%5Fy=1%2E5&first=a%20b");
}

TEST(LoadVarsTest, ToStringPassesOnWhatAValueThrows) {
  LoadRig rig;
  Object* lv = rig.NewLoadVars();
  Object* bad = rig.vm.NewObject();
  bad->Set("toString", Value::Obj(rig.vm.NewNative([](Call&) -> Value { throw ScriptThrow{Value::Str("boom")}; })));
  lv->Set("a", Value::Obj(bad));
  try {
    rig.vm.CallMethod(lv, "toString", {});
    ADD_FAILURE() << "no throw";
  } catch (const ScriptThrow& t) {
    EXPECT_EQ(t.value.string, "boom");
  }
}

TEST(LoadVarsTest, DecodeSetsStringsAndToleratesMalformedPairs) {
  LoadRig rig;
  Object* lv = rig.NewLoadVars();
  const Value args[] = {Value::Str("a=1&b=x%20y+z&&c&=5&d=%zz%4&e=%C3%A9=q&a=2")};
  rig.vm.CallMethod(lv, "decode", args);
  EXPECT_EQ(rig.vm.TypeOf(lv->Get("a")), "string");
  EXPECT_EQ(rig.Str(lv, "a"), "2");  // the later pair wins
  EXPECT_EQ(rig.Str(lv, "b"), "x y z");
  EXPECT_TRUE(lv->HasOwn("c"));
  EXPECT_EQ(rig.Str(lv, "c"), "");
  EXPECT_FALSE(lv->HasOwn(""));
  EXPECT_EQ(rig.Str(lv, "d"), "%zz%4");  // broken escapes stay as they are
  EXPECT_EQ(rig.Str(lv, "e"), "\xC3\xA9=q");
  // What decode set comes back out of toString.
  Object* copy = rig.NewLoadVars();
  const Value again[] = {Value::Str(rig.vm.ToString(Value::Obj(lv)))};
  rig.vm.CallMethod(copy, "decode", again);
  for (const char* name : {"a", "b", "c", "d", "e"}) EXPECT_EQ(rig.Str(copy, name), rig.Str(lv, name)) << name;
}

TEST(LoadVarsTest, LoadedTextKeepsUtf8AndReadsOtherBytesAsLatin1) {
  EXPECT_EQ(DecodeLoadedText("a=\xC3\xA9"), "a=\xC3\xA9");
  EXPECT_EQ(DecodeLoadedText("\xEF\xBB\xBF" "a=1"), "a=1");
  EXPECT_EQ(DecodeLoadedText("a=\xC4\xD6"), "a=\xC3\x84\xC3\x96");  // Ä Ö in Latin-1
  EXPECT_EQ(DecodeLoadedText(std::string("\xFF\xFE" "a\0=\0\xE9\0", 8)), "a=\xC3\xA9");
  EXPECT_EQ(DecodeLoadedText(std::string("\xFE\xFF\0a\xD8\x3D\xDE\x00", 8)), "a\xF0\x9F\x98\x80");
}

TEST(LoadVarsTest, LoadCompletesOnTheFrameAfterAndCallsOnLoad) {
  LoadRig rig;
  rig.dir.Write("vars.txt", "name=Quillon&count=3");
  Object* lv = rig.Logged();
  EXPECT_TRUE(rig.vm.CallMethod(lv, "getBytesLoaded", {}).IsUndefined());
  EXPECT_TRUE(rig.vm.CallMethod(lv, "getBytesTotal", {}).IsUndefined());
  const Value url[] = {Value::Str("vars.txt")};
  EXPECT_TRUE(rig.vm.CallMethod(lv, "load", url).boolean);
  EXPECT_FALSE(rig.vm.ToBool(lv->Get("loaded")));
  EXPECT_EQ(rig.vm.CallMethod(lv, "getBytesLoaded", {}).number, 0);
  EXPECT_TRUE(LoadsPending(rig.vm));
  DeliverLoads(rig.vm);  // the frame that started it
  EXPECT_TRUE(rig.log.empty());
  EXPECT_TRUE(lv->Get("name").IsUndefined());
  DeliverLoads(rig.vm);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onLoad true"}));  // no web status for a file
  EXPECT_EQ(rig.Str(lv, "name"), "Quillon");
  EXPECT_EQ(rig.Str(lv, "count"), "3");
  EXPECT_TRUE(rig.vm.ToBool(lv->Get("loaded")));
  EXPECT_EQ(rig.vm.CallMethod(lv, "getBytesLoaded", {}).number, 20);
  EXPECT_EQ(rig.vm.CallMethod(lv, "getBytesTotal", {}).number, 20);
  EXPECT_FALSE(LoadsPending(rig.vm));
}

TEST(LoadVarsTest, MissingAndUnusableAddressesFailOnALaterFrame) {
  LoadRig rig;
  Object* missing = rig.Logged();
  Object* folder = rig.Logged();
  Object* foreign = rig.Logged();
  const Value a[] = {Value::Str("no-such-file.txt")}, b[] = {Value::Str(".")}, c[] = {Value::Str("ftp://x/y")};
  rig.vm.CallMethod(missing, "load", a);
  rig.vm.CallMethod(folder, "load", b);
  rig.vm.CallMethod(foreign, "load", c);
  DeliverLoads(rig.vm);
  EXPECT_TRUE(rig.log.empty());
  DeliverLoads(rig.vm);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onLoad false", "onLoad false", "onLoad false"}));
  EXPECT_FALSE(rig.vm.ToBool(missing->Get("loaded")));
}

TEST(LoadVarsTest, OnDataReceivesTheRawText) {
  LoadRig rig;
  rig.dir.Write("raw.txt", "a=1");
  Object* lv = rig.NewLoadVars();
  std::vector<std::string> got;
  lv->Set("onData", Value::Obj(rig.vm.NewNative([&](Call& c) {
    got.push_back(rig.vm.ToString(c.Arg(0)));
    return Value{};
  })));
  const Value url[] = {Value::Str("raw.txt")};
  rig.vm.CallMethod(lv, "load", url);
  // A collection between frames keeps the waiting object.
  rig.host.keep.clear();
  rig.vm.Collect();
  DeliverLoads(rig.vm);
  DeliverLoads(rig.vm);
  EXPECT_EQ(got, (std::vector<std::string>{"a=1"}));
  EXPECT_TRUE(lv->Get("a").IsUndefined());  // the replaced onData decodes nothing
}

TEST(LoaderTest, AddressesResolveBesideTheBaseOrAsGiven) {
  data::Loader loader("/base/dir", nullptr);
  fs::path p;
  EXPECT_EQ(loader.Classify("vars.txt?x=1#top", &p), data::Source::Local);
  EXPECT_EQ(p, fs::path("/base/dir/vars.txt"));
  EXPECT_EQ(loader.Classify("../up/a b.txt", &p), data::Source::Local);
  EXPECT_EQ(p, fs::path("/base/up/a b.txt"));
  EXPECT_EQ(loader.Classify("/abs/file.txt", &p), data::Source::Local);
  EXPECT_EQ(p, fs::path("/abs/file.txt"));
  EXPECT_EQ(loader.Classify("file:///abs/with%20space+plus.xml", &p), data::Source::Local);
  EXPECT_EQ(p, fs::path("/abs/with space+plus.xml"));
  EXPECT_EQ(loader.Classify("FILE://localhost/abs/x.txt", &p), data::Source::Local);
  EXPECT_EQ(p, fs::path("/abs/x.txt"));
  EXPECT_EQ(loader.Classify("file://otherhost/x.txt"), data::Source::Unusable);
  EXPECT_EQ(loader.Classify("http://example.invalid/a"), data::Source::Web);
  EXPECT_EQ(loader.Classify("HTTPS://example.invalid/a"), data::Source::Web);
  EXPECT_EQ(loader.Classify("mailto:someone"), data::Source::Unusable);
  EXPECT_EQ(loader.Classify(""), data::Source::Unusable);
}

TEST(LoaderTest, WebAddressesWithoutAFetcherFail) {
  data::Loader loader("/base", nullptr);
  data::Request request;
  request.url = "http://127.0.0.1:1/";
  const int t = loader.Start(request);
  const auto done = loader.Poll();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].first, t);
  EXPECT_FALSE(done[0].second.ok);
}

// One answer a connection on a loopback port; keeps what each request sent.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::vector<std::string> answers) : answers_(std::move(answers)) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    EXPECT_EQ(listen(fd_, 4), 0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    thread_.join();
    close(fd_);
  }
  int port = 0;
  std::vector<std::string> requests;

 private:
  void Serve() {
    for (const std::string& answer : answers_) {
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      timeval timeout{10, 0};
      setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      std::string got;
      char buf[4096];
      for (;;) {
        const auto end = got.find("\r\n\r\n");
        if (end != std::string::npos) {
          const auto cl = got.find("Content-Length: ");
          const std::size_t body = cl == std::string::npos ? 0 : std::stoul(got.substr(cl + 16));
          if (got.size() >= end + 4 + body) break;
        }
        const ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
      }
      requests.push_back(got);
      send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
      close(c);
    }
  }
  std::vector<std::string> answers_;
  int fd_ = -1;
  std::thread thread_;
};

void DeliverUntil(LoadRig& rig, std::size_t entries) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (rig.log.size() < entries && std::chrono::steady_clock::now() < until) {
    DeliverLoads(rig.vm);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST(LoadVarsTest, SendAndLoadPostsToALoopbackServerAndReadsItsAnswer) {
  LoopbackServer server({"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n\r\nscore=42&ok",
                         "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\nnope"});
  LoadRig rig;
  Object* out = rig.NewLoadVars();
  out->Set("player", Value::Str("A B"));
  const Value add[] = {Value::Str("X-Game"), Value::Str("quiz")};
  rig.vm.CallMethod(out, "addRequestHeader", add);
  Object* in = rig.Logged();
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port);
  const Value args[] = {Value::Str(base + "/scores?table=1"), Value::Obj(in)};
  EXPECT_TRUE(rig.vm.CallMethod(out, "sendAndLoad", args).boolean);
  DeliverUntil(rig, 2);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onHTTPStatus 200", "onLoad true"}));
  EXPECT_EQ(rig.Str(in, "score"), "42");
  EXPECT_EQ(rig.Str(in, "ok"), "");

  Object* missing = rig.Logged();
  const Value url[] = {Value::Str(base + "/missing")};
  rig.vm.CallMethod(missing, "load", url);
  DeliverUntil(rig, 4);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onHTTPStatus 200", "onLoad true", "onHTTPStatus 404", "onLoad false"}));
  ASSERT_EQ(server.requests.size(), 2u);
  const std::string& post = server.requests[0];
  EXPECT_EQ(post.substr(0, post.find("\r\n")), "POST /scores?table=1 HTTP/1.0");
  EXPECT_NE(post.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_NE(post.find("\r\nX-Game: quiz\r\n"), std::string::npos);
  EXPECT_EQ(post.substr(post.find("\r\n\r\n") + 4), "player=A%20B");
  EXPECT_EQ(server.requests[1].substr(0, server.requests[1].find("\r\n")), "GET /missing HTTP/1.0");
}

TEST(LoadVarsTest, LoadVariablesSetsStringsOnTheTarget) {
  LoadRig rig;
  rig.dir.Write("v.txt", "loaded=yes&n=5");
  Object* target = rig.vm.NewObject();
  rig.host.keep.push_back(target);
  Object* source = rig.vm.NewObject();
  source->Set("q", Value::Str("1"));
  LoadVariables(rig.vm, target, "v.txt", 1, source);  // GET adds ?q=1, which a file ignores
  DeliverLoads(rig.vm);
  EXPECT_TRUE(target->Get("loaded").IsUndefined());
  DeliverLoads(rig.vm);
  EXPECT_EQ(rig.Str(target, "loaded"), "yes");
  EXPECT_EQ(rig.Str(target, "n"), "5");
}

// In a player: loadVariables as the action a movie compiles it to (GetURL2 with the load-
// variables and target flags, 0xC0, the target "_root"), and as MovieClip.loadVariables.
TEST(LoadVarsTest, PlayersLoadVariablesOntoClipsFromTheMovieFolder) {
  TempDir dir;
  dir.Write("one.txt", "a=1&from=action");
  dir.Write("two.txt", "b=2");
  Asm script;
  script.Push("one.txt", "_root").Raw({0x9A, 0x01, 0x00, 0xC0}).Stop();
  const auto movie = LoadMovie(test::MovieFile(20, 20, {test::DoActionTag(script.Code()), test::ShowFrame()})).movie;
  ASSERT_TRUE(movie);
  Player player(movie);
  player.SetDataPaths(dir.path, {}, (dir.path / "m.swf").string());
  player.Tick();
  Clip* root = player.ObjectOf(player.rootInstance());
  const Value url[] = {Value::Str("two.txt")};
  player.machine().CallMethod(root, "loadVariables", url);
  EXPECT_TRUE(root->Get("a").IsUndefined());
  player.Tick();
  EXPECT_EQ(player.machine().ToString(root->Get("from")), "action");
  EXPECT_TRUE(root->Get("b").IsUndefined());  // started a frame later, so it arrives a frame later
  player.Tick();
  EXPECT_EQ(player.machine().ToString(root->Get("b")), "2");
}

}  // namespace
}  // namespace quillon::player::avm1::testing
