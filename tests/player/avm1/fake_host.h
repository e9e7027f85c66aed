// A host with no display: the machine's own tests run scripts and built-ins against it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/machine.h"

namespace quillon::player::avm1::testing {

class FakeHost : public Host {
 public:
  Clip* Root() override { return root; }
  Clip* Level(int n) override { return n == 0 ? root : nullptr; }
  double Milliseconds() override { return now; }
  void GetUrl(const std::string& url, const std::string& target, int) override { urls.push_back(url + " " + target); }
  void TraceRoots(std::vector<Object*>& out) override {
    if (root) out.push_back(root);
    out.insert(out.end(), keep.begin(), keep.end());
  }

  double now = 0;
  std::vector<std::string> urls;
  Clip* root = nullptr;       // none unless a test gives one
  std::vector<Object*> keep;  // what a test holds across a collection
};

// A machine of the given version with its trace lines collected.
struct Rig {
  explicit Rig(int version = 8) : vm(host, version) {
    vm.onTrace = [this](const std::string& line) { lines.push_back(line); };
  }
  FakeHost host;
  Machine vm;
  std::vector<std::string> lines;
};

// A timeline with nothing drawn: variables live on it, it may have a parent and children, and
// every display property reads as undefined.
class TimelineClip : public Clip {
 public:
  explicit TimelineClip(Machine& vm, TimelineClip* parent = nullptr, std::string name = {})
      : Clip(vm), parent_(parent), name_(std::move(name)) {
    SetProto(vm.movieClipProto ? vm.movieClipProto : vm.objectProto);
    if (parent_) parent_->children_.push_back(this);
  }
  bool Alive() const override { return true; }
  Clip* ParentClip() override { return parent_; }
  Clip* ChildByName(std::string_view name) override {
    for (TimelineClip* c : children_)
      if (c->name_ == name) return c;
    return nullptr;
  }
  std::string DotPath() override { return parent_ ? parent_->DotPath() + "." + name_ : "_level0"; }
  std::string SlashPath() override {
    if (!parent_) return "/";
    const std::string up = parent_->SlashPath();
    return (up == "/" ? up : up + "/") + name_;
  }
  Value GetIndexed(int) override { return {}; }
  void SetIndexed(int, const Value&) override {}
  void GotoFrame(const Value&, bool, int) override {}
  void Play() override {}
  void Stop() override {}
  void NextFrame() override {}
  void PrevFrame() override {}
  int CurrentFrame() override { return 1; }
  int FramesLoaded() override { return 1; }
  void Duplicate(const std::string&, int) override {}
  void Remove() override {}
  void Trace(std::vector<Object*>& out) override {
    Clip::Trace(out);
    if (parent_) out.push_back(parent_);
    out.insert(out.end(), children_.begin(), children_.end());
  }

 private:
  TimelineClip* parent_;
  std::string name_;
  std::vector<TimelineClip*> children_;
};

// A Rig whose host has a root timeline ("_level0") for scripts to run on.
struct ClipRig : Rig {
  explicit ClipRig(int version = 8) : Rig(version) {
    root = vm.Make<TimelineClip>();
    host.root = root;
  }
  // Runs one action block (ending with its end action) with `clip` as its timeline.
  void Run(std::vector<std::uint8_t> block, Clip* clip = nullptr) {
    vm.RunScript(std::make_shared<const std::vector<std::uint8_t>>(std::move(block)), clip ? clip : root);
  }
  TimelineClip* root = nullptr;
};

}  // namespace quillon::player::avm1::testing
