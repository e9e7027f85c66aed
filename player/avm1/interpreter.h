// The action interpreter: runs timeline blocks and script function bodies.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

class Interpreter {
 public:
  static void RunTimeline(Machine& vm, std::shared_ptr<const std::vector<std::uint8_t>> code, std::size_t begin,
                          std::size_t end, Clip* clip, std::vector<Object*> extraScope);
  static Value CallScript(Machine& vm, Function* fn, const Value& thisValue, std::span<const Value> args,
                          Object* home);
};

}  // namespace quillon::player::avm1
