#include <gtest/gtest.h>

#include <functional>

#include "color_schemes.h"
#include "rig.h"

namespace quillon::controls::testing {
namespace {

constexpr OleColour kFace = 0xC8D0D4;  // system colours distinct from every default
constexpr OleColour kText = 0x102030;
constexpr OleColour kInfo = 0xE1FFFF;

void UseSystemColours(TestSite& site) {
  site.systemColours = {{container::kColorBtnFace, kFace}, {container::kColorBtnText, kText},
                        {container::kColorInfoBk, kInfo}};
}

struct NewButton : Rig {
  NewButton() {
    UseSystemColours(site);
    site.ambientFont = container::FontDescription{L"MS Sans Serif", 97500, 400, false, false, false, 1};
    b().InitNew();
    ClearLog();
  }
};

TEST(NewInstance, StartsWithTheDocumentedValues) {
  NewButton r;
  skbutton& b = r.b();
  EXPECT_EQ(b.ButtonStyle(), ButtonStyle::SystemTheme);
  EXPECT_FALSE(b.ShowFocusRect()) << "the colour scheme turns the focus rectangle off for style 13";
  EXPECT_EQ(b.ForeColor(), kText);
  EXPECT_EQ(b.BackColor(), 0u);
  EXPECT_EQ(b.ColorScheme(), ColorScheme::Blue);
  EXPECT_EQ(b.PictureEffectOnOver(), 0);
  EXPECT_EQ(b.PictureEffectOnDown(), 0);
  EXPECT_EQ(b.TooltipBackColor(), 0u);
  EXPECT_EQ(b.Caption(), L"skbutton1");
  EXPECT_TRUE(b.Enabled());
  EXPECT_EQ(b.PictureOpacity(), 255);
  EXPECT_EQ(b.PictureOpacityOnOver(), 255);
  EXPECT_EQ(b.PictureAlign(), PicturePosition::LeftOfCaption);
  EXPECT_EQ(b.CaptionAlign(), CaptionAlignment::Center);
  EXPECT_TRUE(b.UseMaskColor());
  EXPECT_EQ(b.MaskColor(), 0xE0E0E0u);
  EXPECT_EQ(b.Mode(), ButtonMode::Push);
  EXPECT_FALSE(b.Value());
  EXPECT_FALSE(b.HandPointer());
  EXPECT_FALSE(b.PictureNormal());
  EXPECT_FALSE(b.PicturePushOnHover());
  EXPECT_EQ(b.CaptionEffects(), 0);
  EXPECT_EQ(b.ForeColorHover(), 0u);
  EXPECT_EQ(b.DropDownSymbol(), 0);
  EXPECT_TRUE(b.ToolTip().empty());
  EXPECT_FALSE(b.RightToLeft());
  EXPECT_EQ(b.MousePointer(), 0);
  ASSERT_TRUE(b.Font());
  EXPECT_EQ(b.Font()->Description().face, L"Tahoma");
  EXPECT_EQ(b.Font()->Description().size10k, 97500) << "only the face changes from the ambient font";
  EXPECT_EQ(b.SurfaceFont().face, L"Tahoma");
  EXPECT_EQ(b.CachedWidth(), 97);
  EXPECT_EQ(b.CachedHeight(), 33);
  EXPECT_EQ(b.State(), ButtonState::Normal);
}

TEST(NewInstance, WithoutVisualStylesTheFirstRedrawFallsBackToRoundedBlue) {
  Rig r;
  UseSystemColours(r.site);
  r.services.themed = false;
  r.b().InitNew();
  EXPECT_EQ(r.b().ButtonStyle(), ButtonStyle::Rounded);
  EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Blue);
  EXPECT_EQ(r.b().BackColor(), Rgb(236, 235, 231));
  container::PropertyBag bag;
  r.b().Save(bag);
  EXPECT_EQ(bag.ReadInt32(L"ButtonStyle", -1), 2) << "the fallback is for good and is saved";
}

TEST(PropertySetters, StoreThenRedrawThenNotify) {
  struct Case {
    const char* name;
    std::function<void(skbutton&)> set;
    std::function<bool(const skbutton&)> stored;
  };
  const Case cases[] = {
      {"CaptionAlign", [](skbutton& b) { b.SetCaptionAlign(2); }, [](const skbutton& b) { return b.CaptionAlign() == 2; }},
      {"DropDownSymbol", [](skbutton& b) { b.SetDropDownSymbol(6); }, [](const skbutton& b) { return b.DropDownSymbol() == 6; }},
      {"DropDownSeparator", [](skbutton& b) { b.SetDropDownSeparator(true); }, [](const skbutton& b) { return b.DropDownSeparator(); }},
      {"DisabledPictureMode", [](skbutton& b) { b.SetDisabledPictureMode(1); }, [](const skbutton& b) { return b.DisabledPictureMode() == 1; }},
      {"ForeColorHover", [](skbutton& b) { b.SetForeColorHover(0xFF); }, [](const skbutton& b) { return b.ForeColorHover() == 0xFFu; }},
      {"MaskColor", [](skbutton& b) { b.SetMaskColor(0xFF00FF); }, [](const skbutton& b) { return b.MaskColor() == 0xFF00FFu; }},
      {"PictureShadow", [](skbutton& b) { b.SetPictureShadow(true); }, [](const skbutton& b) { return b.PictureShadow(); }},
      {"PictureEffectOnOver", [](skbutton& b) { b.SetPictureEffectOnOver(2); }, [](const skbutton& b) { return b.PictureEffectOnOver() == 2; }},
      {"PictureEffectOnDown", [](skbutton& b) { b.SetPictureEffectOnDown(1); }, [](const skbutton& b) { return b.PictureEffectOnDown() == 1; }},
      {"PicturePushOnHover", [](skbutton& b) { b.SetPicturePushOnHover(true); }, [](const skbutton& b) { return b.PicturePushOnHover(); }},
      {"PictureOpacity", [](skbutton& b) { b.SetPictureOpacity(7); }, [](const skbutton& b) { return b.PictureOpacity() == 7; }},
      {"PictureOpacityOnOver", [](skbutton& b) { b.SetPictureOpacityOnOver(9); }, [](const skbutton& b) { return b.PictureOpacityOnOver() == 9; }},
      {"CaptionEffects", [](skbutton& b) { b.SetCaptionEffects(5); }, [](const skbutton& b) { return b.CaptionEffects() == 5; }},
      {"TooltipTitle", [](skbutton& b) { b.SetTooltipTitle(L"T"); }, [](const skbutton& b) { return b.TooltipTitle() == L"T"; }},
      {"ToolTip", [](skbutton& b) { b.SetToolTip(L"tip"); }, [](const skbutton& b) { return b.ToolTip() == L"tip"; }},
      {"TooltipBackColor", [](skbutton& b) { b.SetTooltipBackColor(0x80000018); }, [](const skbutton& b) { return b.TooltipBackColor() == 0x80000018u; }},
      {"ToolTipIcon", [](skbutton& b) { b.SetToolTipIcon(3); }, [](const skbutton& b) { return b.ToolTipIcon() == 3; }},
      {"ToolTipType", [](skbutton& b) { b.SetToolTipType(1); }, [](const skbutton& b) { return b.ToolTipType() == 1; }},
      // Out-of-range numbers are stored unchanged.
      {"PictureEffectOnOver", [](skbutton& b) { b.SetPictureEffectOnOver(-5); }, [](const skbutton& b) { return b.PictureEffectOnOver() == -5; }},
  };
  for (const auto& c : cases) {
    NewButton r;
    c.set(r.b());
    EXPECT_TRUE(c.stored(r.b())) << c.name;
    EXPECT_EQ(r.form.log, (Log{"redraw", std::string("notify:") + c.name})) << c.name;
  }
}

TEST(PropertySetters, APaintersForeColorReadsBackWithoutARedrawOrNotification) {
  NewButton r;
  r.b().StoreForeColor(0xFFFFFF);  // SilverToolbar's pressed caption colour
  EXPECT_EQ(r.b().ForeColor(), 0xFFFFFFu);
  EXPECT_EQ(r.b().SurfaceForeColor(), 0xFFFFFFu);
  EXPECT_TRUE(r.form.log.empty()) << "a redraw here would re-enter the paint that stored it";
}

TEST(PropertySetters, SideEffectsComeBeforeTheRedrawAndTheNotification) {
  NewButton r;
  r.b().SetEnabled(false);
  EXPECT_EQ(r.form.log, (Log{"window:disabled", "redraw", "notify:Enabled"}));
  EXPECT_FALSE(r.site.windowEnabled);

  r.ClearLog();
  r.b().SetCaption(L"&Open");
  EXPECT_EQ(r.form.log, (Log{"accesskeys:", "accesskeys:o", "redraw", "notify:Caption"}));

  r.ClearLog();
  r.b().SetForeColor(0x0000FF);
  EXPECT_EQ(r.b().SurfaceForeColor(), 0x0000FFu) << "ForeColor is the surface's text colour";
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:ForeColor"}));

  r.ClearLog();
  r.b().SetRightToLeft(true);
  EXPECT_TRUE(r.b().RightToLeft());
  EXPECT_TRUE(r.b().TooltipRightToLeft());
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:RightToLeft"}));

  r.ClearLog();
  r.b().SetShowFocusRect(true);
  EXPECT_EQ(r.form.log, (Log{"notify:ShowFocusRect"})) << "ShowFocusRect waits for the next redraw";

  r.ClearLog();
  r.b().SetButtonStyle(ButtonStyle::Glass);
  EXPECT_EQ(r.form.log, (Log{"region", "redraw", "notify:ButtonStyle"}));
  ASSERT_EQ(r.renderer.backAtRegion.size(), 1u);
  EXPECT_EQ(r.renderer.backAtRegion[0], Rgb(227, 227, 227)) << "schemes apply before the region is rebuilt";

  r.ClearLog();
  r.b().SetColorScheme(ColorScheme::Blue);
  EXPECT_EQ(r.b().BackColor(), Rgb(224, 236, 253));
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:ColorScheme"}));
}

TEST(PropertySetters, PictureAlignAndUseMaskColorRedrawOnlyWithAPicture) {
  NewButton r;
  r.b().SetPictureAlign(4);
  r.b().SetUseMaskColor(false);
  EXPECT_EQ(r.form.log, (Log{"notify:PictureAlign", "notify:UseMaskColor"}));
  r.b().SetPictureNormal(container::MakePicture(container::Picture::Kind::Bitmap, 1, 1, 24, false, {0}));
  r.ClearLog();
  r.b().SetPictureAlign(5);
  r.b().SetUseMaskColor(true);
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:PictureAlign", "redraw", "notify:UseMaskColor"}));
}

TEST(BackColor, SwitchesToTheCustomSchemeExceptOnPlain) {
  NewButton r;
  r.b().SetButtonStyle(ButtonStyle::Plain);
  ASSERT_EQ(r.b().ColorScheme(), ColorScheme::Blue);
  r.b().SetBackColor(0x123456);
  EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Blue);
  EXPECT_EQ(r.b().BackColor(), 0x123456u);

