// System, Stage, Key, Mouse and Selection: what scripts read, how settings normalise, and what
// the player's hooks tell listeners.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/array.h"
#include "avm1/classes/extra_classes.h"
#include "avm1/fake_host.h"

namespace quillon::player::avm1::testing {
namespace {

Value N(double n) { return Value::Num(n); }
Value S(const char* s) { return Value::Str(s); }

struct SystemRig : Rig {
  explicit SystemRig(int version = 8) : Rig(version) {
    if (vm.global()->Get("Stage").IsUndefined()) InstallExtraClasses(vm, vm.global());
  }
  Object* Global(const char* name) { return vm.ToObject(vm.global()->Get(name)); }
  Value Call(const char* object, const char* method, std::vector<Value> args = {}) {
    return vm.CallMethod(Global(object), method, args);
  }
  // A listener that logs each message it hears (with its first argument) and registers itself.
  Object* Listen(const char* object, std::vector<const char*> messages) {
    Object* l = vm.NewObject();
    for (const char* m : messages) {
      const std::string name = m;
      l->DefineNative(name, [this, name](avm1::Call& c) {
        log.push_back(c.Count() ? name + " " + vm.ToString(c.Arg(0)) : name);
        return Value::Undefined();
      });
    }
    EXPECT_TRUE(Call(object, "addListener", {Value::Obj(l)}).boolean);
    return l;
  }
  std::vector<std::string> log;
};

std::string Align(SystemRig& rig, const Value& v) {
  rig.Global("Stage")->Set("align", v);
  return rig.vm.ToString(rig.Global("Stage")->Get("align"));
}

std::string ScaleMode(SystemRig& rig, const Value& v) {
  rig.Global("Stage")->Set("scaleMode", v);
  return rig.vm.ToString(rig.Global("Stage")->Get("scaleMode"));
}

TEST(SystemTest, SandboxFollowsTheMovieNetworkFlag) {
  SystemRig rig;
  Object* security = rig.vm.ToObject(rig.Global("System")->Get("security"));
  EXPECT_EQ(rig.vm.ToString(security->Get("sandboxType")), "localWithFile");
  SetMovieUsesNetwork(rig.vm, true);
  EXPECT_EQ(rig.vm.ToString(security->Get("sandboxType")), "localWithNetwork");
  EXPECT_EQ(rig.vm.TypeOf(security->Get("allowDomain")), "function");
}

TEST(SystemTest, CapabilitiesAreFixedFacts) {
  SystemRig rig;
  Object* caps = rig.vm.ToObject(rig.Global("System")->Get("capabilities"));
  EXPECT_EQ(rig.vm.ToString(caps->Get("version")), std::string(kPlayerVersion));
  EXPECT_EQ(rig.vm.ToString(caps->Get("playerType")), "StandAlone");
  EXPECT_TRUE(caps->Get("hasAudio").boolean);
  caps->Set("os", S("Other"));
  EXPECT_NE(rig.vm.ToString(caps->Get("os")), "Other");
  EXPECT_NE(rig.vm.ToString(caps->Get("serverString")).find("V=WIN%20"), std::string::npos);
  EXPECT_FALSE(rig.Global("System")->Get("useCodepage").boolean);
  // The singletons are plain objects: no prototype property, Object's toString.
  for (const char* name : {"System", "Stage", "Key", "Mouse", "Selection"}) {
    EXPECT_EQ(rig.vm.ToString(rig.vm.global()->Get(name)), "[object Object]") << name;
    EXPECT_TRUE(rig.Global(name)->Get("prototype").IsUndefined()) << name;
  }
}

TEST(SystemTest, StageAlignKeepsEdgeLettersInOrder) {
  SystemRig rig;
  EXPECT_EQ(Align(rig, S("")), "");
  EXPECT_EQ(Align(rig, S("BL")), "LB");
  EXPECT_EQ(Align(rig, S("rrtT")), "TR");
  EXPECT_EQ(Align(rig, S("xyz")), "");
  EXPECT_EQ(Align(rig, S("b?l!t#r")), "LTRB");
  EXPECT_EQ(Align(rig, Value::Bool(false)), "L");  // "false" holds an l
  EXPECT_EQ(Align(rig, Value::Bool(true)), "TR");
}

TEST(SystemTest, StageScaleModeNormalises) {
  SystemRig rig;
  EXPECT_EQ(rig.vm.ToString(rig.Global("Stage")->Get("scaleMode")), "showAll");
  EXPECT_EQ(ScaleMode(rig, S("NOSCALE")), "noScale");
  EXPECT_EQ(ScaleMode(rig, S("exactfit")), "exactFit");
  EXPECT_EQ(ScaleMode(rig, S("noBorder")), "noBorder");
  EXPECT_EQ(ScaleMode(rig, S("no scale")), "showAll");
  EXPECT_EQ(ScaleMode(rig, N(1)), "showAll");
}

TEST(SystemTest, StageSizeIsTheMovieUnlessNotScaled) {
  SystemRig rig;
  Object* stage = rig.Global("Stage");
  SetStageSize(rig.vm, 640, 480);
  SetViewportSize(rig.vm, 800, 600);
  rig.Listen("Stage", {"onResize"});
  EXPECT_EQ(stage->Get("width").number, 640);
  EXPECT_EQ(stage->Get("height").number, 480);
  stage->Set("width", N(1));  // read-only
  EXPECT_EQ(stage->Get("width").number, 640);

  stage->Set("scaleMode", S("noScale"));
  EXPECT_EQ(stage->Get("width").number, 800);
  EXPECT_EQ(stage->Get("height").number, 600);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onResize"}));
  stage->Set("scaleMode", S("noScale"));  // no change, no event
  SetViewportSize(rig.vm, 1024, 600);
  EXPECT_EQ(stage->Get("width").number, 1024);
  EXPECT_EQ(rig.log.size(), 2u);
  stage->Set("scaleMode", S("exactFit"));
  EXPECT_EQ(rig.log.size(), 3u);
  SetViewportSize(rig.vm, 300, 300);  // the view does not change a scaled stage's size
  EXPECT_EQ(rig.log.size(), 3u);

  // Same size either way: switching modes is no resize.
  SystemRig same;
  SetStageSize(same.vm, 100, 100);
  SetViewportSize(same.vm, 100, 100);
  same.Listen("Stage", {"onResize"});
  same.Global("Stage")->Set("scaleMode", S("noScale"));
  EXPECT_TRUE(same.log.empty());
}

TEST(SystemTest, DisplayStateAsksThePlayerAndTellsListeners) {
  SystemRig rig;
  Object* stage = rig.Global("Stage");
  std::vector<bool> asked;
  SetFullScreenHandler(rig.vm, [&](bool full) { asked.push_back(full); });
  rig.Listen("Stage", {"onFullScreen"});
  EXPECT_EQ(rig.vm.ToString(stage->Get("displayState")), "normal");
  stage->Set("displayState", S("big"));
  stage->Set("displayState", S("NORMAL"));
  EXPECT_TRUE(rig.log.empty());
  stage->Set("displayState", S("FullScreen"));
  EXPECT_EQ(rig.vm.ToString(stage->Get("displayState")), "fullScreen");
  EXPECT_EQ(asked, (std::vector<bool>{true}));
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onFullScreen true"}));
  // The player leaving full screen itself: listeners hear, the handler is not asked.
  SetFullScreen(rig.vm, false);
  EXPECT_EQ(rig.vm.ToString(stage->Get("displayState")), "normal");
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(rig.log.back(), "onFullScreen false");
  EXPECT_TRUE(stage->Get("showMenu").boolean);
  stage->Set("showMenu", N(0));
  EXPECT_FALSE(stage->Get("showMenu").boolean);
}

TEST(SystemTest, KeyStateFollowsInput) {
  SystemRig rig;
  Object* key = rig.Global("Key");
  EXPECT_EQ(key->Get("DELETEKEY").number, 46);
  EXPECT_EQ(key->Get("PGDN").number, 34);
  EXPECT_EQ(key->Get("CAPSLOCK").number, 20);
  key->Set("UP", N(0));
  EXPECT_EQ(key->Get("UP").number, 38);
  EXPECT_FALSE(rig.Call("Key", "isDown", {N(65)}).boolean);
  EXPECT_EQ(rig.Call("Key", "getCode").number, 0);

  rig.Listen("Key", {"onKeyDown", "onKeyUp"});
  KeyPressed(rig.vm, 65, 97);
  EXPECT_TRUE(rig.Call("Key", "isDown", {N(65)}).boolean);
  EXPECT_TRUE(rig.Call("Key", "isToggled", {S("65")}).boolean);
  EXPECT_EQ(rig.Call("Key", "getCode").number, 65);
  EXPECT_EQ(rig.Call("Key", "getAscii").number, 97);
  KeyReleased(rig.vm, 65, 97);
  EXPECT_FALSE(rig.Call("Key", "isDown", {N(65)}).boolean);
  EXPECT_TRUE(rig.Call("Key", "isToggled", {N(65)}).boolean);
  KeyPressed(rig.vm, 65, 97);
  EXPECT_FALSE(rig.Call("Key", "isToggled", {N(65)}).boolean);  // each press flips it
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onKeyDown", "onKeyUp", "onKeyDown"}));

  // Buttons count as keys 1, 2, 4 but only reach Mouse listeners.
  rig.log.clear();
  rig.Listen("Mouse", {"onMouseDown", "onMouseUp", "onMouseWheel"});
  MouseButton(rig.vm, 1, true);
  EXPECT_TRUE(rig.Call("Key", "isDown", {N(1)}).boolean);
  EXPECT_TRUE(rig.Call("Key", "isToggled", {N(1)}).boolean);
  MouseButton(rig.vm, 1, false);
  MouseButton(rig.vm, 2, true);
  MouseWheel(rig.vm, -3);
  EXPECT_TRUE(rig.Call("Key", "isDown", {N(2)}).boolean);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"onMouseDown", "onMouseUp", "onMouseWheel -3"}));
  // Out-of-range codes are simply not down.
  EXPECT_FALSE(rig.Call("Key", "isDown", {N(1e300)}).boolean);
  EXPECT_FALSE(rig.Call("Key", "isDown", {N(-1)}).boolean);
  KeyPressed(rig.vm, 100000, 0);
}

