// The button's tooltip window, read back from the system tooltip control under Wine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tooltip.h"

namespace quillon::winsvc {
namespace {

struct WindowDestroy {
  void operator()(HWND w) const {
    if (IsWindow(w)) DestroyWindow(w);
  }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

struct Form {
  OwnedWindow form;
  HWND button = nullptr;
  Form() {
    form.reset(CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr));
    button = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 20, 97, 33, form.get(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  }
};

// What CreateToolTip sends to tip windows, seen by a call-window hook on this thread (the tooltip
// control of Wine does not hand titles back).
struct SentTitle {
  bool sent = false;
  WPARAM icon = 0;
  std::wstring text;
};
SentTitle* g_title = nullptr;

LRESULT CALLBACK RecordSends(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && g_title != nullptr && call->message == TTM_SETTITLEW) {
    g_title->sent = true;
    g_title->icon = call->wParam;
    g_title->text = reinterpret_cast<const wchar_t*>(call->lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookFree {
  void operator()(HHOOK h) const { UnhookWindowsHookEx(h); }
};

// Creates the tip and reports the title message it sent, if any.
SentTitle CreateRecordingTitle(ToolTip& tip, HWND button, const ToolTipSettings& s) {
  SentTitle title;
  g_title = &title;
  std::unique_ptr<std::remove_pointer_t<HHOOK>, HookFree> hook(
      SetWindowsHookExW(WH_CALLWNDPROC, RecordSends, nullptr, GetCurrentThreadId()));
  EXPECT_TRUE(hook);
  EXPECT_TRUE(tip.CreateToolTip(button, s));
  g_title = nullptr;
  return title;
}

// The one tool registered with a tip window.
TTTOOLINFOW ToolOf(HWND tip, std::wstring& text) {
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  text.assign(512, L'\0');
  tool.lpszText = text.data();
  EXPECT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
  text.resize(wcslen(text.c_str()));
  return tool;
}

TEST(ToolTip, StandardTipHasTheRecordedStylesAndTool) {
  Form f;
  ToolTip tip;
  ToolTipSettings s;
  s.text = L"选择一个 SWF 文件";
  const SentTitle title = CreateRecordingTitle(tip, f.button, s);
  EXPECT_FALSE(title.sent) << "no title and no icon: no title message";
  const HWND w = tip.window();
  ASSERT_NE(w, nullptr);
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  EXPECT_STREQ(cls, L"tooltips_class32");
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE));
  EXPECT_EQ(style & 0x43u, 0x03u) << "TTS_ALWAYSTIP | TTS_NOPREFIX, no balloon";
  EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE) & 0x400000, 0) << "right-to-left layout without RightToLeft";
  EXPECT_NE(GetClassLongPtrW(w, GCL_STYLE) & 0x20000u, 0u) << "the tooltip class casts no drop shadow";
  EXPECT_EQ(GetAncestor(GetWindow(w, GW_OWNER), GA_ROOT), f.form.get());

  EXPECT_EQ(SendMessageW(w, TTM_GETTOOLCOUNT, 0, 0), 1);
  std::wstring text;
  const TTTOOLINFOW tool = ToolOf(w, text);
  EXPECT_EQ(tool.uFlags & 0x11u, 0x11u) << "TTF_IDISHWND | TTF_SUBCLASS";
  EXPECT_EQ(tool.hwnd, f.button);
  EXPECT_EQ(tool.uId, reinterpret_cast<UINT_PTR>(f.button));
  EXPECT_EQ(text, s.text);
  EXPECT_EQ(SendMessageW(w, TTM_GETMAXTIPWIDTH, 0, 0), 240);
  EXPECT_EQ(SendMessageW(w, TTM_GETTIPBKCOLOR, 0, 0), static_cast<LRESULT>(GetSysColor(COLOR_INFOBK)))
      << "TooltipBackColor 0 must keep the system colour";
}

TEST(ToolTip, BalloonWithTitleIconColourAndRightToLeft) {
  Form f;
  ToolTip tip;
  ToolTipSettings s;
  s.text = L"a long tip that wraps";
  s.title = L"开始";
  s.icon = 1;
  s.type = 1;
  s.backColor = 0x00336699;  // explicit: red 0x99, green 0x66, blue 0x33
  s.rightToLeft = true;
  const SentTitle title = CreateRecordingTitle(tip, f.button, s);
  const HWND w = tip.window();
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)) & 0x43u, 0x43u) << "balloon style missing";
  EXPECT_NE(GetWindowLongPtrW(w, GWL_EXSTYLE) & 0x400000, 0) << "RightToLeft gives WS_EX_LAYOUTRTL";
  EXPECT_EQ(SendMessageW(w, TTM_GETTIPBKCOLOR, 0, 0), RGB(0x99, 0x66, 0x33));
  EXPECT_TRUE(title.sent);
  EXPECT_EQ(title.text, L"开始");
  EXPECT_EQ(title.icon, 1u) << "the info icon goes beside the title";
}