  r.b().SetButtonStyle(ButtonStyle::Glass);
  ASSERT_EQ(r.b().ColorScheme(), ColorScheme::Silver);
  r.ClearLog();
  r.b().SetBackColor(0x654321);
  EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Custom);
  EXPECT_EQ(r.b().BackColor(), 0x654321u) << "the Custom scheme is set without applying a scheme";
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:BackColor"}));
}

container::PicturePtr Pic(std::uint32_t px) {
  return container::MakePicture(container::Picture::Kind::Bitmap, 1, 1, 24, false, {px});
}

TEST(Pictures, HotOrDownWithoutANormalPictureFillTheNormalOne) {
  NewButton r;
  auto p = Pic(1);
  r.b().SetPictureHot(p);
  EXPECT_EQ(r.b().PictureNormal(), p);
  EXPECT_FALSE(r.b().PictureHot());
  EXPECT_EQ(r.form.log, (Log{"notify:PictureNormal"})) << "no redraw on this path";

  r.ClearLog();
  auto hot = Pic(2);
  r.b().SetPictureHot(hot);
  EXPECT_EQ(r.b().PictureHot(), hot);
  EXPECT_EQ(r.form.log, (Log{"notify:PictureHot", "redraw"}));

  NewButton d;
  d.b().SetPictureDown(p);
  EXPECT_EQ(d.b().PictureNormal(), p);
  EXPECT_FALSE(d.b().PictureDown());
}

