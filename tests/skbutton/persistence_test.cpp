#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "form_text.h"
#include "rig.h"

namespace quillon::controls::testing {
namespace {

using container::PropertyBag;
using container::Value;

constexpr OleColour kFace = 0xC8D0D4;
constexpr OleColour kText = 0x102030;
constexpr OleColour kInfo = 0xE1FFFF;
const container::FontDescription kAmbient{L"MS Sans Serif", 82500, 400, false, false, false, 0};

struct LoadRig : Rig {
  LoadRig() {
    site.systemColours = {{container::kColorBtnFace, kFace}, {container::kColorBtnText, kText},
                          {container::kColorInfoBk, kInfo}};
    site.ambientFont = kAmbient;
    site.extent = {1455, 495};
    ClearLog();
  }
};

// The stored bag of the main window's "choose input file" button.
PropertyBag CmdselBag() {
  PropertyBag bag;
  bag.Set(L"_extentx", std::int32_t{2566});
  bag.Set(L"_extenty", std::int32_t{873});
  bag.Set(L"buttonstyle", std::int32_t{3});
  bag.Set(L"font", container::FontDescription{L"Tahoma", 82500, 400, false, false, false, 0});
  bag.Set(L"backcolor", std::int32_t{14935011});
  bag.Set(L"caption", std::wstring(L"\u9009\u62e9\u8f6c\u6362\u6587\u4ef6"));
  bag.Set(L"pictureeffectonover", std::int32_t{0});
  bag.Set(L"pictureeffectondown", std::int32_t{0});
  bag.Set(L"captioneffects", std::int32_t{0});
  bag.Set(L"tooltipbackcolor", std::int32_t{0});
  return bag;
}

// Every property at its read default except those a test names.
void ExpectReadDefaultsExcept(const skbutton& b, std::initializer_list<std::string_view> except) {
  auto check = [&](std::string_view name) {
    return std::find(except.begin(), except.end(), name) == except.end();
  };
  if (check("ButtonStyle")) {
    EXPECT_EQ(b.ButtonStyle(), ButtonStyle::Flat) << "missing ButtonStyle loads Flat";
  }
  if (check("ShowFocusRect")) {
    EXPECT_FALSE(b.ShowFocusRect());
  }
  if (check("Font")) {
    EXPECT_EQ(b.Font()->Description(), kAmbient);
  }
  if (check("BackColor")) {
    EXPECT_EQ(b.BackColor(), kFace);
  }
  if (check("Enabled")) {
    EXPECT_TRUE(b.Enabled());
  }
  if (check("Caption")) {
    EXPECT_EQ(b.Caption(), L"");
  }
  EXPECT_FALSE(b.Value());
  EXPECT_EQ(b.MousePointer(), 0);
  EXPECT_FALSE(b.HandPointer());
  EXPECT_FALSE(b.MouseIcon());
  EXPECT_FALSE(b.PictureNormal());
  EXPECT_FALSE(b.PictureHot());
  EXPECT_FALSE(b.PictureDown());
  EXPECT_FALSE(b.PictureShadow());
  EXPECT_EQ(b.PictureOpacity(), 255);
  EXPECT_EQ(b.PictureOpacityOnOver(), 255);
  EXPECT_EQ(b.DisabledPictureMode(), 0);
  EXPECT_FALSE(b.PicturePushOnHover());
  if (check("PictureEffectOnOver")) {
    EXPECT_EQ(b.PictureEffectOnOver(), PictureEffect::Brighten);
  }
  if (check("PictureEffectOnDown")) {
    EXPECT_EQ(b.PictureEffectOnDown(), PictureEffect::Darken);
  }
  EXPECT_EQ(b.MaskColor(), 0xE0E0E0u);
  EXPECT_TRUE(b.UseMaskColor());
  EXPECT_EQ(b.CaptionEffects(), 0);
  EXPECT_EQ(b.Mode(), 0);
  EXPECT_EQ(b.PictureAlign(), 1);
  EXPECT_EQ(b.CaptionAlign(), 1);
  EXPECT_EQ(b.ForeColor(), kText);
  EXPECT_EQ(b.SurfaceForeColor(), kText);
  EXPECT_EQ(b.ForeColorHover(), kText);
  EXPECT_FALSE(b.DropDownSeparator());
  EXPECT_EQ(b.TooltipTitle(), L"");
  EXPECT_EQ(b.ToolTip(), L"");
  EXPECT_EQ(b.ToolTipIcon(), 0);
  EXPECT_EQ(b.ToolTipType(), 0);
  if (check("TooltipBackColor")) {
    EXPECT_EQ(b.TooltipBackColor(), kInfo);
  }
  EXPECT_FALSE(b.RightToLeft());
  EXPECT_FALSE(b.TooltipRightToLeft());
  EXPECT_EQ(b.DropDownSymbol(), 0);
  EXPECT_EQ(b.ColorScheme(), 0);
}

TEST(Load, TheMainWindowsCmdselBagGivesItsPropertySet) {
  LoadRig r;
  ASSERT_TRUE(r.b().Load(CmdselBag()));
  const skbutton& b = r.b();
  EXPECT_EQ(b.ButtonStyle(), ButtonStyle::Glass);
  EXPECT_EQ(b.Font()->Description().face, L"Tahoma");
  EXPECT_EQ(b.SurfaceFont().face, L"Tahoma");
  EXPECT_EQ(b.BackColor(), 0xE3E3E3u);
  EXPECT_EQ(b.Caption(), L"\u9009\u62e9\u8f6c\u6362\u6587\u4ef6");
  EXPECT_EQ(b.PictureEffectOnOver(), 0);
  EXPECT_EQ(b.PictureEffectOnDown(), 0);
  EXPECT_EQ(b.TooltipBackColor(), 0u);
  ExpectReadDefaultsExcept(b, {"ButtonStyle", "Font", "BackColor", "Caption", "PictureEffectOnOver",
                               "PictureEffectOnDown", "TooltipBackColor"});
  EXPECT_EQ(b.ColorScheme(), ColorScheme::Blue) << "loading runs no colour-scheme logic";
  EXPECT_TRUE(r.form.Logged("notify:").empty()) << "loading runs no setters";
}

TEST(Load, EveryMissingKeyYieldsItsReadDefault) {
  LoadRig r;
  ASSERT_TRUE(r.b().Load(PropertyBag()));
  ExpectReadDefaultsExcept(r.b(), {});
}

TEST(Load, RunsItsStepsInOrderAndHooksOnlyInRunMode) {
  LoadRig r;
  r.site.extent = {200, 200};
  PropertyBag bag;
  bag.Set(L"caption", std::wstring(L"&Go"));
  bag.Set(L"enabled", false);
  ASSERT_TRUE(r.b().Load(bag));
  EXPECT_EQ(r.form.log, (Log{"pointer:0", "mouseicon:none", "window:disabled", "accesskeys:", "accesskeys:g",
                             "extent:220x220", "region", "redraw", "probe:TrackMouseEvent@User32", "hook:8192",
                             "hook:4096", "message:8192:675:1", "message:8192:794:1", "message:8192:21:1",
                             "message:4096:6:1"}));
  EXPECT_FALSE(r.site.windowEnabled) << "a disabled button's window takes no input";
  EXPECT_EQ(r.b().ParentWindow(), 0x1000u);
  EXPECT_TRUE(r.b().MouseLeaveAvailable());

  LoadRig design;
  design.site.userMode = false;
  ASSERT_TRUE(design.b().Load(bag));
  EXPECT_TRUE(design.form.Logged("probe").empty());
  EXPECT_TRUE(design.form.Logged("hook").empty()) << "nothing is hooked at design time";
}

TEST(Load, WindowServiceVariants) {
  {
    LoadRig r;  // MDI child or unreadable: the parent's non-client activation
    r.site.mdiChild = std::nullopt;
    r.services.themed = false;
    r.services.trackMouseEvent = false;
    ASSERT_TRUE(r.b().Load(PropertyBag()));
    EXPECT_EQ(r.form.Logged("probe"), (Log{"probe:TrackMouseEvent@User32", "probe:_TrackMouseEvent@ComCtl32"}));
    EXPECT_EQ(r.form.Logged("message"), (Log{"message:8192:675:1", "message:8192:794:1", "message:4096:134:1"}));
    EXPECT_FALSE(r.b().MouseLeaveAvailable());
    r.site.cursorOver = true;
    r.b().OnMouseMove(0, 0, 5, 5);
    EXPECT_TRUE(r.form.Logged("track").empty()) << "no leave tracking without TrackMouseEvent";
  }
  {
    LoadRig r;  // a failed hook skips the rest of the run-mode work
    r.services.hookFails = true;
    ASSERT_TRUE(r.b().Load(PropertyBag()));
    EXPECT_EQ(r.form.Logged("hook").size(), 1u);
    EXPECT_TRUE(r.form.Logged("message").empty());
  }
}

TEST(Load, HandPointerNeedsTheSystemHandCursor) {
  PropertyBag bag;
  bag.Set(L"handpointer", true);
  LoadRig with;
  ASSERT_TRUE(with.b().Load(bag));
  EXPECT_TRUE(with.b().HandPointer());
  LoadRig without;
  without.site.handCursor = 0;
  ASSERT_TRUE(without.b().Load(bag));
  EXPECT_FALSE(without.b().HandPointer());
  PropertyBag saved;
  without.b().Save(saved);
  EXPECT_FALSE(saved.Contains(L"handpointer")) << "it saves as False";
}

TEST(Load, WrongTypesAndGarbageAreReportedAndFallBackToTheReadDefault) {
  LoadRig r;
  PropertyBag bag;
  bag.Set(L"buttonstyle", std::wstring(L"three"));
  bag.Set(L"font", std::int32_t{5});
  bag.Set(L"caption", container::FontDescription{});
  bag.Set(L"pictureopacity", std::int32_t{999});
  bag.Set(L"mousepointer", std::wstring(L"x"));
  bag.Set(L"picturenormal", std::int32_t{1});
  bag.Set(L"mode", std::int32_t{1});
  bag.Set(L"tooltip", std::wstring(L"still read"));
  EXPECT_FALSE(r.b().Load(bag));
  ASSERT_EQ(r.form.messages.size(), 6u);
  const std::wstring first = r.form.messages[0];
  EXPECT_NE(first.find(L"ButtonStyle"), std::wstring::npos) << container::Narrow(first);
  EXPECT_NE(first.find(L"skbutton1"), std::wstring::npos) << "the message names the instance";
  EXPECT_EQ(r.b().ButtonStyle(), ButtonStyle::Flat);
  EXPECT_EQ(r.b().Font()->Description(), kAmbient);
  EXPECT_EQ(r.b().PictureOpacity(), 255);
  EXPECT_EQ(r.b().Mode(), ButtonMode::Check) << "good keys after a bad one are still read";
  EXPECT_EQ(r.b().ToolTip(), L"still read");
  EXPECT_EQ(r.form.Logged("hook").size(), 2u) << "the button still works as a running button";
}

// Random values of random types under the real keys: a load never throws, reports what it
// could not read, and what it then saves loads back cleanly.
TEST(Load, SurvivesRandomBags) {
  const wchar_t* keys[] = {L"buttonstyle", L"showfocusrect", L"font", L"backcolor", L"enabled", L"caption",
                           L"value", L"mousepointer", L"handpointer", L"mouseicon", L"picturenormal",
                           L"pictureopacity", L"pictureeffectonover", L"mode", L"forecolor", L"tooltip",
                           L"righttoleft", L"colorscheme", L"captioneffects", L"tooltipbackcolor"};
  std::mt19937 rng(4242);
  auto randomValue = [&]() -> Value {
    switch (rng() % 8) {
      case 0: return std::monostate{};
      case 1: return (rng() & 1) != 0;
      case 2: return static_cast<std::uint8_t>(rng());
      case 3: return static_cast<std::int16_t>(rng());
      case 4: return static_cast<std::int32_t>(rng());
      case 5: return std::wstring((rng() & 1) != 0 ? L"12" : L"junk");
      case 6: return container::FontDescription{};
      default: return container::MakePicture(container::Picture::Kind::Bitmap, 1, 1, 24, false, {static_cast<std::uint32_t>(rng())});
    }
  };
  for (int round = 0; round < 300; ++round) {
    PropertyBag bag;
    for (const wchar_t* key : keys) {
      if (rng() % 3 == 0) bag.Set(key, randomValue());
    }
    LoadRig r;
    bool ok = false;
    ASSERT_NO_THROW(ok = r.b().Load(bag));
    EXPECT_EQ(ok, r.form.messages.empty());
    PropertyBag saved;
    r.b().Save(saved);
    LoadRig again;
    EXPECT_TRUE(again.b().Load(saved)) << "a saved bag always loads";
  }
}

TEST(Save, OmitsExactlyTheKeysEqualToTheirWriteDefaults) {
  LoadRig r;
  ASSERT_TRUE(r.b().Load(PropertyBag()));
  PropertyBag all;
  r.b().Save(all);
  ASSERT_EQ(all.Size(), 1u);
  EXPECT_EQ(all.Entries()[0].key, L"captioneffects") << "CaptionEffects is written even when 0";

  struct Change {
    std::vector<std::wstring> keys;
    std::function<void(skbutton&)> apply;
  };
  auto pic = container::MakePicture(container::Picture::Kind::Bitmap, 1, 1, 24, false, {0xFF112233u});
  const Change changes[] = {
      {{L"buttonstyle"}, [](skbutton& b) { b.SetButtonStyle(ButtonStyle::SystemTheme); }},
      {{L"showfocusrect"}, [](skbutton& b) { b.SetShowFocusRect(true); }},
      {{L"enabled"}, [](skbutton& b) { b.SetEnabled(false); }},
      {{L"font"}, [](skbutton& b) { b.Font()->SetBold(true); }},
      // BackColor on a Flat button also makes the scheme Custom.
      {{L"backcolor", L"colorscheme"}, [](skbutton& b) { b.SetBackColor(1); }},
      {{L"caption"}, [](skbutton& b) { b.SetCaption(L"skbutton1"); }},
      {{L"forecolor"}, [](skbutton& b) { b.SetForeColor(1); }},
      {{L"forecolorhover"}, [](skbutton& b) { b.SetForeColorHover(1); }},
      {{L"mode"}, [](skbutton& b) { b.SetMode(2); }},
      {{L"mousepointer"}, [](skbutton& b) { b.SetMousePointer(3); }},
      {{L"handpointer"}, [](skbutton& b) { b.SetHandPointer(true); }},
      {{L"picturenormal"}, [pic](skbutton& b) { b.SetPictureNormal(pic); }},
      {{L"picturealign"}, [](skbutton& b) { b.SetPictureAlign(8); }},
      {{L"pictureeffectonover"}, [](skbutton& b) { b.SetPictureEffectOnOver(0); }},
      {{L"pictureeffectondown"}, [](skbutton& b) { b.SetPictureEffectOnDown(0); }},
      {{L"picturepushonhover"}, [](skbutton& b) { b.SetPicturePushOnHover(true); }},
      {{L"pictureshadow"}, [](skbutton& b) { b.SetPictureShadow(true); }},
      {{L"pictureopacity"}, [](skbutton& b) { b.SetPictureOpacity(0); }},
      {{L"pictureopacityonover"}, [](skbutton& b) { b.SetPictureOpacityOnOver(1); }},
      {{L"disabledpicturemode"}, [](skbutton& b) { b.SetDisabledPictureMode(1); }},
      {{L"usemaskcolor"}, [](skbutton& b) { b.SetUseMaskColor(false); }},
      {{L"maskcolor"}, [](skbutton& b) { b.SetMaskColor(0); }},
      {{L"captionalign"}, [](skbutton& b) { b.SetCaptionAlign(0); }},
      {{L"tooltip"}, [](skbutton& b) { b.SetToolTip(L"t"); }},
      {{L"tooltiptype"}, [](skbutton& b) { b.SetToolTipType(1); }},
      {{L"tooltipicon"}, [](skbutton& b) { b.SetToolTipIcon(1); }},
      {{L"tooltiptitle"}, [](skbutton& b) { b.SetTooltipTitle(L"t"); }},
      {{L"tooltipbackcolor"}, [](skbutton& b) { b.SetTooltipBackColor(0); }},
      {{L"righttoleft"}, [](skbutton& b) { b.SetRightToLeft(true); }},
      {{L"dropdownsymbol"}, [](skbutton& b) { b.SetDropDownSymbol(6); }},
      {{L"dropdownseparator"}, [](skbutton& b) { b.SetDropDownSeparator(true); }},
      // A scheme on a Flat button also turns the focus rectangle on.
      {{L"showfocusrect", L"colorscheme"}, [](skbutton& b) { b.SetColorScheme(1); }},
  };
  for (const auto& c : changes) {
    LoadRig one;
    ASSERT_TRUE(one.b().Load(PropertyBag()));
    c.apply(one.b());
    PropertyBag bag;
    one.b().Save(bag);
    std::vector<std::wstring> keys;
    for (const auto& e : bag.Entries()) {
      if (e.key != L"captioneffects") keys.push_back(e.key);
    }
    EXPECT_EQ(keys, c.keys) << container::Narrow(c.keys[0]);
  }
}

TEST(Save, ANewInstanceSavesWhatDiffersFromTheWriteDefaults) {
  LoadRig r;
  r.b().InitNew();
  PropertyBag bag;
  r.b().Save(bag);
  std::vector<std::wstring> keys;
  for (const auto& e : bag.Entries()) keys.push_back(e.key);
  // In writing order: style 13, Tahoma over the ambient face, BackColor 0 and
  // ForeColorHover 0 against the system colours, the display name, effects 0 and 0,
  // CaptionEffects always, TooltipBackColor 0.
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"buttonstyle", L"font", L"backcolor", L"caption", L"forecolorhover",
                                             L"pictureeffectonover", L"pictureeffectondown", L"captioneffects",
                                             L"tooltipbackcolor"}));
}

