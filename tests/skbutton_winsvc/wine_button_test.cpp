// The control window on a real form under Wine: window messages in, the control's events out;
// keyboard routing, tab order, default and cancel buttons, hooks, tooltip and drop-down menu.
#if QUILLON_HAVE_SKBUTTON_WIN
#include <windows.h>
#undef MessageBox
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "button_form.h"
#include "window_hooks.h"

namespace quillon::controls::win {
namespace {

using Log = std::vector<std::string>;

struct Recorder final : ButtonEvents {
  Log log;
  void Click() override { log.push_back("Click"); }
  void DblClick() override { log.push_back("DblClick"); }
  void MouseEnter() override {}
  void MouseLeave() override { log.push_back("MouseLeave"); }
  void MouseUp(std::int16_t& b, std::int16_t&, float&, float&) override { log.push_back("MouseUp" + std::to_string(b)); }
  void MouseDown(std::int16_t& b, std::int16_t&, float&, float&) override {
    log.push_back("MouseDown" + std::to_string(b));
  }
  void KeyDown(std::int16_t& k, std::int16_t&) override { log.push_back("KeyDown" + std::to_string(k)); }
  void KeyUp(std::int16_t& k, std::int16_t&) override { log.push_back("KeyUp" + std::to_string(k)); }
  void KeyPress(std::int16_t& k) override { log.push_back("KeyPress" + std::to_string(k)); }
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

struct WindowDestroy {
  void operator()(HWND w) const {
    if (IsWindow(w)) DestroyWindow(w);
  }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

const wchar_t* FormClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QuillonButtonTestForm";
    return RegisterClassW(&wc);
  }();
  EXPECT_NE(atom, 0);
  return L"QuillonButtonTestForm";
}

container::PropertyBag Bag(const std::wstring& caption, bool enabled = true, const std::wstring& tip = L"") {
  container::PropertyBag bag;
  bag.Set(L"Caption", caption);
  bag.Set(L"Enabled", enabled);
  bag.Set(L"ToolTip", tip);
  bag.Set(L"ButtonStyle", std::int32_t{4});
  return bag;
}

// A form at (200, 150) with three buttons 97 x 33 in a row; the middle one is disabled when asked.
struct Fixture {
  OwnedWindow window;
  std::unique_ptr<ButtonForm> form;
  Recorder events[3];
  ButtonSite* button[3] = {};