TEST(Pictures, ClearingTheNormalPictureResizesAndClearsHotAndDown) {
  NewButton r;
  r.b().SetPictureNormal(Pic(1));
  r.b().SetPictureHot(Pic(2));
  r.b().SetPictureDown(Pic(3));
  r.site.extent = {1455, 100};  // below the minimum height
  r.ClearLog();
  r.b().SetPictureNormal(nullptr);
  EXPECT_FALSE(r.b().PictureHot());
  EXPECT_FALSE(r.b().PictureDown());
  EXPECT_EQ(r.form.log,
            (Log{"extent:1455x220", "region", "redraw", "notify:PictureHot", "notify:PictureDown"}));

  r.ClearLog();
  r.b().SetPictureNormal(Pic(4));
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:PictureNormal"}));
}

TEST(ValueProperty, IsKeptOnlyOutsidePushMode) {
  NewButton r;
  r.b().SetValue(true);
  EXPECT_FALSE(r.b().Value()) << "Push mode keeps no Value";
  EXPECT_EQ(r.form.log, (Log{"redraw"})) << "and tells the container nothing";

  r.b().SetMode(ButtonMode::Check);
  r.ClearLog();
  r.b().SetValue(true);
  EXPECT_TRUE(r.b().Value());
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:Value"}));
  EXPECT_EQ(r.b().State(), ButtonState::Down) << "a set Value shows as Down in the Glass-like styles";

  r.ClearLog();
  r.b().SetValue(false);
  EXPECT_EQ(r.b().State(), ButtonState::Normal);

  // An unknown mode still keeps a Value.
  r.b().SetMode(7);
  r.b().SetValue(true);
  EXPECT_TRUE(r.b().Value());
}

