// A host with no display: the machine's own tests run scripts and built-ins against it.
#pragma once

#include <string>
#include <vector>

#include "avm1/machine.h"

namespace quillon::player::avm1::testing {

class FakeHost : public Host {
 public:
  Clip* Root() override { return nullptr; }
  Clip* Level(int) override { return nullptr; }
  double Milliseconds() override { return now; }
  void GetUrl(const std::string& url, const std::string& target, int) override { urls.push_back(url + " " + target); }
  void TraceRoots(std::vector<Object*>&) override {}

  double now = 0;
  std::vector<std::string> urls;
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

}  // namespace quillon::player::avm1::testing