TEST(Save, FollowsTheWritingOrder) {
  LoadRig r;
  ASSERT_TRUE(r.b().Load(PropertyBag()));
  r.b().SetColorScheme(2);
  r.b().SetToolTip(L"x");
  r.b().SetMode(1);
  r.b().SetEnabled(false);
  r.b().SetCaption(L"c");
  PropertyBag bag;
  r.b().Save(bag);
  std::vector<std::wstring> keys;
  for (const auto& e : bag.Entries()) keys.push_back(e.key);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"showfocusrect", L"enabled", L"caption", L"mode", L"captioneffects",
                                             L"tooltip", L"colorscheme"}));
}

TEST(Save, SaveLoadSaveIsStableAlsoThroughTheStoredText) {
  LoadRig r;
  ASSERT_TRUE(r.b().Load(CmdselBag()));
  r.b().SetToolTip(L"line1\r\nline \"2\"");
  r.b().SetPictureNormal(container::MakePicture(container::Picture::Kind::Icon, 2, 1, 32, true,
                                                {0x00000000u, 0xFF00FF00u}));
  r.b().SetRightToLeft(true);
  r.b().SetPictureOpacity(128);
  r.b().SetMousePointer(99);
  r.b().SetForeColor(0x80000012);
  PropertyBag first;
  r.b().Save(first);

  container::FormObject o{L"skbutton", L"cmdsel", first, {}};
  const container::FormObject back = container::ReadFormText(container::WriteFormText(o));

  LoadRig again;
  ASSERT_TRUE(again.b().Load(back.properties));
  PropertyBag second;
  again.b().Save(second);
  EXPECT_TRUE(first == second) << container::WriteFormText(container::FormObject{L"a", L"b", second, {}});
  EXPECT_EQ(again.b().ForeColor(), 0x80000012u) << "a system colour stays a system colour";
}

TEST(Save, EveryCaptionComesBackAsItWasSaved) {
  for (const wchar_t* caption : {L"skbutton1", L"skbutton", L"", L"&Open"}) {
    LoadRig r;
    ASSERT_TRUE(r.b().Load(PropertyBag()));
    r.b().SetCaption(caption);
    PropertyBag bag;
    r.b().Save(bag);
    LoadRig again;
    ASSERT_TRUE(again.b().Load(bag));
    EXPECT_EQ(again.b().Caption(), caption);
  }
}

}  // namespace
}  // namespace quillon::controls::testing
