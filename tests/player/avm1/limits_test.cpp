// The machine against hostile scripts: endless loops and deep recursion stop that script only,
// huge lengths and doubled strings stay bounded, and the collector frees what nothing reaches
// while keeping what the timeline holds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pthread.h>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "avm1/assembler.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

Asm& CallNamed(Asm& a, const std::string& fn, std::vector<PushValue> args = {}) {
  std::vector<PushValue> v(args.rbegin(), args.rend());
  v.emplace_back(static_cast<std::int32_t>(args.size()));
  v.emplace_back(fn);
  return a.Push(v).CallFunction();
}

// Each script as the player runs one: a frame of its own.
void RunFrame(ClipRig& rig, const Asm& a) {
  rig.vm.BeginFrame();
  rig.Run(a.Bytes());
}

// depth(n) = n <= 0 ? 0 : 1 + depth(n - 1), counting its calls in the timeline's `calls`.
Asm Recursion() {
  Asm a;
  a.Push("calls", 0).SetVariable();
  a.DefineFunction("depth", {"n"}, [](Asm& f) {
    f.Push("calls", "calls").GetVariable().Increment().SetVariable();
    f.Push("n").GetVariable().Push(0).Greater().If("recurse");
    f.Push(0).Return();
    // 1 + depth(n - 1)
    f.Label("recurse").Push(1).Push("n").GetVariable().Decrement().Push(1, "depth").CallFunction().Add2().Return();
  });
  return a;
}

TEST(MachineLimitsTest, AnEndlessLoopStopsAndTheNextScriptRuns) {
  ClipRig rig;
  rig.vm.scriptSeconds = 0.2;
  Asm loop;
  loop.Push("start").Trace().Label("top").Jump("top");
  const auto start = Clock::now();
  RunFrame(rig, loop);
  EXPECT_LT(SecondsSince(start), 1.2);
  EXPECT_EQ(rig.lines, (Lines{"start"}));

  Asm next;
  next.Push("next").Trace();
  RunFrame(rig, next);
  EXPECT_EQ(rig.lines, (Lines{"start", "next"}));
}

TEST(MachineLimitsTest, AnEndlessLoopOfLongActionsStopsAsSoon) {
  // Each turn reads a constant pool of 16,000 strings: the clock is looked at after a few turns,
  // not after thousands of them.
  ClipRig rig;
  rig.vm.scriptSeconds = 0.2;
  Asm loop;
  loop.Push("start").Trace().Label("top").ConstantPool(std::vector<std::string>(16000, "a")).Jump("top");
  const auto start = Clock::now();
  RunFrame(rig, loop);
  EXPECT_LT(SecondsSince(start), 1.2);
  EXPECT_EQ(rig.lines, (Lines{"start"}));
}

TEST(MachineLimitsTest, AFrameOutOfTimeStartsNoMoreScriptsAndTheNextFrameDoes) {
  ClipRig rig;
  rig.vm.scriptSeconds = 60;
  rig.vm.frameSeconds = 0.2;
  Asm loop;
  loop.Push("start").Trace().Label("top").Jump("top");
  Asm later;
  later.Push("later").Trace();
  const auto start = Clock::now();
  RunFrame(rig, loop);
  // Each of these would run up to the next look at the clock: in a frame out of time, none starts.
  for (int i = 0; i < 1000; ++i) rig.Run(later.Bytes());
  EXPECT_LT(SecondsSince(start), 1.2);
  EXPECT_EQ(rig.lines, (Lines{"start"}));
  RunFrame(rig, later);
  EXPECT_EQ(rig.lines, (Lines{"start", "later"}));
}

TEST(MachineLimitsTest, AnEndlessLoopInAFunctionStopsAndCallsWorkAfter) {
  ClipRig rig;
  rig.vm.scriptSeconds = 0.2;
  Asm a;
  a.DefineFunction("spin", {}, [](Asm& f) { f.Label("spin").Push(true).If("spin"); });
  a.DefineFunction("twice", {"x"}, [](Asm& f) { f.Push("x").GetVariable().Push(2).Multiply().Return(); });
  CallNamed(a, "spin").Pop();
  a.Push("unreached").Trace();
  const auto start = Clock::now();
  RunFrame(rig, a);
  EXPECT_LT(SecondsSince(start), 1.2);
  EXPECT_TRUE(rig.lines.empty());

  Asm b;
  CallNamed(b, "twice", {21}).Trace();
  RunFrame(rig, b);
  EXPECT_EQ(rig.lines, (Lines{"42"}));
  EXPECT_FALSE(rig.vm.InScript());
}

