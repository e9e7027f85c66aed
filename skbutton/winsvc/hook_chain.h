// Window hooks of skbutton instances: the message lists, the chain of hooks on one window and the
// per-instance hook table. Portable bookkeeping; the Win32 side (window_hooks.h) installs one fixed
// window procedure per hooked window and dispatches through the chain kept here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillon::winsvc {

// Integer twins of HWND, UINT, WPARAM, LPARAM and LRESULT, so this file needs no <windows.h>.
using WindowHandle = std::uintptr_t;
using MessageNumber = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Phase mask of HookMessage.
inline constexpr int kPhaseAfter = 1;
inline constexpr int kPhaseBefore = 2;
inline constexpr int kPhaseBoth = 3;
// Registering this message number subscribes a list to every message.
inline constexpr MessageNumber kEveryMessage = 0xFFFFFFFFu;

// What a hook calls back. before is by value; handled and result may be changed in either phase;
// window, message, wParam and lParam are passed by reference and what the before phase leaves in
// them is what the rest of the chain sees.
class SubclassTarget {
 public:
  virtual void Subclass_WndProc(bool before, bool& handled, LResult& result, WindowHandle& window,
                                MessageNumber& message, WParam& wParam, LParam& lParam) = 0;

 protected:
  ~SubclassTarget() = default;
};

// Messages of one phase: count 0 none, -1 every message, n the first n entries.
class MessageList {
 public:
  void Add(MessageNumber message);
  void Clear();
  bool Matches(MessageNumber message) const;
  std::int32_t count() const { return count_; }

 private:
  std::int32_t count_ = 0;
  std::vector<MessageNumber> messages_;
};

// One hook on one window. Once removed it has no owner and only forwards, and it keeps its link to
// the inner part of the chain, so a dispatch that is still running through it ends normally.
struct Hook {
  SubclassTarget* owner = nullptr;  // not owned; the owner removes its hooks before it goes away
  MessageList before;
  MessageList after;
  std::shared_ptr<Hook> inner;  // toward the window's own procedure; null: the procedure itself
};

// Calls the window procedure that lies beneath every hook of a window.
class OriginalProcedure {
 public:
  virtual LResult Call(WindowHandle window, MessageNumber message, WParam wParam, LParam lParam) const = 0;

 protected:
  ~OriginalProcedure() = default;
};

// The hooks on one window, newest outermost. Removal unlinks a hook wherever it sits, so the other
// hooks keep receiving their messages whatever the order of removal.
class HookChain {
 public:
  std::shared_ptr<Hook> Push(SubclassTarget& owner);
  // Unlinks the hook and makes it forward-only. Unknown or already removed hooks are ignored.
  void Remove(const std::shared_ptr<Hook>& hook);
  bool empty() const { return outermost_ == nullptr; }
  std::size_t size() const;

  // The message flow of every hook, outermost first, ending in the original procedure.
  LResult Dispatch(WindowHandle window, MessageNumber message, WParam wParam, LParam lParam,
                   const OriginalProcedure& original) const;

 private:
  std::shared_ptr<Hook> outermost_;
};

// Installs hooks on real windows (Win32) or on test windows.
class HookHost {
 public:
  // Puts a new outermost hook for owner on window.
  virtual std::shared_ptr<Hook> Attach(WindowHandle window, SubclassTarget& owner) = 0;
  virtual void Detach(WindowHandle window, const std::shared_ptr<Hook>& hook) = 0;

 protected:
  ~HookHost() = default;
};

// The hook table of one control instance: one record per hooked window.
class HookTable {
 public:
  HookTable(HookHost& host, SubclassTarget& owner) : host_(host), owner_(owner) {}
  ~HookTable() { UnhookAll(); }
  HookTable(const HookTable&) = delete;
  HookTable& operator=(const HookTable&) = delete;

  // Returns the index of the record used: the free record with the highest index, else a new one.
  int HookWindow(WindowHandle window);
  // Registers message for the window's hook: phase bit 2 the before list, bit 1 the after list.
  // A window without a hook record is ignored.
  void HookMessage(WindowHandle window, MessageNumber message, int phase);
  void UnhookWindow(WindowHandle window);
  void UnhookAll();

  std::size_t records() const { return records_.size(); }
  std::size_t hooked() const;

 private:
  struct Record {
    WindowHandle window = 0;  // 0: free
    std::shared_ptr<Hook> hook;
  };
  Record* Find(WindowHandle window);

  HookHost& host_;
  SubclassTarget& owner_;
  std::vector<Record> records_;
};

}  // namespace quillon::winsvc
