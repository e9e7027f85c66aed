// Text an input method is composing: it is typed into the focused field as it changes, each
// version replacing the one before, and becomes the field's own text when it is committed.
#include <algorithm>

#include "display/clip_object.h"
#include "display/player.h"
#include "display/text_field.h"

namespace quillon::player {

Instance* Player::EndComposition(bool keep) {
  auto inst = composition_.field.lock();
  const std::size_t start = composition_.start, length = composition_.length;
  composition_ = {};
  if (!inst || !inst->field || inst->detached || inst->unloaded) return nullptr;
  text::Field& f = *inst->field;
  if (!keep && length > 0 && start + length <= f.text.size()) {
    f.selectionBegin = start, f.selectionEnd = start + length;
    TypeIntoField(f, u"");
  }
  return inst.get();
}

void Player::ImePreedit(std::u16string_view text) {
  Instance* inst = Focused();
  if (!inst || !inst->field || inst->field->readOnly) {
    composition_ = {};
    return;
  }
  if (composition_.field.lock().get() != inst) composition_ = {};
  EndComposition(false);
  text::Field& f = *inst->field;
  const std::size_t start = std::min(f.selectionBegin, f.selectionEnd);
  if (!text.empty() && TypeIntoField(f, text)) {
    composition_ = {inst->weak_from_this(), start, f.selectionEnd - start};
  }
  TextChanged(*inst);
}

void Player::ImeCommit(std::u16string_view text) {
  Instance* inst = Focused();
  if (composition_.field.lock().get() != inst) composition_ = {};
  EndComposition(false);
  if (!inst || !inst->field || inst->field->readOnly) return;
  if (!text.empty()) TypeIntoField(*inst->field, text);
  TextChanged(*inst);
  NotifyFieldChanged(*vm_, *static_cast<ClipObject*>(ObjectOf(*inst)));
  RunQueue();
}

}  // namespace quillon::player
