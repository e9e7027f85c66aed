// A placed sprite (or the main timeline) as scripts see it: its properties, children by name,
// timeline control, and the MovieClip prototype's timeline methods.
#pragma once

#include <memory>

#include "avm1/machine.h"

namespace quillon::player {

class Player;
struct Instance;
struct DisplayObject;

class ClipObject : public avm1::Clip {
 public:
  ClipObject(avm1::Machine& vm, Player& player, std::weak_ptr<Instance> instance);

  bool Alive() const override { return !instance_.expired(); }
  avm1::Clip* ParentClip() override;
  avm1::Clip* ChildByName(std::string_view name) override;
  std::string DotPath() override;
  std::string SlashPath() override;
  avm1::Value GetIndexed(int index) override;
  void SetIndexed(int index, const avm1::Value& value) override;
  void GotoFrame(const avm1::Value& frame, bool play, int bias) override;
  void Play() override;
  void Stop() override;
  void NextFrame() override;
  void PrevFrame() override;
  int CurrentFrame() override;
  int FramesLoaded() override;
  void Duplicate(const std::string& name, int depth) override;
  void Remove() override;

  bool GetSpecial(std::string_view name, avm1::Value& out) override;
  bool SetSpecial(std::string_view name, const avm1::Value& value) override;

  std::shared_ptr<Instance> instance() const { return instance_.lock(); }

 private:
  DisplayObject* Display();
  Player& player_;
  std::weak_ptr<Instance> instance_;
};

// MovieClip.prototype with the timeline methods; the display issue adds the rest.
void InstallMovieClip(avm1::Machine& vm, Player& player);

// The property number of a name such as "_x", or -1.
int ClipPropertyIndex(std::string_view name);

}  // namespace quillon::player