TEST(ValueProperty, ModePushReturnsAShownValueToNormalButKeepsIt) {
  NewButton r;
  r.b().SetMode(ButtonMode::Option);
  r.b().SetValue(true);
  ASSERT_EQ(r.b().State(), ButtonState::Down);
  r.ClearLog();
  r.b().SetMode(ButtonMode::Push);
  EXPECT_EQ(r.b().State(), ButtonState::Normal);
  EXPECT_TRUE(r.b().Value());
  EXPECT_EQ(r.form.log, (Log{"redraw", "notify:Value", "notify:Mode"}));
}

TEST(ValueProperty, ClassicAndSilverToolbarDoNotForceTheDownState) {
  for (std::int32_t style : {ButtonStyle::Classic, ButtonStyle::SilverToolbar}) {
    NewButton r;
    r.b().SetButtonStyle(style);
    r.b().SetMode(ButtonMode::Check);
    r.b().SetValue(true);
    EXPECT_EQ(r.b().State(), ButtonState::Normal) << style;
  }
}

TEST(CursorProperties, HandPointerMouseIconAndMousePointerInteract) {
  NewButton r;
  r.site.mousePointer = 5;
  r.b().SetHandPointer(true);
  EXPECT_TRUE(r.b().HandPointer());
  EXPECT_EQ(r.b().MousePointer(), 0);
  EXPECT_EQ(r.form.log, (Log{"pointer:0", "loadhand", "redraw", "notify:HandPointer"}));

  r.ClearLog();
  r.b().SetHandPointer(true);
  EXPECT_EQ(r.form.log, (Log{"pointer:0", "redraw", "notify:HandPointer"})) << "the hand cursor is loaded once";

  r.ClearLog();
  auto icon = Pic(9);
  r.b().SetMouseIcon(icon);
  EXPECT_FALSE(r.b().HandPointer());
  EXPECT_EQ(r.b().MousePointer(), 99);
  EXPECT_EQ(r.b().MouseIcon(), icon);
  EXPECT_EQ(r.form.log, (Log{"mouseicon:set", "notify:HandPointer", "pointer:99", "notify:MouseIcon"}));

  r.ClearLog();
  r.b().SetMouseIcon(nullptr);
  EXPECT_EQ(r.b().MousePointer(), 0);
  EXPECT_EQ(r.form.log, (Log{"mouseicon:none", "pointer:0", "notify:MouseIcon"}));

  r.ClearLog();
  r.b().SetHandPointer(true);
  r.b().SetMousePointer(2);
  EXPECT_EQ(r.b().MousePointer(), 2);
  EXPECT_TRUE(r.b().HandPointer()) << "MousePointer leaves HandPointer alone";
}

TEST(CursorProperties, ErrorsOfThePointerIconAreIgnoredAndAMissingHandCursorSwitchesOff) {
  NewButton r;
  r.site.mouseIconThrows = true;
  EXPECT_NO_THROW(r.b().SetMouseIcon(Pic(1)));
  EXPECT_EQ(r.b().MousePointer(), 99);

  NewButton none;
  none.site.handCursor = 0;
  none.b().SetHandPointer(true);
  EXPECT_FALSE(none.b().HandPointer());
}

TEST(FontProperty, AssigningAndChangingTheFontObjectRedrawsAndNotifies) {
  NewButton r;
  auto font = container::Font::Create(container::FontDescription{L"Arial", 120000, 700, false, false, false, 0});
  auto old = r.b().Font();
  r.b().SetFont(font);
  EXPECT_EQ(r.b().Font(), font);
  EXPECT_EQ(r.b().SurfaceFont().face, L"Arial");
  EXPECT_EQ(r.form.log, (Log{"refresh", "redraw", "notify:Font", "refresh", "redraw", "notify:Font"}));

  r.ClearLog();
  font->SetItalic(true);
  EXPECT_TRUE(r.b().SurfaceFont().italic) << "a host changing the object changes the caption font";
  EXPECT_EQ(r.form.log, (Log{"refresh", "redraw", "notify:Font"}));

  r.ClearLog();
  old->SetBold(true);
  EXPECT_TRUE(r.form.log.empty()) << "the replaced font no longer speaks to the button";
  EXPECT_THROW(r.b().SetFont(nullptr), std::invalid_argument);
}

TEST(FontProperty, AFontOutlivingTheButtonIsSafe) {
  container::FontPtr kept;
  {
    NewButton r;
    kept = r.b().Font();
  }
  kept->SetSize(20);  // the destroyed button must not be called
  SUCCEED();
}

}  // namespace
}  // namespace quillon::controls::testing
