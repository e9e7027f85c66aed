// The main window as a user meets it: one running copy, a borderless topmost window that
// drags by its own surface, the close glyph, the panel and its shell buttons. Runs under
// Wine with a display.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "main_window.h"
#include "movetitle.h"
#include "public.h"
#include "shell_actions.h"

namespace quillon::app {
namespace {

constexpr char kHoldArgument[] = "--hold-instance";

class RecordingShell final : public Shell {
 public:
  std::vector<ShellCall> calls;
  std::intptr_t Execute(const ShellCall& call) override {
    calls.push_back(call);
    return 42;
  }
};

// Removes the WM_QUIT that destroying the main window posts, so later tests' loops run.
void DrainMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

LPARAM ScreenPoint(HWND hwnd, POINT client) {
  ClientToScreen(hwnd, &client);
  return MAKELPARAM(client.x, client.y);
}

LRESULT HitTest(HWND hwnd, POINT client) { return SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenPoint(hwnd, client)); }

// ---- single instance ------------------------------------------------------------------

std::wstring TestInstanceName() { return L"Local\\Quillon.Test." + std::to_wstring(GetCurrentProcessId()); }

TEST(SingleInstance, ASecondCopyIsToldAndTheNameFreesWithTheFirst) {
  const std::wstring name = TestInstanceName();
  {
    const SingleInstance first(name.c_str());
    EXPECT_FALSE(first.AnotherRuns());
    const SingleInstance second(name.c_str());
    EXPECT_TRUE(second.AnotherRuns()) << "a second copy must end while the first runs";
    const SingleInstance third(name.c_str());
    EXPECT_TRUE(third.AnotherRuns()) << "a copy that ended must not free the first one's name";
  }
  const SingleInstance later(name.c_str());
  EXPECT_FALSE(later.AnotherRuns()) << "after the first copy ends the program must start again";
}

TEST(SingleInstance, AKilledCopyLeavesNothingThatBlocksTheNext) {
  const std::wstring name = TestInstanceName() + L".killed";
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --hold-instance " + name;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  const UniqueHandle process(pi.hProcess), thread(pi.hThread);
  bool held = false;
  for (int i = 0; i < 200 && !held; ++i) {
    held = SingleInstance(name.c_str()).AnotherRuns();
    if (!held) Sleep(50);
  }
  ASSERT_TRUE(held) << "the helper copy never took the name";
  ASSERT_TRUE(TerminateProcess(process.get(), 3));
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(SingleInstance(name.c_str()).AnotherRuns()) << "a killed copy must not keep the program from starting";
}

// ---- the drag procedure on a window of its own ----------------------------------------

LRESULT hitAnswer = HTCLIENT;
std::vector<UINT> hookSaw;
WNDPROC underHook = nullptr;

LRESULT CALLBACK PlainProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCHITTEST) return hitAnswer;
  if (msg == WM_APP) return HTCLIENT;  // the same number, from another message
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Stands for a hook that a button put on the window before the drag procedure.
LRESULT CALLBACK ButtonHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  hookSaw.push_back(msg);
  return CallWindowProcW(underHook, hwnd, msg, wp, lp);
}

