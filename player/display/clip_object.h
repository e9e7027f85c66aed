// A scriptable stage object (a sprite, the main timeline, a button, a text field or a video)
// as scripts see it: its properties, children by name, timeline control, and the MovieClip
// prototype's methods.
#pragma once

#include <memory>

#include "avm1/machine.h"
#include "geometry.h"

namespace quillon::player {

class Player;
struct Instance;
struct DisplayObject;
enum class InstanceKind : std::uint8_t;

class ClipObject : public avm1::Clip {
 public:
  ClipObject(avm1::Machine& vm, Player& player, std::weak_ptr<Instance> instance, InstanceKind kind);

  std::string TypeOf() const override;
  std::string_view ClassName() const override;

  // A reference outlives its clip: once the clip is gone it stands for whatever clip now has
  // the same target path, as the reference player's references do.
  bool Alive() const override;
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
  void StartDrag(bool lockCenter, const double* bounds) override;
  void StopDrag() override;

  bool GetSpecial(std::string_view name, avm1::Value& out) override;
  bool SetSpecial(std::string_view name, const avm1::Value& value) override;
  void SpecialKeys(std::vector<std::string>& out) override;

  // The instance this object stands for now: its own while it is on the stage, else the one
  // its path finds; null when there is none.
  std::shared_ptr<Instance> instance() const;
  // Keeps the target path the clip has now, for when it is gone: references find clips by
  // the path they had when the reference was made.
  void RememberPath();
  Player& player() const { return player_; }

 private:
  ClipObject* Current();
  DisplayObject* Display();
  Player& player_;
  std::weak_ptr<Instance> instance_;
  InstanceKind kind_;
  std::string path_;  // the dot path while it was on the stage
};

// MovieClip.prototype and the MovieClip class.
void InstallMovieClip(avm1::Machine& vm, Player& player);

// Whether a display object's shapes cover a point given in its parent's coordinates (twips).
bool ObjectHit(const DisplayObject& obj, Point parentPoint);

// What a display object covers in its own coordinates (twips: left, top, right, bottom);
// false when it covers nothing.
bool OwnBounds(const DisplayObject& obj, double out[4]);

// The matrix from an instance's coordinates to the stage's.
Matrix StageMatrix(Player& player, Instance& inst);

// The top left corner of what an instance covers, on the stage (twips); false when it covers nothing.
bool StageTopLeft(Player& player, Instance& inst, Point& out);

// The property number of a name such as "_x", or -1.
int ClipPropertyIndex(std::string_view name);

}  // namespace quillon::player
