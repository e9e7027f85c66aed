// The AVM1 subset that timeline scripts use: frame control, the stack, the constant pool,
// variables, simple arithmetic and branches, a few movie clip properties and getURL.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "display/player.h"

namespace quillon::player {


class Avm1 {
 public:
  Avm1(Player& player, std::shared_ptr<Instance> target);
  void Run(std::span<const std::uint8_t> code);

 private:
  Value Pop();
  void Push(Value v) { stack_.push_back(std::move(v)); }
  Instance* Resolve(const std::string& path);
  DisplayObject* ResolveObject(const std::string& path);
  void Goto(Instance& inst, const Value& frame, bool play, int bias);
  Value GetProperty(const std::string& path, int index);
  void SetProperty(const std::string& path, int index, double value);
  void CallMethod(const Value& object, const std::string& method, std::vector<Value>& args);

  Player& player_;
  std::shared_ptr<Instance> base_;
  std::shared_ptr<Instance> target_;
  std::vector<Value> stack_;
  std::vector<std::string> pool_;
  Value registers_[4];
};

// Runs at most this many actions per script, so a loop in a movie cannot hang the player.
inline constexpr int kMaxActionsPerScript = 100000;

}  // namespace quillon::player