TEST(Movetitle, ChainsOnTopOfEarlierHooksAndTurnsOnlyClientHitsIntoCaption) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PlainProcedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuillonMovetitleTest";
  RegisterClassExW(&wc);
  const UniqueWindow window(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 10, 10, 100, 60, nullptr, nullptr,
                                            wc.hInstance, nullptr));
  ASSERT_TRUE(window.get());
  HWND hwnd = window.get();
  underHook = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonHook)));

  movetitle::Install(hwnd);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)), &movetitle::DragProcedure);
  EXPECT_EQ(movetitle::SavedProcedure(), &ButtonHook) << "the drag procedure must sit on top of the button's hook";
  movetitle::Install(hwnd);
  EXPECT_EQ(movetitle::SavedProcedure(), &ButtonHook) << "installing twice must not chain the procedure to itself";

  hookSaw.clear();
  hitAnswer = HTCLIENT;
  EXPECT_EQ(HitTest(hwnd, {5, 5}), HTCAPTION);
  EXPECT_EQ(hookSaw, std::vector<UINT>{WM_NCHITTEST}) << "every message still reaches the earlier hook";
  for (LRESULT other : {LRESULT{HTBOTTOMRIGHT}, LRESULT{HTTRANSPARENT}, LRESULT{HTNOWHERE}, LRESULT{HTCAPTION}}) {
    hitAnswer = other;
    EXPECT_EQ(HitTest(hwnd, {5, 5}), other) << "only a client answer becomes caption";
  }
  EXPECT_EQ(SendMessageW(hwnd, WM_APP, 0, 0), HTCLIENT) << "other messages' results pass unchanged";

  movetitle::Restore(hwnd);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)), &ButtonHook);
  hitAnswer = HTCLIENT;
  EXPECT_EQ(HitTest(hwnd, {5, 5}), HTCLIENT);
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(underHook));
}

// ---- FormT ------------------------------------------------------------------------------

// What the window procedure was when WM_DESTROY reached the form.
HWND watchedForm = nullptr;
WNDPROC procedureAtDestroy = nullptr;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wp, LPARAM lp) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && call->hwnd == watchedForm && call->message == WM_DESTROY)
    procedureAtDestroy = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(call->hwnd, GWLP_WNDPROC));
  return CallNextHookEx(nullptr, code, wp, lp);
}

class MainWindow : public ::testing::Test {
 protected:
  RecordingShell shell;
  FormT form{shell};
  HWND hwnd = nullptr;

  void SetUp() override {
    ASSERT_TRUE(FormT::Register(GetModuleHandleW(nullptr)));
    hwnd = form.Create(GetModuleHandleW(nullptr));
    ASSERT_TRUE(hwnd);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) form.Unload();
    DrainMessages();
  }
  void Show() {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    DrainMessages();
  }
  // A press and release on the button, as the mouse makes them.
  void Click(Control control) {
    HWND item = form.Item(control);
    PostMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    DrainMessages();
  }
  HWND TopChildAt(POINT client) { return ChildWindowFromPointEx(hwnd, client, CWP_SKIPINVISIBLE); }
  COLORREF PixelOf(HWND window, int x, int y) {
    const WindowDc dc(window);
    return GetPixel(dc.get(), x, y);
  }
};

TEST_F(MainWindow, IsBorderlessWith319By196PixelsAndTheProductNameAsCaption) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  for (LONG_PTR frame : {WS_CAPTION, WS_BORDER, WS_DLGFRAME, WS_THICKFRAME, WS_SYSMENU, WS_MINIMIZEBOX,
                         WS_MAXIMIZEBOX})
    EXPECT_FALSE(style & frame) << "frame style bit " << std::hex << frame;
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  EXPECT_FALSE(ex & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  RECT client, outer;
  GetClientRect(hwnd, &client);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(client.right - client.left, 319);
  EXPECT_EQ(client.bottom - client.top, 196);
  EXPECT_EQ(outer.right - outer.left, 319) << "no frame around the client area";
  EXPECT_EQ(outer.bottom - outer.top, 196);
  wchar_t caption[32] = {};
  GetWindowTextW(hwnd, caption, 32);
  EXPECT_STREQ(caption, L"Quillon");
}

TEST_F(MainWindow, LoadMakesItTopmostInPlaceBeforeItIsShown) {
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "Load runs before the window is first shown";
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // First placed in the middle of the work area; becoming topmost keeps that place.
  RECT work, outer;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, (work.left + work.right - 319) / 2);
  EXPECT_EQ(outer.top, (work.top + work.bottom - 196) / 2);
  Show();
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) << "showing keeps it topmost";
}