TEST(ToolTip, SystemBackColourIsTranslated) {
  Form f;
  ToolTip tip;
  ToolTipSettings s;
  s.backColor = 0x80000000u | COLOR_HIGHLIGHT;
  ASSERT_TRUE(tip.CreateToolTip(f.button, s));
  EXPECT_EQ(SendMessageW(tip.window(), TTM_GETTIPBKCOLOR, 0, 0), static_cast<LRESULT>(GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_EQ(TranslateOleColour(0x80000000u | COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(TranslateOleColour(0x80000000u | 0x7F), 0xFFFFFFFFu) << "an invalid system colour translates to -1";
}

TEST(ToolTip, TitleMessageFollowsTitleStorageAndIcon) {
  Form f;
  ToolTip tip;
  ToolTipSettings s;
  s.title = L"";
  s.icon = 2;
  SentTitle title = CreateRecordingTitle(tip, f.button, s);
  EXPECT_TRUE(title.sent) << "an assigned empty title with an icon still sets the icon";
  EXPECT_EQ(title.icon, 2u);
  EXPECT_EQ(title.text, L"");

  s.title.reset();  // never assigned: nothing to send, even with an icon
  title = CreateRecordingTitle(tip, f.button, s);
  EXPECT_FALSE(title.sent);

  s.title = L"";
  s.icon = 0;  // empty and no icon
  title = CreateRecordingTitle(tip, f.button, s);
  EXPECT_FALSE(title.sent);

  s.title = L"标题";
  title = CreateRecordingTitle(tip, f.button, s);
  EXPECT_TRUE(title.sent);
  EXPECT_EQ(title.icon, 0u);
  EXPECT_EQ(title.text, L"标题");
}

TEST(ToolTip, NoNewTipForDisabledPressedOrMenuJustClosed) {
  Form f;
  ToolTip tip;
  ToolTipSettings s;
  ASSERT_TRUE(tip.CreateToolTip(f.button, s));
  const HWND first = tip.window();
  for (int which = 0; which < 3; ++which) {
    ToolTipSettings blocked;
    blocked.enabled = which != 0;
    blocked.down = which == 1;
    blocked.menuJustClosed = which == 2;
    EXPECT_FALSE(tip.CreateToolTip(f.button, blocked)) << "case " << which;
    EXPECT_EQ(tip.window(), first) << "the previous tip must stay untouched, case " << which;
  }
  // Becoming hot again replaces the tip: exactly one tip window per button.
  ASSERT_TRUE(tip.CreateToolTip(f.button, s));
  EXPECT_FALSE(IsWindow(first)) << "the replaced tip window was left behind";
  const HWND second = tip.window();
  tip.Destroy();
  EXPECT_FALSE(IsWindow(second));
}

TEST(ToolTip, GoesAwayWithTheButtonObject) {
  Form f;
  HWND w = nullptr;
  {
    ToolTip tip;
    ASSERT_TRUE(tip.CreateToolTip(f.button, ToolTipSettings{}));
    w = tip.window();
    EXPECT_TRUE(IsWindow(w));
  }
  EXPECT_FALSE(IsWindow(w)) << "a tip outlived its button";
}

}  // namespace
}  // namespace quillon::winsvc
