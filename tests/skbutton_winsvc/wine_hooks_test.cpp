// Hooks on real windows, mouse-leave requests and the probes, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "window_hooks.h"
#include "window_services.h"

namespace quillon::winsvc {
namespace {

constexpr UINT kPing = WM_APP + 1;

std::vector<std::string>* g_procLog = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing && g_procLog != nullptr) {
    g_procLog->push_back("proc");
    return static_cast<LRESULT>(wParam * 2);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* TestClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillonHookTestWindow";
    return RegisterClassW(&wc);
  }();
  EXPECT_NE(atom, 0);
  return L"QuillonHookTestWindow";
}

struct WindowDestroy {
  void operator()(HWND w) const {
    if (IsWindow(w)) DestroyWindow(w);
  }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

OwnedWindow MakeWindow(DWORD style = WS_OVERLAPPEDWINDOW, HWND parent = nullptr) {
  return OwnedWindow(CreateWindowExW(0, TestClass(), L"hook test", style, 10, 10, 200, 120, parent, nullptr,
                                     GetModuleHandleW(nullptr), nullptr));
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

struct Instance final : SubclassTarget {
  std::string name;
  std::vector<std::string>* log;
  std::vector<UINT> seen;
  WindowServices services;
  Instance(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(&l), services(*this) {}
  void Subclass_WndProc(bool before, bool&, LResult& result, WindowHandle&, MessageNumber& message, WParam&,
                        LParam&) override {
    seen.push_back(message);
    if (message == kPing) {
      log->push_back(name + (before ? " before" : " after"));
      if (!before) result += 1;
    }
  }
};

LONG_PTR ProcOf(HWND w) { return GetWindowLongPtrW(w, GWLP_WNDPROC); }

// Several buttons hook one form; whatever order they go away in, the rest keep their messages and
// the form's own procedure keeps running; the last one puts the form's procedure back.
TEST(WindowHooks, SeveralInstancesRemovedInEveryOrder) {
  std::vector<std::string> log;
  g_procLog = &log;
  std::vector<int> order{0, 1, 2};
  do {
    OwnedWindow form = MakeWindow();
    ASSERT_TRUE(form);
    const LONG_PTR original = ProcOf(form.get());
    std::vector<std::unique_ptr<Instance>> buttons;
    for (const char* n : {"a", "b", "c"}) {
      buttons.push_back(std::make_unique<Instance>(n, log));
      buttons.back()->services.HookWindow(form.get());
      buttons.back()->services.HookMessage(form.get(), kPing, kPhaseAfter);
    }
    EXPECT_EQ(WindowHookHost::Instance().HookCount(form.get()), 3u);
    log.clear();
    EXPECT_EQ(SendMessageW(form.get(), kPing, 5, 0), 13) << "each after phase adds one to the procedure's 10";
    EXPECT_EQ(log, (std::vector<std::string>{"proc", "a after", "b after", "c after"}));
    std::vector<bool> live(3, true);
    for (int gone : order) {
      buttons[gone]->services.UnhookAll();
      live[gone] = false;
      log.clear();
      const auto remaining = std::count(live.begin(), live.end(), true);
      EXPECT_EQ(SendMessageW(form.get(), kPing, 5, 0), 10 + remaining);
      std::vector<std::string> expected{"proc"};
      for (int i = 0; i < 3; ++i) {
        if (live[i]) expected.push_back(buttons[i]->name + " after");
      }
      EXPECT_EQ(log, expected) << "removal order " << order[0] << order[1] << order[2];
    }
    EXPECT_EQ(ProcOf(form.get()), original) << "the form's own procedure did not come back";
    EXPECT_FALSE(WindowHookHost::Instance().HasChain(form.get()));
  } while (std::next_permutation(order.begin(), order.end()));
  g_procLog = nullptr;
}

std::vector<std::string>* g_dragLog = nullptr;
WNDPROC g_savedProc = nullptr;

LRESULT CALLBACK DragLikeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing && g_dragLog != nullptr) g_dragLog->push_back("drag");
  return CallWindowProcW(g_savedProc, window, message, wParam, lParam);
}

// The form's drag procedure sits over the buttons' hooks; buttons that go away before it is taken
// off must leave it a working procedure to call, and its removal must end in the original one.
TEST(WindowHooks, ForeignProcedureOnTopKeepsWorking) {
  std::vector<std::string> log;
  g_procLog = &log;
  g_dragLog = &log;
  OwnedWindow form = MakeWindow();
  const LONG_PTR original = ProcOf(form.get());
  Instance a("a", log), b("b", log);
  a.services.HookWindow(form.get());
  a.services.HookMessage(form.get(), kPing, kPhaseAfter);
  g_savedProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(form.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DragLikeProc)));
  b.services.HookWindow(form.get());  // installed while the drag procedure is on top
  b.services.HookMessage(form.get(), kPing, kPhaseAfter);
  log.clear();
  SendMessageW(form.get(), kPing, 1, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"drag", "proc", "a after", "b after"}));

  a.services.UnhookAll();
  b.services.UnhookAll();
  EXPECT_EQ(ProcOf(form.get()), reinterpret_cast<LONG_PTR>(&DragLikeProc)) << "a procedure over ours was replaced";
  log.clear();
  EXPECT_EQ(SendMessageW(form.get(), kPing, 3, 0), 6);
  EXPECT_EQ(log, (std::vector<std::string>{"drag", "proc"}));

  SetWindowLongPtrW(form.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_savedProc));
  log.clear();
  EXPECT_EQ(SendMessageW(form.get(), kPing, 3, 0), 6);
  EXPECT_EQ(ProcOf(form.get()), original) << "the idle forwarder stayed after the drag procedure left";
  g_procLog = nullptr;
  g_dragLog = nullptr;
}