  explicit Fixture(bool middleDisabled = false, bool userMode = true) {
    // Shown without activation first: Wine then destroys it without waiting for a window manager.
    window.reset(CreateWindowExW(0, FormClass(), L"form", WS_POPUP, 200, 150, 400, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr));
    ShowWindow(window.get(), SW_SHOWNA);
    SetForegroundWindow(window.get());
    form = std::make_unique<ButtonForm>(window.get());
    form->userMode = userMode;
    const wchar_t* captions[3] = {L"&Open", L"&Save", L"E&xit"};
    for (int i = 0; i < 3; ++i) {
      const container::PropertyBag bag = Bag(captions[i], !(middleDisabled && i == 1), L"tip " + std::to_wstring(i));
      ButtonPlacement place{L"cmd" + std::to_wstring(i), nullptr, {10 + 110 * i, 20, 107 + 110 * i, 53}, 100 + i};
      button[i] = &form->Add(place, &bag, &events[i]);
    }
    Pump();
  }
  HWND hwnd(int i) const { return button[i]->hwnd(); }
  skbutton& control(int i) const { return *button[i]->control(); }
  void Post(int i, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageW(hwnd(i), message, wParam, lParam);
    Pump();
  }
  bool Route(UINT message, WPARAM wParam, LPARAM lParam, HWND target = nullptr) {
    MSG msg{};
    msg.hwnd = target != nullptr ? target : window.get();
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    const bool used = form->PreTranslateMessage(msg);
    Pump();
    return used;
  }
};

TEST(ButtonWindow, ClickAndDoubleClickRaiseTheEventsInOrder) {
  Fixture f;
  f.Post(0, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(GetFocus(), f.hwnd(0)) << "a press gives the button the focus";
  EXPECT_EQ(f.control(0).State(), 2) << "pressed button not Down";
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  f.Post(0, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(f.events[0].log,
            (Log{"MouseDown1", "Click", "MouseUp1", "MouseDown1", "DblClick", "Click", "MouseUp1"}));
  EXPECT_EQ(GetCapture(), nullptr) << "the mouse stayed captured after the release";
}

TEST(ButtonWindow, PaintsItsStyleIntoTheWindow) {
  Fixture f;
  UpdateWindow(f.hwnd(0));
  EXPECT_EQ(f.button[0]->BufferWidth(), 97) << "the painter drew on a surface of another size";
  EXPECT_EQ(f.button[0]->BufferHeight(), 33);
  HDC window = GetDC(f.hwnd(0));
  ASSERT_NE(window, nullptr);
  const HDC buffer = f.button[0]->BackBufferDc();
  for (const POINT p : {POINT{5, 5}, POINT{48, 16}, POINT{90, 28}}) {
    EXPECT_EQ(GetPixel(window, p.x, p.y), GetPixel(buffer, p.x, p.y)) << "the window does not show the painted face";
  }
  ReleaseDC(f.hwnd(0), window);
}

TEST(ButtonWindow, ReleaseOutsideOrOnTheEdgeAndRightButton) {
  Fixture f;
  f.Post(0, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(-5, 10));
  f.Post(0, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(0, 10));  // the left edge is not inside
  f.Post(0, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
  f.Post(0, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(f.events[0].log, (Log{"MouseDown1", "MouseUp1", "MouseDown1", "MouseUp1", "MouseUp2"}));
  // A press that began on another window and is released over this one is not a click here.
  f.events[0].log.clear();
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(f.events[0].log.empty()) << "a release without a press on the button raised events";
}

TEST(ButtonWindow, SpaceEnterAndCharacters) {
  Fixture f;
  SetFocus(f.hwnd(1));
  Pump();
  f.Post(1, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(f.control(1).State(), 2);
  f.Post(1, WM_KEYUP, VK_SPACE, 0);
  f.Post(1, WM_KEYDOWN, VK_RETURN, 0);
  f.Post(1, WM_CHAR, 'z', 0);
  f.Post(1, WM_SYSKEYDOWN, VK_SPACE, 1 << 29);  // Alt+Space: nothing for the button
  // The message loop turns Space and Enter into characters too.
  EXPECT_EQ(f.events[1].log,
            (Log{"KeyDown32", "KeyPress32", "Click", "KeyUp32", "Click", "KeyDown13", "KeyPress13", "KeyPress122"}));
}

TEST(ButtonWindow, TabAndArrowsFollowTheTabOrderAndSkipDisabledButtons) {
  Fixture f(true);
  EXPECT_FALSE(IsWindowEnabled(f.hwnd(1))) << "a bag with Enabled false must disable the window";
  SetFocus(f.hwnd(0));
  Pump();
  EXPECT_TRUE(f.Route(WM_KEYDOWN, VK_TAB, 0, f.hwnd(0)));
  EXPECT_EQ(GetFocus(), f.hwnd(2)) << "Tab must skip the disabled button";
  EXPECT_TRUE(f.Route(WM_KEYDOWN, VK_TAB, 0, f.hwnd(2)));
  EXPECT_EQ(GetFocus(), f.hwnd(0)) << "Tab wraps round";
  f.Post(0, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(GetFocus(), f.hwnd(2)) << "Left arrow moves to the previous control";
  f.Post(2, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(GetFocus(), f.hwnd(0)) << "Down arrow moves to the next control";
  // Input posted straight to the disabled button does nothing either.
  f.Post(1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  f.Post(1, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  f.Post(1, WM_KEYDOWN, VK_SPACE, 0);
  f.Post(1, WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(f.events[1].log.empty()) << "a disabled button raised events";
  EXPECT_EQ(GetFocus(), f.hwnd(0)) << "a press on a disabled button took the focus";
}

TEST(ButtonWindow, AccessKeysDefaultAndCancelButtons) {
  Fixture f;
  f.form->SetDefault(f.button[2]);
  f.form->SetCancel(f.button[1]);
  SetFocus(f.window.get());
  Pump();
  EXPECT_TRUE(f.control(2).IsDefault()) << "with no button focused the default button shows as default";
  EXPECT_TRUE(f.Route(WM_KEYDOWN, VK_RETURN, 0));
  EXPECT_EQ(f.events[2].log, (Log{"Click"})) << "Enter on the form clicks the default button";
  EXPECT_TRUE(f.Route(WM_KEYDOWN, VK_ESCAPE, 0));
  EXPECT_EQ(f.events[1].log, (Log{"Click"})) << "Esc clicks the cancel button";

  EXPECT_TRUE(f.Route(WM_SYSKEYDOWN, 'O', 1 << 29));
  EXPECT_EQ(f.events[0].log, (Log{"Click"})) << "Alt+O is the access key of &Open";
  EXPECT_EQ(GetFocus(), f.hwnd(0));
  EXPECT_TRUE(f.control(0).IsDefault()) << "the focused button shows as default";
  EXPECT_FALSE(f.control(2).IsDefault()) << "the default button stops showing as default";
  EXPECT_TRUE(f.Route(WM_SYSKEYDOWN, 'X', 1 << 29));
  EXPECT_EQ(f.events[2].log, (Log{"Click", "Click"})) << "Alt+X is the access key of E&xit";
  EXPECT_FALSE(f.Route(WM_SYSKEYDOWN, 'Q', 1 << 29)) << "no button has Q";
  // A focused button takes Enter itself: the default button is not clicked.
  f.events[2].log.clear();
  SetFocus(f.hwnd(0));
  Pump();
  EXPECT_FALSE(f.Route(WM_KEYDOWN, VK_RETURN, 0, f.hwnd(0)));
  EXPECT_TRUE(f.events[2].log.empty());
}

TEST(ButtonWindow, ActivationAndMouseLeaveReachTheControlThroughTheHooks) {
  Fixture f;
  EXPECT_EQ(winsvc::WindowHookHost::Instance().HookCount(f.window.get()), 3u) << "each button hooks its form";
  SetFocus(f.hwnd(0));
  Pump();
  SendMessageW(f.window.get(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(f.control(0).ParentActive());
  f.Post(0, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_TRUE(f.control(0).MouseHeld());
  SendMessageW(f.window.get(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_FALSE(f.control(0).ParentActive());
  EXPECT_FALSE(f.control(0).HasFocus());
  EXPECT_FALSE(f.control(0).MouseHeld()) << "deactivation must drop the pending click";
  EXPECT_EQ(f.control(0).State(), 0);
  f.Post(0, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(f.events[0].log, (Log{"MouseDown1"})) << "the press ended with the activation: no release, no Click";
  EXPECT_NE(GetCapture(), f.hwnd(0)) << "the button kept the mouse captured after deactivation";

  f.events[1].log.clear();
  SendMessageW(f.hwnd(1), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(f.events[1].log, (Log{"MouseLeave"}));
}

TEST(ButtonWindow, NothingIsHookedOnADesignSurface) {
  Fixture f(false, false);
  EXPECT_FALSE(winsvc::WindowHookHost::Instance().HasChain(f.window.get()));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(winsvc::WindowHookHost::Instance().HasChain(f.hwnd(i)));
  SendMessageW(f.window.get(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(f.control(0).ParentActive()) << "activation reached a control that should not be hooked";
}

TEST(ButtonWindow, HoveringMakesTheButtonHotWithItsTooltip) {
  Fixture f;
  RECT r{};
  GetWindowRect(f.hwnd(2), &r);
  SetCursorPos(r.left + 20, r.top + 10);
  f.Post(2, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
  EXPECT_TRUE(f.control(2).MouseOver());
  EXPECT_EQ(f.control(2).State(), 1) << "hovered button not Hot";
  const HWND tip = f.button[2]->toolTip().window();
  ASSERT_NE(tip, nullptr) << "becoming Hot must create the tooltip";
  wchar_t text[64] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.lpszText = text;
  ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_STREQ(text, L"tip 2");
  EXPECT_EQ(f.button[2]->extenderToolTipText(), L"") << "a shown button silences the form's own tooltip";

  SetCursorPos(5, 5);
  f.Post(2, WM_MOUSEMOVE, 0, MAKELPARAM(-300, -100));
  EXPECT_FALSE(f.control(2).MouseOver());
  EXPECT_EQ(f.control(2).State(), 0);
}

TEST(ButtonWindow, DestroyingTheFormLeavesNoHookTooltipOrWindow) {
  Fixture f;
  RECT r{};
  GetWindowRect(f.hwnd(0), &r);
  SetCursorPos(r.left + 20, r.top + 10);
  f.Post(0, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
  const HWND tip = f.button[0]->toolTip().window();
  const HWND form = f.window.get();
  const HWND buttons[3] = {f.hwnd(0), f.hwnd(1), f.hwnd(2)};
  const LONG_PTR formProc = GetClassLongPtrW(form, GCLP_WNDPROC);
  EXPECT_TRUE(winsvc::WindowHookHost::Instance().HasChain(form));
  EXPECT_EQ(GetWindowLongPtrW(form, GWLP_WNDPROC) == formProc, false) << "the form is not hooked";
  f.window.reset();  // the form goes first, as when the program closes
  EXPECT_FALSE(winsvc::WindowHookHost::Instance().HasChain(form));
  for (HWND b : buttons) {
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(winsvc::WindowHookHost::Instance().HasChain(b)) << "a button window kept its hook record";
  }
  ASSERT_NE(tip, nullptr);
  EXPECT_FALSE(IsWindow(tip)) << "the tooltip outlived its button";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.button[i]->control(), nullptr) << "the control outlived its window";
}

TEST(ButtonWindow, ButtonsRemovedBeforeTheFormPutItsProcedureBack) {
  Fixture f;
  const LONG_PTR formProc = GetClassLongPtrW(f.window.get(), GCLP_WNDPROC);
  f.form->DestroyAll();
  EXPECT_EQ(GetWindowLongPtrW(f.window.get(), GWLP_WNDPROC), formProc);
  EXPECT_EQ(f.form->controlToolTips(), nullptr);
}

// The drop-down menu opens at the align's point: a timer reads the menu's place and closes it.
RECT g_menuRect{};
bool g_menuSeen = false;

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu != nullptr && IsWindowVisible(menu)) {
    GetWindowRect(menu, &g_menuRect);
    g_menuSeen = true;
    KillTimer(nullptr, id);
    EndMenu();
  }
}

TEST(ButtonWindow, DropDownMenuOpensAtTheAlignPoint) {
  Fixture f;
  auto menu = std::make_shared<container::Menu>();
  menu->Add(std::make_shared<container::Menu>(L"First")).Add(std::make_shared<container::Menu>(L"Second"));
  RECT b{};
  GetWindowRect(f.hwnd(1), &b);
  struct Case {
    int align;
    bool right;   // menu's right edge (else left edge) at the point's x
    bool bottom;  // menu's bottom edge (else top edge) at the point's y
    LONG x, y;
  };
  const Case cases[] = {
      {0, false, false, b.left, b.bottom}, {1, false, true, b.left, b.top},  {2, true, false, b.left, b.top},
      {3, false, false, b.right, b.top},   {4, true, true, b.left, b.top},   {5, true, false, b.left, b.bottom},
      {6, false, true, b.right, b.top},    {7, false, false, b.right, b.bottom},
  };
  for (const Case& c : cases) {
    f.control(1).SetPopupMenu(menu, c.align, 0, nullptr);
    g_menuSeen = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseMenu);
    f.Post(1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    KillTimer(nullptr, timer);
    f.Post(1, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    ASSERT_TRUE(g_menuSeen) << "no menu for align " << c.align;
    const LONG mx = c.right ? g_menuRect.right : g_menuRect.left;
    const LONG my = c.bottom ? g_menuRect.bottom : g_menuRect.top;
    EXPECT_NEAR(mx, c.x, 1) << "align " << c.align;
    EXPECT_NEAR(my, c.y, 1) << "align " << c.align;
  }
  EXPECT_TRUE(f.events[1].log.empty() || f.events[1].log == Log{}) << "a press with a menu raises no mouse events";
  f.control(1).UnsetPopupMenu();
}

TEST(ButtonWindow, ARightOrMiddlePressReleasedElsewhereLeavesNothingPressed) {
  Fixture f;
  for (auto [down, up, held, name] : {std::tuple{WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, "right"},
                                      std::tuple{WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON, "middle"}}) {
    SCOPED_TRACE(name);
    f.events[0].log.clear();
    f.Post(0, down, held, MAKELPARAM(10, 10));
    EXPECT_EQ(GetCapture(), f.hwnd(0)) << "the release would go to whatever window lies under the pointer";
    // Released over another window all the same (the capture was taken away), then back.
    ReleaseCapture();
    f.Post(1, up, 0, MAKELPARAM(10, 10));
    f.Post(0, WM_MOUSEMOVE, 0, MAKELPARAM(12, 10));
    f.Post(0, up, 0, MAKELPARAM(12, 10));
    EXPECT_TRUE(f.events[0].log.empty()) << "a later release over the button raised MouseUp for the old press";
    // With the capture, the release outside comes back to the button and ends the press there.
    f.Post(0, down, held, MAKELPARAM(10, 10));
    f.Post(0, up, 0, MAKELPARAM(-40, 10));
    EXPECT_NE(GetCapture(), f.hwnd(0)) << "the capture outlived the press";
    f.events[0].log.clear();
    f.Post(0, up, 0, MAKELPARAM(12, 10));
    EXPECT_TRUE(f.events[0].log.empty());
  }
}

// A cursor of the picture, as the system shows it: its size and that it is a pointer.
container::PicturePtr ArrowIcon() {
  std::vector<std::uint32_t> pixels(32 * 32, 0u);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x <= y; ++x) pixels[static_cast<std::size_t>(y * 32 + x)] = 0xFF204080u;
  return container::MakePicture(container::Picture::Kind::Icon, 32, 32, 32, true, std::move(pixels));
}

TEST(ButtonWindow, MousePointer99ShowsTheMouseIcon) {
  Fixture f;
  f.control(0).SetMouseIcon(ArrowIcon());
  f.control(0).SetMousePointer(99);
  SendMessageW(f.hwnd(0), WM_SETCURSOR, reinterpret_cast<WPARAM>(f.hwnd(0)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  const HCURSOR shown = GetCursor();
  ASSERT_NE(shown, nullptr);
  EXPECT_NE(shown, LoadCursorW(nullptr, IDC_ARROW)) << "pointer 99 showed the arrow, not the MouseIcon";
  ICONINFO parts{};
  ASSERT_TRUE(GetIconInfo(shown, &parts));
  BITMAP colour{};
  ASSERT_TRUE(parts.hbmColor);
  GetObjectW(parts.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  EXPECT_FALSE(parts.fIcon) << "shown as an icon, not as a pointer";
  if (parts.hbmColor) DeleteObject(parts.hbmColor);
  if (parts.hbmMask) DeleteObject(parts.hbmMask);
  // Without an icon, pointer 99 falls back to the arrow; another code shows its own cursor.
  f.control(1).SetMousePointer(99);
  SendMessageW(f.hwnd(1), WM_SETCURSOR, reinterpret_cast<WPARAM>(f.hwnd(1)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  f.control(1).SetMousePointer(11);
  SendMessageW(f.hwnd(1), WM_SETCURSOR, reinterpret_cast<WPARAM>(f.hwnd(1)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
}

TEST(ButtonWindow, AccessKeysMatchEveryCasedLetterInEitherCase) {
  Fixture f;
  // Latin Extended-A, Armenian and Georgian Mtavruli capitals lie outside ASCII, Latin-1,
  // Greek and Cyrillic; the platform's case mapping covers them.
  const std::pair<const wchar_t*, wchar_t> cases[] = {
      {L"&\u0141\u00F3d\u017A", L'\u0142'}, {L"&\u0531\u0580", L'\u0561'}, {L"\u0100&\u0104", L'\u0105'}};
  for (auto [caption, lower] : cases) {
    f.control(1).SetCaption(caption);
    EXPECT_EQ(f.button[1]->accessKeys(), std::wstring(1, lower)) << "the key is kept in lower case";
    EXPECT_EQ(f.form->ByAccessKey(lower), f.button[1]);
    wchar_t upper[1] = {lower};
    CharUpperBuffW(upper, 1);
    EXPECT_EQ(f.form->ByAccessKey(upper[0]), f.button[1]) << "the capital did not match its own button";
  }
  EXPECT_EQ(f.form->ByAccessKey(L'O'), f.button[0]);
  EXPECT_EQ(f.form->ByAccessKey(L'q'), nullptr);
}

// A form with one button loaded from `bag`, drawn by the style painters through `renderer`.
struct OneButton {
  OwnedWindow window;
  std::unique_ptr<ButtonForm> form;
  ButtonSite* site = nullptr;
  OneButton(const container::PropertyBag& bag, RendererFactory renderer = MakeStyleRenderer) {
    window.reset(CreateWindowExW(0, FormClass(), L"form", WS_POPUP, 200, 150, 300, 120, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr));
    ShowWindow(window.get(), SW_SHOWNA);
    form = std::make_unique<ButtonForm>(window.get(), std::move(renderer));
    site = &form->Add({L"cmd", nullptr, {10, 20, 107, 53}, 100}, &bag);
    Pump();
    UpdateWindow(site->hwnd());
  }
  COLORREF Pixel(int x, int y) const {
    HDC dc = GetDC(site->hwnd());
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(site->hwnd(), dc);
    return c;
  }
};

TEST(ButtonWindow, DisabledEdgeStylesShowTheButtonFaceNotBackColor) {
  for (std::int32_t style : {0, 1, 11, 12}) {  // Classic, Flat, HoverRaised, HoverThin
    SCOPED_TRACE(style);
    container::PropertyBag bag = Bag(L"", false);
    bag.Set(L"ButtonStyle", style);
    bag.Set(L"BackColor", std::int32_t{0x0000FF});  // red
    OneButton b(bag);
    ASSERT_FALSE(IsWindowEnabled(b.site->hwnd()));
    EXPECT_EQ(b.Pixel(48, 16), GetSysColor(COLOR_BTNFACE)) << "the disabled face shows BackColor";
    EXPECT_EQ(b.Pixel(5, 5), GetSysColor(COLOR_BTNFACE));
  }
}

// Forwards to the style renderer and notes the window region after every region rebuild.
class RegionWatch final : public Renderer {
 public:
  RegionWatch(ButtonSite& site, std::vector<RECT>& regions)
      : site_(site), inner_(MakeStyleRenderer(site)), regions_(regions) {}
  void Redraw() override { inner_->Redraw(); }
  void RebuildRegion() override {
    inner_->RebuildRegion();
    RECT box{};
    if (GetWindowRgnBox(site_.hwnd(), &box) == ERROR) box = {-1, -1, -1, -1};
    regions_.push_back(box);
  }

 private:
  ButtonSite& site_;
  std::unique_ptr<Renderer> inner_;
  std::vector<RECT>& regions_;
};

TEST(ButtonWindow, TheRegionBuiltWhileLoadingHasTheButtonsSize) {
  std::vector<RECT> regions;
  container::PropertyBag bag = Bag(L"Glass");
  bag.Set(L"ButtonStyle", std::int32_t{3});
  OneButton b(bag, [&regions](ButtonSite& site) { return std::make_unique<RegionWatch>(site, regions); });
  ASSERT_FALSE(regions.empty()) << "loading built no region";
  // Glass: a rounded rectangle over W + 1 by H + 1 of the 97 x 33 button.
  const RECT first = regions.front();
  EXPECT_EQ(first.right - first.left, 97) << "the first region was built from a size of "
                                          << first.right - first.left << " x " << first.bottom - first.top;
  EXPECT_EQ(first.bottom - first.top, 33);
  EXPECT_EQ(b.site->control()->CachedWidth(), 97);
  EXPECT_EQ(b.site->control()->CachedHeight(), 33);
}

}  // namespace
}  // namespace quillon::controls::win
#endif
