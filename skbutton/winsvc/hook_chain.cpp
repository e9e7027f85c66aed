#include "hook_chain.h"

#include <algorithm>

namespace quillon::winsvc {

void MessageList::Add(MessageNumber message) {
  if (message == kEveryMessage) {
    count_ = -1;
    return;
  }
  messages_.push_back(message);
  // Once every message is wanted, later additions are recorded but change nothing.
  if (count_ >= 0) count_ += 1;
}

void MessageList::Clear() {
  count_ = 0;
  messages_.clear();
}

bool MessageList::Matches(MessageNumber message) const {
  if (count_ < 0) return true;
  const auto end = messages_.begin() + std::min<std::ptrdiff_t>(count_, std::ssize(messages_));
  return std::find(messages_.begin(), end, message) != end;
}

std::shared_ptr<Hook> HookChain::Push(SubclassTarget& owner) {
  auto hook = std::make_shared<Hook>();
  hook->owner = &owner;
  hook->inner = outermost_;
  outermost_ = hook;
  return hook;
}

void HookChain::Remove(const std::shared_ptr<Hook>& hook) {
  if (!hook) return;
  if (outermost_ == hook) {
    outermost_ = hook->inner;
  } else {
    for (Hook* h = outermost_.get(); h != nullptr; h = h->inner.get()) {
      if (h->inner == hook) {
        h->inner = hook->inner;
        break;
      }
    }
  }
  // hook->inner stays: a dispatch already inside this hook still forwards to the rest of the chain.
  hook->owner = nullptr;
  hook->before.Clear();
  hook->after.Clear();
}

std::size_t HookChain::size() const {
  std::size_t n = 0;
  for (const Hook* h = outermost_.get(); h != nullptr; h = h->inner.get()) ++n;
  return n;
}

namespace {

LResult Run(const std::shared_ptr<Hook>& hook, WindowHandle window, MessageNumber message, WParam wParam,
            LParam lParam, const OriginalProcedure& original) {
  if (!hook) return original.Call(window, message, wParam, lParam);
  LResult result = 0;
  bool handled = false;
  if (hook->owner != nullptr && hook->before.Matches(message)) {
    hook->owner->Subclass_WndProc(true, handled, result, window, message, wParam, lParam);
  }
  if (!handled) {
    // Copied: the callback may remove hooks, and a removed hook's link must outlive this call.
    const std::shared_ptr<Hook> inner = hook->inner;
    result = Run(inner, window, message, wParam, lParam, original);
  }
  if (hook->owner != nullptr && hook->after.Matches(message)) {
    hook->owner->Subclass_WndProc(false, handled, result, window, message, wParam, lParam);
  }
  return result;
}

}  // namespace

LResult HookChain::Dispatch(WindowHandle window, MessageNumber message, WParam wParam, LParam lParam,
                            const OriginalProcedure& original) const {
  const std::shared_ptr<Hook> outermost = outermost_;
  return Run(outermost, window, message, wParam, lParam, original);
}

int HookTable::HookWindow(WindowHandle window) {
  std::size_t index = records_.size();
  for (std::size_t i = records_.size(); i-- > 0;) {
    if (records_[i].window == 0) {
      index = i;
      break;
    }
  }
  if (index == records_.size()) records_.emplace_back();
  Record& record = records_[index];
  record.window = window;
  record.hook = host_.Attach(window, owner_);
  return static_cast<int>(index);
}

HookTable::Record* HookTable::Find(WindowHandle window) {
  if (window == 0) return nullptr;
  for (std::size_t i = records_.size(); i-- > 0;) {
    if (records_[i].window == window) return &records_[i];
  }
  return nullptr;
}

void HookTable::HookMessage(WindowHandle window, MessageNumber message, int phase) {
  Record* record = Find(window);
  if (record == nullptr || !record->hook) return;
  if (phase & kPhaseBefore) record->hook->before.Add(message);
  if (phase & kPhaseAfter) record->hook->after.Add(message);
}

void HookTable::UnhookWindow(WindowHandle window) {
  Record* record = Find(window);
  if (record == nullptr) return;
  const std::shared_ptr<Hook> hook = std::move(record->hook);
  record->window = 0;
  record->hook.reset();
  if (hook) host_.Detach(window, hook);
}

void HookTable::UnhookAll() {
  for (std::size_t i = records_.size(); i-- > 0;) {
    if (records_[i].window != 0) UnhookWindow(records_[i].window);
  }
}

std::size_t HookTable::hooked() const {
  return static_cast<std::size_t>(
      std::count_if(records_.begin(), records_.end(), [](const Record& r) { return r.window != 0; }));
}

}  // namespace quillon::winsvc
