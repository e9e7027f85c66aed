// Hook chains without windows: message flow, several owners on one window, removal in any order.
#include "hook_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillon::winsvc {
namespace {

constexpr MessageNumber kPing = 0x8001, kOther = 0x8002;

using Log = std::vector<std::string>;

// A window procedure that records what reaches it and answers wParam + 1.
struct RecordingProcedure final : OriginalProcedure {
  Log* log;
  explicit RecordingProcedure(Log& l) : log(&l) {}
  LResult Call(WindowHandle, MessageNumber message, WParam wParam, LParam) const override {
    log->push_back("proc " + std::to_string(message) + " " + std::to_string(wParam));
    return static_cast<LResult>(wParam + 1);
  }
};

struct Owner final : SubclassTarget {
  std::string name;
  Log* log;
  std::function<void(bool, bool&, LResult&, WParam&)> react;
  Owner(std::string n, Log& l) : name(std::move(n)), log(&l) {}
  void Subclass_WndProc(bool before, bool& handled, LResult& result, WindowHandle&, MessageNumber& message,
                        WParam& wParam, LParam&) override {
    log->push_back(name + (before ? " before " : " after ") + std::to_string(message));
    if (react) react(before, handled, result, wParam);
  }
};

// Test windows: one chain per handle, the same for every owner.
struct FakeHost final : HookHost {
  std::map<WindowHandle, HookChain> chains;
  std::shared_ptr<Hook> Attach(WindowHandle window, SubclassTarget& owner) override {
    return chains[window].Push(owner);
  }
  void Detach(WindowHandle window, const std::shared_ptr<Hook>& hook) override { chains[window].Remove(hook); }
  LResult Send(WindowHandle window, MessageNumber message, WParam wParam, const OriginalProcedure& proc) {
    return chains[window].Dispatch(window, message, wParam, 0, proc);
  }
};

TEST(MessageList, CountsAndEveryMessage) {
  MessageList list;
  EXPECT_FALSE(list.Matches(kPing)) << "an empty list matched a message";
  list.Add(kPing);
  list.Add(kOther);
  EXPECT_EQ(list.count(), 2);
  EXPECT_TRUE(list.Matches(kPing));
  EXPECT_TRUE(list.Matches(kOther));
  EXPECT_FALSE(list.Matches(7));
  list.Add(kEveryMessage);
  EXPECT_EQ(list.count(), -1);
  EXPECT_TRUE(list.Matches(7)) << "-1 should subscribe every message";
  list.Add(9);
  EXPECT_EQ(list.count(), -1) << "a later message must not turn 'every message' into a count";
  list.Clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(list.Matches(kPing));
}

TEST(HookFlow, BeforeThenProcedureThenAfter) {
  Log log;
  RecordingProcedure proc(log);
  FakeHost host;
  Owner a("a", log);
  HookTable table(host, a);
  table.HookWindow(1);
  table.HookMessage(1, kPing, kPhaseBoth);
  table.HookMessage(1, kOther, kPhaseAfter);

  EXPECT_EQ(host.Send(1, kPing, 4, proc), 5);
  EXPECT_EQ(log, (Log{"a before 32769", "proc 32769 4", "a after 32769"}));
  log.clear();
  host.Send(1, kOther, 0, proc);
  EXPECT_EQ(log, (Log{"proc 32770 0", "a after 32770"})) << "an after-only message ran the before phase";
  log.clear();
  host.Send(1, 3, 0, proc);
  EXPECT_EQ(log, (Log{"proc 3 0"})) << "an unregistered message reached the owner";
}

TEST(HookFlow, HandledSkipsProcedureAndAfterMayChangeResult) {
  Log log;
  RecordingProcedure proc(log);
  FakeHost host;
  Owner a("a", log);
  HookTable table(host, a);
  table.HookWindow(1);
  table.HookMessage(1, kPing, kPhaseBoth);
  a.react = [](bool before, bool& handled, LResult& result, WParam& wParam) {
    if (before && wParam == 0) {
      handled = true;
      result = 42;
    } else if (before) {
      wParam = 100;  // the procedure sees what the before phase left
    } else {
      result += 1000;
    }
  };
  EXPECT_EQ(host.Send(1, kPing, 0, proc), 1042);
  EXPECT_EQ(log, (Log{"a before 32769", "a after 32769"})) << "a handled message still reached the procedure";
  log.clear();
  EXPECT_EQ(host.Send(1, kPing, 5, proc), 1101);
  EXPECT_EQ(log[1], "proc 32769 100");
}

// Three owners hook one window, as the buttons of a form do; every removal order keeps the others
// and the window's own procedure receiving messages.
TEST(HookChainRemoval, EveryOrderKeepsTheRestOfTheChain) {
  std::vector<int> order{0, 1, 2};
  do {
    Log log;
    RecordingProcedure proc(log);
    FakeHost host;
    Owner owners[3] = {Owner("a", log), Owner("b", log), Owner("c", log)};
    std::vector<std::unique_ptr<HookTable>> tables;
    for (auto& o : owners) {
      tables.push_back(std::make_unique<HookTable>(host, o));
      tables.back()->HookWindow(1);
      tables.back()->HookMessage(1, kPing, kPhaseAfter);
    }
    host.Send(1, kPing, 0, proc);
    EXPECT_EQ(log, (Log{"proc 32769 0", "a after 32769", "b after 32769", "c after 32769"}))
        << "after callbacks run innermost (first installed) first";
    std::vector<bool> live(3, true);
    for (int gone : order) {
      tables[gone]->UnhookAll();
      live[gone] = false;
      log.clear();
      host.Send(1, kPing, 0, proc);
      Log expected{"proc 32769 0"};
      for (int i = 0; i < 3; ++i) {
        if (live[i]) expected.push_back(owners[i].name + " after 32769");
      }
      EXPECT_EQ(log, expected) << "after removing " << owners[gone].name << " in order " << order[0] << order[1]
                               << order[2];
    }
    EXPECT_TRUE(host.chains[1].empty());
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(HookChainRemoval, BeforeCallbacksRunNewestFirst) {
  Log log;
  RecordingProcedure proc(log);
  FakeHost host;
  Owner a("a", log), b("b", log);
  HookTable ta(host, a), tb(host, b);
  ta.HookWindow(1);
  ta.HookMessage(1, kPing, kPhaseBefore);
  tb.HookWindow(1);
  tb.HookMessage(1, kPing, kPhaseBefore);
  host.Send(1, kPing, 0, proc);
  EXPECT_EQ(log, (Log{"b before 32769", "a before 32769", "proc 32769 0"}));
}

// An owner that unhooks everything from inside its callback (a button destroyed by its own click)
// must not cut the message off from the rest of the chain.
TEST(HookChainRemoval, RemovalDuringDispatch) {
  Log log;
  RecordingProcedure proc(log);
  FakeHost host;
  Owner a("a", log), b("b", log), c("c", log);
  HookTable ta(host, a), tb(host, b), tc(host, c);
  for (HookTable* t : {&ta, &tb, &tc}) {
    t->HookWindow(1);
    t->HookMessage(1, kPing, kPhaseBoth);
  }
  // c is outermost; in its before phase it removes itself and b (beneath it).
  c.react = [&](bool before, bool&, LResult&, WParam&) {
    if (before) {
      tc.UnhookAll();
      tb.UnhookAll();
    }
  };
  EXPECT_EQ(host.Send(1, kPing, 1, proc), 2);
  EXPECT_EQ(log, (Log{"c before 32769", "a before 32769", "proc 32769 1", "a after 32769"}))
      << "removed hooks must only forward, and the remaining one must still run";
  EXPECT_EQ(host.chains[1].size(), 1u);
}

TEST(HookTable, RecordsAreReusedFromTheHighestFreeIndex) {
  Log log;
  FakeHost host;
  Owner a("a", log);
  HookTable table(host, a);
  EXPECT_EQ(table.HookWindow(10), 0);
  EXPECT_EQ(table.HookWindow(20), 1);
  EXPECT_EQ(table.HookWindow(30), 2);
  table.UnhookWindow(10);
  table.UnhookWindow(20);
  EXPECT_EQ(table.HookWindow(40), 1) << "the free record with the highest index is taken";
  EXPECT_EQ(table.HookWindow(50), 0);
  EXPECT_EQ(table.HookWindow(60), 3) << "no free record: the table grows by one";
  EXPECT_EQ(table.records(), 4u);
  EXPECT_EQ(table.hooked(), 4u);
  table.UnhookAll();
  EXPECT_EQ(table.hooked(), 0u);
  for (auto& [window, chain] : host.chains) EXPECT_TRUE(chain.empty()) << "window " << window << " kept a hook";
}

TEST(HookTable, MessagesGoToTheNewestRecordOfAWindowAndUnknownWindowsAreIgnored) {
  Log log;
  RecordingProcedure proc(log);
  FakeHost host;
  Owner a("a", log);
  HookTable table(host, a);
  table.HookWindow(1);
  table.HookWindow(1);  // the same window twice: two hooks, registrations go to the second
  table.HookMessage(1, kPing, kPhaseAfter);
  table.HookMessage(2, kPing, kPhaseAfter);  // never hooked: nothing happens
  host.Send(1, kPing, 0, proc);
  EXPECT_EQ(log, (Log{"proc 32769 0", "a after 32769"}));
  table.UnhookWindow(1);
  log.clear();
  host.Send(1, kPing, 0, proc);
  EXPECT_EQ(log, (Log{"proc 32769 0"})) << "the registered hook was not the one removed first";
  EXPECT_EQ(host.chains[1].size(), 1u);
}

TEST(HookTable, DestructionUnhooksEverything) {
  Log log;
  FakeHost host;
  {
    Owner a("a", log);
    HookTable table(host, a);
    table.HookWindow(1);
    table.HookWindow(2);
  }
  EXPECT_TRUE(host.chains[1].empty());
  EXPECT_TRUE(host.chains[2].empty());
}

}  // namespace
}  // namespace quillon::winsvc