TEST_F(MainWindow, TheSurfaceDragsTheWindowAndChildWindowsDoNot) {
  Show();
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)), &movetitle::DragProcedure);
  // The buttons hook the form while they load, before Load: the drag procedure sits on their hook.
  EXPECT_NE(movetitle::SavedProcedure(), reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC)));
  EXPECT_NE(movetitle::SavedProcedure(), &movetitle::DragProcedure);
  // The title strip, the icon and the title text are drawn on the window's surface.
  for (POINT p : {POINT{100, 15}, POINT{2, 2}, POINT{15, 15}, POINT{50, 14}, POINT{200, 29}})
    EXPECT_EQ(HitTest(hwnd, p), HTCAPTION) << "surface at " << p.x << "," << p.y;
  // The panel, its buttons and the glyph are child windows with their own client hit.
  EXPECT_EQ(HitTest(form.Picture3(), {150, 2}), HTCLIENT);
  EXPECT_EQ(HitTest(form.Item(Control::cmdc), {20, 15}), HTCLIENT);
  EXPECT_EQ(HitTest(form.PicClose1(), {5, 5}), HTCLIENT);
  POINT onPanel{150, 31 + 2};
  ClientToScreen(hwnd, &onPanel);
  EXPECT_EQ(WindowFromPoint(onPanel), form.Picture3());
}

TEST_F(MainWindow, UnloadPutsTheSavedProcedureBackBeforeTheWindowGoes) {
  // The buttons' hook on the form, which the drag procedure saved; they remove it only after.
  const WNDPROC saved = movetitle::SavedProcedure();
  ASSERT_NE(saved, nullptr);
  watchedForm = hwnd;
  procedureAtDestroy = nullptr;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  form.Unload();
  UnhookWindowsHookEx(hook);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(procedureAtDestroy, saved);
  EXPECT_EQ(movetitle::SavedProcedure(), nullptr);
}

TEST_F(MainWindow, ClosingBySystemCommandAlsoUnloads) {
  // The buttons' hook on the form, which the drag procedure saved; they remove it only after.
  const WNDPROC saved = movetitle::SavedProcedure();
  ASSERT_NE(saved, nullptr);
  watchedForm = hwnd;
  procedureAtDestroy = nullptr;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  UnhookWindowsHookEx(hook);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(procedureAtDestroy, saved);
}

TEST_F(MainWindow, TheGlyphAtRestLiesAboveTheHighlightedOne) {
  Show();
  RECT r;
  for (HWND glyph : {form.PicClose1(), form.PicClose2()}) {
    GetWindowRect(glyph, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 272);
    EXPECT_EQ(r.top, 8);
    EXPECT_EQ(r.right - r.left, 42);
    EXPECT_EQ(r.bottom - r.top, 19);
    EXPECT_EQ(GetParent(glyph), hwnd);
  }
  EXPECT_TRUE(IsWindowVisible(form.PicClose1()));
  EXPECT_TRUE(IsWindowVisible(form.PicClose2()));
  EXPECT_EQ(TopChildAt({290, 15}), form.PicClose1());
  // Its picture: a light-blue plate with a white cross in the middle.
  const COLORREF cross = PixelOf(form.PicClose1(), 21, 9), plate = PixelOf(form.PicClose1(), 8, 9);
  EXPECT_GE(std::min({GetRValue(cross), GetGValue(cross), GetBValue(cross)}), 230);
  EXPECT_GT(GetBValue(plate), GetRValue(plate));
  EXPECT_GT(GetBValue(plate), 180);
}