// Sanitizer builds need some 36 KB of native stack per script call; the recursion runs on a
// thread with room for that, as the stub gives its player a large stack.
void OnLargeStack(void (*body)()) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 64u << 20);
  pthread_t thread;
  auto trampoline = [](void* f) -> void* {
    reinterpret_cast<void (*)()>(f)();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, reinterpret_cast<void*>(body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

void RecursionStopsAt256Levels();

TEST(MachineLimitsTest, RecursionStopsAt256Levels) { OnLargeStack(RecursionStopsAt256Levels); }

// with blocks nest without any call: thousands of them deep must stop the script, not the
// player's native stack.
TEST(MachineLimitsTest, DeeplyNestedWithBlocksStopTheScript) {
  ClipRig rig;
  constexpr std::size_t kLevels = 4000;
  constexpr std::size_t kLevel = 14;  // push 0, InitObject, With
  std::vector<std::uint8_t> code;
  for (std::size_t i = 0; i < kLevels; ++i) {
    const std::size_t inner = (kLevels - 1 - i) * kLevel + 2;  // the rest, and the trace below
    const std::uint8_t level[] = {0x96, 5, 0, 7, 0, 0, 0, 0, 0x43, 0x94, 2, 0,
                                  static_cast<std::uint8_t>(inner), static_cast<std::uint8_t>(inner >> 8)};
    code.insert(code.end(), std::begin(level), std::end(level));
  }
  code.insert(code.end(), {0x96, 0x04, 0x00, 0x00, 'i', 'n', 0x00, 0x26});  // trace("in") at the bottom
  code.push_back(0);
  ASSERT_LT(code.size(), 65536u);
  // With the machine's own budget the nesting either fits or stops: never a crash.
  rig.Run(code);
  rig.lines.clear();
  rig.vm.nativeStackBytes = 64u << 10;
  rig.Run(code);
  EXPECT_TRUE(rig.lines.empty()) << "the innermost block was reached past the stack budget";
  rig.Run(Asm().Push("after").Trace().Bytes());
  EXPECT_EQ(rig.lines, (Lines{"after"}));
}

void RecursionStopsAt256Levels() {
  ClipRig rig;
  rig.vm.nativeStackBytes = 48u << 20;  // the thread has 64 MiB
  RunFrame(rig, Recursion());

  Asm deep;
  deep.Push("start").Trace();
  CallNamed(deep, "depth", {300}).Trace();
  deep.Push("after").Trace();
  RunFrame(rig, deep);
  EXPECT_EQ(rig.lines, (Lines{"start"}));
  const double calls = rig.vm.ToNumber(rig.root->Get("calls"));
  EXPECT_GE(calls, 250);
  EXPECT_LE(calls, 256);

  // A script cannot catch it.
  rig.lines.clear();
  Asm guarded;
  guarded.Try([](Asm& t) { CallNamed(t, "depth", {300}).Pop(); }, "e", [](Asm& c) { c.Push("caught").Trace(); });
  guarded.Push("after try").Trace();
  RunFrame(rig, guarded);
  EXPECT_EQ(std::count(rig.lines.begin(), rig.lines.end(), "caught"), 0);
  EXPECT_EQ(std::count(rig.lines.begin(), rig.lines.end(), "after try"), 0);

  // The machine goes on, and what stays below the bound runs whole.
  rig.lines.clear();
  Asm shallow;
  CallNamed(shallow, "depth", {200}).Trace();
  RunFrame(rig, shallow);
  EXPECT_EQ(rig.lines, (Lines{"200"}));
  EXPECT_FALSE(rig.vm.InScript());
}

#if defined(__linux__)
std::size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}
#endif

TEST(MachineLimitsTest, HugeArrayLengthsDoNotTakeGigabytes) {
#if !defined(__linux__)
  GTEST_SKIP() << "reads the resident size from /proc";
#else
  ClipRig rig;
  constexpr std::size_t kBudget = std::size_t{1} << 30;
  const std::size_t before = ResidentBytes();
  // Arrays a script keeps, each told it is a billion long, by both ways of saying so. Checked
  // after each one, so a failure stops before the machine runs out of memory.
  for (int i = 0; i < 8; ++i) {
    const std::string name = "a" + std::to_string(i);
    Asm a;
    if (i % 2 == 0) {
      a.Push(name, 1e9, 1, "Array").NewObject().SetVariable();
    } else {
      a.Push(name, 0, "Array").NewObject().SetVariable();
      a.Push(name).GetVariable().Push("length", 1e9).SetMember();
    }
    a.Push(name).GetVariable().Push("length").GetMember().Push(0).Greater().Trace();
    RunFrame(rig, a);
    ASSERT_TRUE(rig.root->Get(name).IsObject()) << name;
    const std::size_t now = ResidentBytes();
    if (now > before + kBudget) {
      ADD_FAILURE() << (i + 1) << " arrays of length 1e9 took " << ((now - before) >> 20) << " MiB";
      break;
    }
  }
  EXPECT_EQ(std::count(rig.lines.begin(), rig.lines.end(), "true"), static_cast<long>(rig.lines.size()));
#endif
}

TEST(MachineLimitsTest, AStringDoubledForeverStopsGrowing) {
  ClipRig rig;
  // Only the length bound may stop these.
  rig.vm.scriptSeconds = 60;
  rig.vm.frameSeconds = 60;
  for (const std::uint8_t join : {kAdd2, kStringAdd}) {
    Asm a;
    a.Push("s", "0123456789abcdef").SetVariable();
    a.Label("top").Push("s", "s").GetVariable().Push("s").GetVariable().Op(join).SetVariable().Jump("top");
    const auto start = Clock::now();
    RunFrame(rig, a);
    EXPECT_LT(SecondsSince(start), 20);
    const Value s = rig.root->Get("s");
    ASSERT_TRUE(s.IsString());
    EXPECT_LE(s.string.size(), kMaxStringLength);
    EXPECT_GE(s.string.size(), kMaxStringLength / 2);
  }
  rig.root->Set("s", Value::Undefined());
  Asm next;
  next.Push("next").Trace();
  RunFrame(rig, next);
  EXPECT_EQ(rig.lines, (Lines{"next"}));
}

// ---- the collector ----

TEST(MachineCollectorTest, UnreachableObjectsAreFreed) {
  ClipRig rig;
  rig.vm.Collect();
  const std::size_t base = rig.vm.ObjectCount();
  Asm a;
  a.Push("i", 0).SetVariable();
  a.Label("top").Push("i").GetVariable().Push(1000).Less2().Not().If("done");
  a.Push("o", 0).InitObject().SetVariable();
  a.Push("i", "i").GetVariable().Increment().SetVariable().Jump("top");
  a.Label("done");
  RunFrame(rig, a);
  EXPECT_GE(rig.vm.ObjectCount(), base + 1000);
  rig.vm.Collect();
  EXPECT_LE(rig.vm.ObjectCount(), base + 1);
  EXPECT_TRUE(rig.root->Get("o").IsObject());
}

TEST(MachineCollectorTest, WhatTheTimelineReachesSurvives) {
  ClipRig rig;
  Asm a;
  a.Push("keep", "tag", "kept", 1).InitObject().SetVariable();
  // A counter whose count lives only in its closure.
  a.DefineFunction("makeCounter", {}, [](Asm& f) {
    f.Push("count", 0).DefineLocal();
    f.DefineFunction("", {}, [](Asm& inner) {
      inner.Push("count", "count").GetVariable().Increment().SetVariable();
      inner.Push("count").GetVariable().Return();
    });
    f.Return();
  });
  a.Push("c", 0, "makeCounter").CallFunction().SetVariable();
  CallNamed(a, "c").Pop();
  // A getter and a watcher held only by their objects.
  a.Push("o", 0).InitObject().SetVariable();
  a.Push(nullptr);
  a.DefineFunction("", {}, [](Asm& f) { f.Push("from getter").Return(); });
  a.Push("p", 3, "o").GetVariable().Push("addProperty").CallMethod().Pop();
  a.Push("w", 0).InitObject().SetVariable();
  a.DefineFunction("", {"name", "old", "v"}, [](Asm& f) { f.Push("v").GetVariable().Push("!").Add2().Return(); });
  a.Push("x", 2, "w").GetVariable().Push("watch").CallMethod().Pop();
  RunFrame(rig, a);

  rig.vm.Collect();
  Asm b;
  b.Push("keep").GetVariable().Push("tag").GetMember().Trace();
  CallNamed(b, "c").Trace();
  b.Push("o").GetVariable().Push("p").GetMember().Trace();
  b.Push("w").GetVariable().Push("x", "set").SetMember();
  b.Push("w").GetVariable().Push("x").GetMember().Trace();
  RunFrame(rig, b);
  EXPECT_EQ(rig.lines, (Lines{"kept", "2", "from getter", "set!"}));
}

TEST(MachineCollectorTest, WhatTheTimelineRegistersAndStackHoldIsNotFreedUnderThem) {
  ClipRig rig;
  rig.vm.Collect();
  const std::size_t base = rig.vm.ObjectCount();
  Asm a;
  a.Push("tag", "in a register", 1).InitObject().StoreRegister(1).Pop();
  a.Push("tag", "left on the stack", 1).InitObject();
  rig.Run(a.Bytes());
  rig.vm.Collect();
  // Either the machine still holds them, and then they are alive, or it let them go.
  std::size_t held = rig.vm.globalRegisters[1].IsObject() ? 1 : 0;
  for (const Value& v : rig.vm.stack) held += v.IsObject() ? 1 : 0;
  EXPECT_EQ(rig.vm.ObjectCount(), base + held);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