TEST(WindowHooks, WindowDestroyedBeforeItsHooksAreRemoved) {
  std::vector<std::string> log;
  Instance a("a", log);
  OwnedWindow w = MakeWindow();
  const HWND handle = w.get();
  a.services.HookWindow(handle);
  a.services.HookMessage(handle, WM_NCDESTROY, kPhaseAfter);
  w.reset();
  EXPECT_NE(std::find(a.seen.begin(), a.seen.end(), static_cast<UINT>(WM_NCDESTROY)), a.seen.end())
      << "the last message of the window never reached the hook";
  EXPECT_FALSE(WindowHookHost::Instance().HasChain(handle));
  a.services.UnhookAll();  // must be harmless
  EXPECT_EQ(a.services.hooks().hooked(), 0u);
}

// The run-time subscriptions: leave and theme on the button, activation on the form, all after the
// window's own handling, nothing else.
TEST(WindowServices, StartSubclassingSubscribesTheLoadMessages) {
  std::vector<std::string> log;
  OwnedWindow form = MakeWindow();
  HWND button = CreateWindowExW(0, TestClass(), L"", WS_CHILD | WS_VISIBLE, 5, 5, 50, 20, form.get(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(button, nullptr);
  Instance a("a", log);
  a.services.StartSubclassing(button, form.get());
  EXPECT_TRUE(a.services.mouseLeaveAvailable()) << "user32 exports TrackMouseEvent";
  a.seen.clear();
  SendMessageW(button, WM_MOUSELEAVE, 0, 0);
  SendMessageW(button, WM_THEMECHANGED, 0, 0);
  SendMessageW(button, WM_APP + 7, 0, 0);  // not subscribed
  SendMessageW(form.get(), WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(form.get(), WM_NCACTIVATE, FALSE, 0);  // not subscribed for a plain form
  std::vector<UINT> expected{WM_MOUSELEAVE, WM_THEMECHANGED, WM_ACTIVATE};
  EXPECT_EQ(a.seen, expected);

  Instance mdi("m", log);
  mdi.services.StartSubclassing(button, form.get(), true);
  mdi.seen.clear();
  SendMessageW(form.get(), WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(form.get(), WM_NCACTIVATE, FALSE, 0);
  EXPECT_EQ(mdi.seen, std::vector<UINT>{WM_NCACTIVATE}) << "an MDI child form reports activation by WM_NCACTIVATE";
  mdi.services.UnhookAll();
  a.services.UnhookAll();
  EXPECT_FALSE(WindowHookHost::Instance().HasChain(button));
  EXPECT_FALSE(WindowHookHost::Instance().HasChain(form.get()));
}

TEST(WindowServices, TrackMouseLeaveDeliversOneLeave) {
  std::vector<std::string> log;
  OwnedWindow w = MakeWindow(WS_POPUP);
  ShowWindow(w.get(), SW_SHOWNA);  // not activated: no wait for a window manager at destruction
  Instance a("a", log);
  SetCursorPos(60, 60);  // inside the window
  Pump();
  a.services.HookWindow(w.get());
  a.services.HookMessage(w.get(), WM_MOUSELEAVE, kPhaseAfter);
  a.services.TrackMouseLeave(w.get());
  EXPECT_TRUE(a.seen.empty()) << "TrackMouseLeave before the probe asked for a leave";
  a.services.ProbeMouseLeave();
  a.services.TrackMouseLeave(w.get());
  SetCursorPos(600, 600);  // well away from it
  // The system checks the pointer on a timer of its hover time.
  for (int i = 0; i < 150 && a.seen.empty(); ++i) {
    Sleep(20);
    Pump();
  }
  for (int i = 0; i < 10; ++i) {  // and no second one follows
    Sleep(20);
    Pump();
  }
  EXPECT_EQ(std::count(a.seen.begin(), a.seen.end(), static_cast<UINT>(WM_MOUSELEAVE)), 1)
      << "the cursor left the window: one WM_MOUSELEAVE was due";
  a.services.UnhookAll();
}

TEST(Probes, ExportsAndLibraries) {
  EXPECT_TRUE(IsFunctionExported("TrackMouseEvent", L"User32"));
  EXPECT_FALSE(IsFunctionExported("NoSuchFunctionAnywhere", L"User32"));
  EXPECT_FALSE(IsFunctionExported("TrackMouseEvent", L"no_such_library.dll"));
  const bool wasLoaded = GetModuleHandleW(L"msimg32.dll") != nullptr;
  EXPECT_TRUE(IsFunctionExported("GradientFill", L"msimg32.dll"));
  if (!wasLoaded) {
    EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr) << "the probe left its library loaded";
  }
  EXPECT_TRUE(IsDllAvailable(L"uxtheme.dll"));
  EXPECT_FALSE(IsDllAvailable(L"no_such_library.dll"));
}

TEST(Probes, ThemeAnswersAreTakenOnce) {
  int libraryAsked = 0, themeAsked = 0;
  bool themedNow = true;
  ThemeQueries queries;
  queries.dllAvailable = [&](const std::wstring& file) {
    ++libraryAsked;
    EXPECT_EQ(file, L"uxtheme.dll");
    return true;
  };
  queries.appThemed = [&] {
    ++themeAsked;
    return themedNow;
  };
  ThemeProbe probe(queries);
  EXPECT_TRUE(probe.IsThemed());
  themedNow = false;  // a later theme change does not change the answer
  EXPECT_TRUE(probe.IsThemed());
  EXPECT_TRUE(probe.IsThemeLibraryPresent());
  EXPECT_EQ(libraryAsked, 1);
  EXPECT_EQ(themeAsked, 1);

  ThemeQueries noLibrary;
  noLibrary.dllAvailable = [](const std::wstring&) { return false; };
  noLibrary.appThemed = [&] {
    ++themeAsked;
    return true;
  };
  ThemeProbe bare(noLibrary);
  EXPECT_FALSE(bare.IsThemed()) << "without the theme library nothing is themed";
  EXPECT_EQ(themeAsked, 1) << "IsAppThemed was asked without the library";

  // The real probe answers consistently.
  ThemeProbe real;
  const bool first = real.IsThemed();
  EXPECT_EQ(real.IsThemed(), first);
}

}  // namespace
}  // namespace quillon::winsvc