TEST_F(MainWindow, MovingOntoTheGlyphHighlightsItAndThePanelPutsItBack) {
  Show();
  SendMessageW(form.PicClose1(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(IsWindowVisible(form.PicClose1()));
  EXPECT_TRUE(IsWindowVisible(form.PicClose2()));
  EXPECT_EQ(TopChildAt({290, 15}), form.PicClose2());
  UpdateWindow(hwnd);
  const COLORREF lit = PixelOf(form.PicClose2(), 8, 9);
  EXPECT_GT(GetRValue(lit), 200);
  EXPECT_GT(GetRValue(lit), GetGValue(lit) + 60) << "the highlighted plate is red-orange";

  SendMessageW(form.Picture3(), WM_MOUSEMOVE, 0, MAKELPARAM(150, 5));
  EXPECT_TRUE(IsWindowVisible(form.PicClose1()));
  EXPECT_EQ(TopChildAt({290, 15}), form.PicClose1());

  // The strip puts it back too when a move reaches the window's surface; the icon and the
  // title text above the strip have no handler.
  SendMessageW(form.PicClose1(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(50, 14));
  EXPECT_FALSE(IsWindowVisible(form.PicClose1())) << "a move over the title text is the label's, not the strip's";
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(200, 20));
  EXPECT_TRUE(IsWindowVisible(form.PicClose1()));
}

TEST_F(MainWindow, TheHighlightedGlyphCarriesTheCloseTooltip) {
  HWND tip = form.CloseTooltip();
  ASSERT_TRUE(tip);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  wchar_t text[32] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.lpszText = text;
  ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), form.PicClose2());
  EXPECT_STREQ(text, L"关闭");
}