TEST(SystemTest, ListenerFailuresStayInsideInput) {
  SystemRig rig;
  Object* l = rig.vm.NewObject();
  l->DefineNative("onKeyDown", [](Call&) -> Value { throw ScriptThrow{Value::Str("boom")}; });
  rig.Call("Key", "addListener", {Value::Obj(l)});
  EXPECT_NO_THROW(KeyPressed(rig.vm, 32, 32));
  EXPECT_FALSE(rig.vm.InScript());
  EXPECT_TRUE(rig.Call("Key", "isDown", {N(32)}).boolean);
}

TEST(SystemTest, MouseAndSelectionWithoutInput) {
  SystemRig rig;
  EXPECT_TRUE(MouseShown(rig.vm));
  EXPECT_EQ(rig.Call("Mouse", "hide").number, 1);
  EXPECT_EQ(rig.Call("Mouse", "hide").number, 0);
  EXPECT_FALSE(MouseShown(rig.vm));
  EXPECT_EQ(rig.Call("Mouse", "show").number, 0);
  EXPECT_TRUE(MouseShown(rig.vm));

  EXPECT_TRUE(rig.Call("Selection", "getFocus").IsNull());
  EXPECT_EQ(rig.Call("Selection", "getBeginIndex").number, -1);
  EXPECT_EQ(rig.Call("Selection", "getCaretIndex").number, -1);
  for (const char* name : {"Stage", "Key", "Mouse", "Selection"}) {
    auto* list = dynamic_cast<ArrayObject*>(rig.vm.ToObject(rig.Global(name)->Get("_listeners")));
    ASSERT_NE(list, nullptr) << name;
    EXPECT_TRUE(list->items.empty()) << name;
    EXPECT_EQ(rig.vm.TypeOf(rig.Global(name)->Get("broadcastMessage")), "function") << name;
  }
}

TEST(SystemTest, MachinesKeepTheirOwnState) {
  SystemRig a, b;
  SetStageSize(a.vm, 10, 20);
  SetStageSize(b.vm, 30, 40);
  KeyPressed(a.vm, 70, 0);
  EXPECT_EQ(a.Global("Stage")->Get("width").number, 10);
  EXPECT_EQ(b.Global("Stage")->Get("width").number, 30);
  EXPECT_FALSE(b.Call("Key", "isDown", {N(70)}).boolean);
  // Deleting the hidden state gives defaults back, never a dangling one.
  a.vm.global()->SetAllFlags(0, kDontDelete | kReadOnly);
  for (const std::string& name : std::vector<std::string>{"\x01" "system"}) a.vm.global()->Delete(name);
  a.vm.Collect();
  EXPECT_EQ(a.Global("Stage")->Get("width").number, 550);
  EXPECT_FALSE(a.Call("Key", "isDown", {N(70)}).boolean);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