TEST_F(MainWindow, ClickingTheHighlightedGlyphClosesTheProgram) {
  Show();
  SendMessageW(form.PicClose1(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  // A press that is released elsewhere is no click.
  SendMessageW(form.PicClose2(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(form.PicClose2(), WM_LBUTTONUP, 0, MAKELPARAM(100, 60));
  ASSERT_TRUE(IsWindow(hwnd));
  SendMessageW(form.PicClose2(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(form.PicClose2(), WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
  EXPECT_FALSE(IsWindow(hwnd));
  MSG m;
  bool quit = false;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  EXPECT_TRUE(quit) << "with its only window gone the program ends";
}

TEST_F(MainWindow, ThePanelIsAChildWindowInThePanelColourClippedByTheWindow) {
  Show();
  HWND panel = form.Picture3();
  EXPECT_EQ(GetParent(panel), hwnd);
  RECT r;
  GetWindowRect(panel, &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 31);
  EXPECT_EQ(r.right - r.left, 321);
  EXPECT_EQ(r.bottom - r.top, 169);
  EXPECT_EQ(PixelOf(panel, 150, 4), RGB(0x80, 0x80, 0xFF)) << "back colour 0x00FF8080";
}

TEST_F(MainWindow, TheSurfaceShowsTheStripWithTheIconAndTheTitleAboveIt) {
  Show();
  const auto closeTo = [](COLORREF c, int r, int g, int b, int tolerance) {
    return std::abs(GetRValue(c) - r) <= tolerance && std::abs(GetGValue(c) - g) <= tolerance &&
           std::abs(GetBValue(c) - b) <= tolerance;
  };
  // The strip's gradient, rgb(58, 52, 168) at the top to rgb(118, 112, 228) at the bottom,
  // and the panel from pixel row 31.
  const COLORREF top = PixelOf(hwnd, 250, 0), bottom = PixelOf(hwnd, 250, 30);
  EXPECT_TRUE(closeTo(top, 58, 52, 168, 8)) << std::hex << top;
  EXPECT_TRUE(closeTo(bottom, 118, 112, 228, 8)) << std::hex << bottom;
  EXPECT_EQ(PixelOf(hwnd, 250, 31), RGB(0x80, 0x80, 0xFF));
  // The icon's middle: the white play mark.
  const COLORREF mark = PixelOf(hwnd, 18, 17);
  EXPECT_GE(std::min({GetRValue(mark), GetGValue(mark), GetBValue(mark)}), 200) << std::hex << mark;
  // The title: dark text drawn over the strip, nothing painted behind it.
  int dark = 0, strip = 0;
  for (int y = 8; y < 24; ++y)
    for (int x = 32; x < 144; ++x) {
      const COLORREF c = PixelOf(hwnd, x, y);
      if (GetRValue(c) < 40 && GetGValue(c) < 40 && GetBValue(c) < 90) ++dark;
      if (GetBValue(c) > 150 && GetRValue(c) < 130) ++strip;
    }
  EXPECT_GT(dark, 20) << "the title text is drawn";
  EXPECT_GT(strip, 500) << "the label is transparent";
  EXPECT_TRUE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)) << "the window carries the application icon";
}

TEST_F(MainWindow, TheButtonsSitOnThePanelAtTheirPlaces) {
  struct Place {
    Control control;
    int x, y, width, height;
    bool enabled;
  };
  const Place places[] = {
      {Control::cmdopath, 8, 8, 201, 33, false}, {Control::cmdsel, 216, 8, 97, 33, true},
      {Control::cmdspath, 8, 48, 201, 33, false}, {Control::cmdsave, 216, 48, 97, 33, true},
      {Control::cmdfile, 8, 88, 97, 33, true},   {Control::cmdmemu, 112, 88, 97, 33, true},
      {Control::cmdc, 216, 88, 97, 33, true},    {Control::cmdlink, 8, 128, 305, 33, true},
  };
  for (const Place& p : places) {
    HWND item = form.Item(p.control);
    ASSERT_TRUE(item);
    EXPECT_EQ(GetParent(item), form.Picture3());
    RECT r;
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, form.Picture3(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, p.x) << static_cast<int>(p.control);
    EXPECT_EQ(r.top, p.y) << static_cast<int>(p.control);
    EXPECT_EQ(r.right - r.left, p.width) << static_cast<int>(p.control);
    EXPECT_EQ(r.bottom - r.top, p.height) << static_cast<int>(p.control);
    EXPECT_EQ(IsWindowEnabled(item) != FALSE, p.enabled) << static_cast<int>(p.control);
  }
}

TEST_F(MainWindow, TheShellButtonsOnThePanelReachTheirHandlers) {
  Show();
  Click(Control::cmdfile);
  Click(Control::cmdmemu);
  EXPECT_TRUE(shell.calls.empty()) << "empty output display: nothing happens";
  form.SetOutputDisplay(L"C:\\out\\demo.exe");
  Click(Control::cmdfile);
  Click(Control::cmdlink);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0], (ShellCall{ShellOwner::Desktop, L"Open", L"C:\\out\\demo.exe", L"", L"C:\\", 1}));
  EXPECT_EQ(shell.calls[1],
            (ShellCall{ShellOwner::None, L"open", kMakerWebPage, std::nullopt, std::nullopt, 3}));
  Click(Control::cmdmemu);
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[2].owner, ShellOwner::Form);
  EXPECT_EQ(shell.calls[2].verb, L"open");
}

TEST_F(MainWindow, TheButtonsAreSkinnedButtonsLoadedFromTheStoredDesign) {
  for (Control c : {Control::cmdsel, Control::cmdsave, Control::cmdfile, Control::cmdmemu, Control::cmdc,
                    Control::cmdopath, Control::cmdspath}) {
    EXPECT_EQ(form.Button(c).ButtonStyle(), 3) << "Glass";
    EXPECT_EQ(form.Button(c).BackColor(), 0xE3E3E3u);
    EXPECT_EQ(form.Button(c).PictureEffectOnOver(), 0);
    EXPECT_EQ(form.Button(c).TooltipBackColor(), 0u);
  }
  const controls::skbutton& link = form.Button(Control::cmdlink);
  EXPECT_EQ(link.ButtonStyle(), 4) << "Plain";
  EXPECT_EQ(link.BackColor(), 0xFF8080u) << "the panel's colour";
  EXPECT_EQ(link.Caption(), L"Corvandel  制作  ");
  EXPECT_EQ(link.Font()->Description().size10k, 157500);
  EXPECT_TRUE(link.Font()->Description().Bold());
  EXPECT_EQ(form.Button(Control::cmdsel).Caption(), L"选择转换文件");
  EXPECT_EQ(form.Button(Control::cmdspath).CaptionAlign(), 0);
  EXPECT_EQ(form.Button(Control::cmdopath).Font()->Description().size10k, 120000);
  EXPECT_FALSE(form.Button(Control::cmdopath).Enabled());
  EXPECT_FALSE(IsWindowEnabled(form.Item(Control::cmdspath))) << "a disabled display takes no input";
  wchar_t className[64] = {};
  GetClassNameW(form.Item(Control::cmdc), className, 64);
  EXPECT_STREQ(className, controls::win::ButtonSite::kClassName);
}

TEST_F(MainWindow, PathDisplaysAndDisablingGoThroughTheButtonsProperties) {
  Show();
  form.SetInputDisplay(L"movie.swf");
  EXPECT_EQ(form.Button(Control::cmdopath).Caption(), L"movie.swf");
  EXPECT_EQ(form.InputDisplay(), L"movie.swf");
  form.SetOutputDisplay(L"C:\\out\\movie.exe");
  EXPECT_EQ(form.OutputDisplay(), L"C:\\out\\movie.exe");
  form.ClearOutputDisplay();
  EXPECT_EQ(form.Button(Control::cmdspath).Caption(), L"");
  form.SetEnabled(convert::Button::Start, false);
  EXPECT_FALSE(form.Button(Control::cmdc).Enabled());
  EXPECT_FALSE(IsWindowEnabled(form.Item(Control::cmdc)));
  form.SetEnabled(convert::Button::Start, true);
  EXPECT_TRUE(form.Button(Control::cmdc).Enabled());
  EXPECT_TRUE(IsWindowEnabled(form.Item(Control::cmdc)));
}

TEST_F(MainWindow, TabAndArrowsFollowTheStoredTabOrderPictureBoxesIncluded) {
  Show();
  SetForegroundWindow(hwnd);
  SetFocus(form.Item(Control::cmdsel));
  // The stored order: Picture3, cmdsel, (cmdopath, Label1), picclose1, picclose2, (cmdspath),
  // cmdc, cmdfile, cmdmemu, cmdsave, cmdlink; the disabled displays and the label take no focus.
  const std::vector<HWND> expected{form.PicClose1(),         form.PicClose2(),          form.Item(Control::cmdc),
                                   form.Item(Control::cmdfile), form.Item(Control::cmdmemu),
                                   form.Item(Control::cmdsave), form.Item(Control::cmdlink), form.Picture3(),
                                   form.Item(Control::cmdsel)};
  std::vector<HWND> visited;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    MSG tab{};
    tab.hwnd = GetFocus();
    tab.message = WM_KEYDOWN;
    tab.wParam = VK_TAB;
    EXPECT_TRUE(form.PreTranslateMessage(tab));
    DrainMessages();
    visited.push_back(GetFocus());
  }
  EXPECT_EQ(visited, expected) << "Tab skipped the picture boxes or left the stored order";
  // The arrow keys of a button move along the same order.
  SetFocus(form.Item(Control::cmdsel));
  PostMessageW(form.Item(Control::cmdsel), WM_KEYDOWN, VK_RIGHT, 0);
  DrainMessages();
  EXPECT_EQ(GetFocus(), form.PicClose1());
  SetFocus(form.Item(Control::cmdsel));
  PostMessageW(form.Item(Control::cmdsel), WM_KEYDOWN, VK_LEFT, 0);
  DrainMessages();
  EXPECT_EQ(GetFocus(), form.Picture3());
}

// What a modal dialog of the form showed, seen from a second thread that then answers it as
// the user would.
struct DialogSeen {
  bool found = false;
  std::wstring title;
  std::vector<HICON> icons;
  std::vector<int> buttons;  // the visible push buttons' ids
};

class DialogAnswerer {
 public:
  DialogAnswerer(HWND owner, WORD command) : thread_([this, owner, command] { Run(owner, command); }) {}
  ~DialogAnswerer() {
    if (thread_.joinable()) thread_.join();
  }
  DialogSeen Wait() {
    thread_.join();
    return seen_;
  }

 private:
  struct Search {
    HWND owner;
    HWND found = nullptr;
  };
  static BOOL CALLBACK FindOwned(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<Search*>(lp);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (std::wstring(cls) == L"#32770" && GetWindow(w, GW_OWNER) == search->owner && IsWindowVisible(w)) {
      search->found = w;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK Inspect(HWND w, LPARAM lp) {
    auto* seen = reinterpret_cast<DialogSeen*>(lp);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    if (std::wstring(cls) == L"Static" && (style & SS_TYPEMASK) == SS_ICON)
      seen->icons.push_back(reinterpret_cast<HICON>(SendMessageW(w, STM_GETICON, 0, 0)));
    const LONG_PTR kind = style & BS_TYPEMASK;
    if (std::wstring(cls) == L"Button" && IsWindowVisible(w) && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
      seen->buttons.push_back(GetDlgCtrlID(w));
    return TRUE;
  }
  void Run(HWND owner, WORD command) {
    for (int i = 0; i < 500; ++i) {  // 10 s
      Search search{owner};
      EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
      if (search.found) {
        Sleep(100);  // let it settle, as a user would look before answering
        seen_.found = true;
        wchar_t title[64] = {};
        GetWindowTextW(search.found, title, 64);
        seen_.title = title;
        EnumChildWindows(search.found, Inspect, reinterpret_cast<LPARAM>(&seen_));
        PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        return;
      }
      Sleep(20);
    }
  }
  DialogSeen seen_;
  std::thread thread_;
};

TEST_F(MainWindow, MessagesAreTitledQuillonWithTheInformationIconAndOnlyOk) {
  Show();
  SetForegroundWindow(hwnd);
  DialogAnswerer answer(hwnd, IDOK);
  form.ShowMessage(L"转换完成！");
  const DialogSeen seen = answer.Wait();
  ASSERT_TRUE(seen.found) << "no message box owned by the window appeared";
  EXPECT_EQ(seen.title, L"Quillon");
  ASSERT_EQ(seen.icons.size(), 1u);
  EXPECT_EQ(seen.icons[0], LoadIconW(nullptr, IDI_INFORMATION)) << "not the information icon";
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK}) << "an OK button and no other";
}

TEST_F(MainWindow, TheFocusComesBackAfterAMessageADialogOrAnotherWindow) {
  Show();
  SetForegroundWindow(hwnd);
  SetFocus(form.Item(Control::cmdsave));
  {
    DialogAnswerer answer(hwnd, IDOK);
    form.ShowMessage(L"请选择要转换的文件！");
    ASSERT_TRUE(answer.Wait().found);
  }
  DrainMessages();
  EXPECT_EQ(GetFocus(), form.Item(Control::cmdsave)) << "after a message box the focus landed on the form";

  // The chooser's own dialog, cancelled: the chooser keeps the focus, so Space opens it again.
  SetFocus(form.Item(Control::cmdsel));
  {
    DialogAnswerer answer(hwnd, IDCANCEL);
    Click(Control::cmdsel);
    ASSERT_TRUE(answer.Wait().found) << "the open dialog did not appear";
  }
  DrainMessages();
  EXPECT_EQ(GetFocus(), form.Item(Control::cmdsel)) << "after the file dialog the focus landed on the form";

  // Switching to another program's window and back.
  HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(other);
  SetForegroundWindow(other);
  DrainMessages();
  EXPECT_NE(GetFocus(), form.Item(Control::cmdsel));
  SetForegroundWindow(hwnd);
  DrainMessages();
  EXPECT_EQ(GetFocus(), form.Item(Control::cmdsel)) << "coming back to the window lost the focused button";
  DestroyWindow(other);
}

}  // namespace
}  // namespace quillon::app

int main(int argc, char** argv) {
  // Helper copy for the single-instance test: take the name and wait to be killed.
  if (argc == 3 && std::string(argv[1]) == quillon::app::kHoldArgument) {
    const std::string narrow = argv[2];
    const std::wstring name(narrow.begin(), narrow.end());
    const quillon::app::SingleInstance held(name.c_str());
    Sleep(60000);
    return held.AnotherRuns() ? 2 : 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
