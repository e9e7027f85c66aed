// FormT's stored design as committed: the window, its controls at their pixel places at 15
// twips per pixel, stacking, tab order, and every button's property bag being exactly what
// the button itself saves.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "form_design.h"
#include "rig.h"

namespace quillon::app {
namespace {

using container::FontDescription;
using container::FormObject;
using container::PropertyBag;

std::string DesignText() {
  std::ifstream in(std::string(QUILLON_RESOURCES_DIR) + "/FormT.form", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Program pictures are resolved by name only; the window loads their pixels.
container::PicturePtr NamedPicture(std::wstring_view name) {
  auto p = std::make_shared<container::Picture>();
  p->resourceName = name;
  return p;
}

const FormDesign& Design() {
  static const FormDesign design(DesignText(), NamedPicture);
  return design;
}

std::vector<std::wstring> Names(const std::vector<FormObject>& objects) {
  std::vector<std::wstring> names;
  for (const auto& o : objects) names.push_back(o.name);
  return names;
}

TEST(StoredDesign, SurvivesWritingAndReadingBack) {
  const FormObject& form = Design().Form();
  const std::string written = container::WriteFormText(form);
  EXPECT_EQ(container::ReadFormText(written, NamedPicture), form);
  EXPECT_EQ(container::WriteFormText(container::ReadFormText(written, NamedPicture)), written);
}

TEST(StoredDesign, IsABorderless319By196WindowNamedQuillon) {
  const FormDesign& d = Design();
  EXPECT_EQ(d.Form().name, L"FormT");
  EXPECT_EQ(d.Caption(), L"Quillon");
  EXPECT_EQ(d.Form().properties.ReadInt32(L"BorderStyle", 2), 0);
  EXPECT_EQ(d.ClientWidth(15), 319);
  EXPECT_EQ(d.ClientHeight(15), 196);
  EXPECT_EQ(d.Form().properties.ReadPicture(L"Icon", nullptr)->resourceName, L"1") << "group icon 1";
}

TEST(StoredDesign, PutsEveryControlAtItsPixelPlace) {
  // x, y, width, height in pixels; the panel's buttons relative to the panel.
  const std::map<std::wstring, PixelRect> expected{
      {L"picclose1", {272, 8, 42, 19}}, {L"picclose2", {272, 8, 42, 19}}, {L"Picture3", {0, 31, 321, 169}},
      {L"Image1", {8, 7, 20, 20}},      {L"Label1", {32, 8, 112, 16}},    {L"Image2", {0, 0, 320, 31}},
      {L"cmdopath", {8, 8, 201, 33}},   {L"cmdsel", {216, 8, 97, 33}},    {L"cmdspath", {8, 48, 201, 33}},
      {L"cmdsave", {216, 48, 97, 33}},  {L"cmdfile", {8, 88, 97, 33}},    {L"cmdmemu", {112, 88, 97, 33}},
      {L"cmdc", {216, 88, 97, 33}},     {L"cmdlink", {8, 128, 305, 33}},
  };
  for (const auto& [name, pixels] : expected) {
    const PixelRect got = ToPixels(PlaceOf(Design().Control(name)), 15, 15);
    EXPECT_EQ(got, pixels) << container::ToUtf8(name) << " at " << got.x << "," << got.y << " " << got.width << "x"
                           << got.height;
  }
  // The grid: three columns, rows 40 pixels apart.
  for (const wchar_t* name : {L"cmdopath", L"cmdspath", L"cmdfile", L"cmdlink"})
    EXPECT_EQ(ToPixels(PlaceOf(Design().Control(name)), 15, 15).x, 8);
  EXPECT_EQ(ToPixels(PlaceOf(Design().Control(L"cmdmemu")), 15, 15).x, 112);
  EXPECT_EQ(ToPixels(PlaceOf(Design().Control(L"cmdlink")), 15, 15).y -
                ToPixels(PlaceOf(Design().Control(L"cmdfile")), 15, 15).y,
            40);
}

TEST(StoredDesign, StacksTheGlyphAtRestOverTheHighlightedOneAndThePanelHoldsTheButtons) {
  const FormDesign& d = Design();
  EXPECT_EQ(Names(d.Children()), (std::vector<std::wstring>{L"picclose1", L"picclose2", L"Picture3", L"Image1",
                                                             L"Label1", L"Image2"}));
  const FormObject& panel = d.Control(L"Picture3");
  EXPECT_EQ(Names(panel.children).size(), 8u);
  for (const FormObject& b : panel.children) EXPECT_EQ(b.kind, L"skbutton") << container::ToUtf8(b.name);
  EXPECT_EQ(panel.properties.ReadInt32(L"BackColor", 0), 0xFF8080) << "red 0x80, green 0x80, blue 0xFF";
  EXPECT_EQ(panel.properties.ReadInt32(L"ForeColor", -1), 0);
  for (const wchar_t* glyph : {L"picclose1", L"picclose2"}) {
    const PropertyBag& p = d.Control(glyph).properties;
    EXPECT_EQ(static_cast<std::uint32_t>(p.ReadInt32(L"BackColor", 0)), 0x80000005u);
    EXPECT_EQ(static_cast<std::uint32_t>(p.ReadInt32(L"ForeColor", 0)), 0x80000008u);
    EXPECT_EQ(p.ReadInt32(L"BorderStyle", 1), 0);
  }
  EXPECT_EQ(d.Control(L"picclose1").properties.ReadPicture(L"Picture", nullptr)->resourceName, L"PICCLOSE1");
  EXPECT_EQ(d.Control(L"picclose2").properties.ReadPicture(L"Picture", nullptr)->resourceName, L"PICCLOSE2");
  EXPECT_EQ(d.Control(L"picclose2").properties.ReadText(L"ToolTipText", L""), L"关闭");
  EXPECT_FALSE(d.Control(L"picclose1").properties.Contains(L"tooltiptext"));
}

TEST(StoredDesign, TitleStripIconAndLabel) {
  const FormDesign& d = Design();
  EXPECT_EQ(d.Control(L"Image2").properties.ReadPicture(L"Picture", nullptr)->resourceName, L"TITLESTRIP");
  EXPECT_TRUE(d.Control(L"Image2").properties.ReadBool(L"Stretch", false));
  EXPECT_EQ(d.Control(L"Image1").properties.ReadPicture(L"Picture", nullptr)->resourceName, L"1");
  EXPECT_TRUE(d.Control(L"Image1").properties.ReadBool(L"Stretch", false));
  const PropertyBag& label = d.Control(L"Label1").properties;
  EXPECT_EQ(label.ReadText(L"Caption", L""), L"Quillon");
  EXPECT_EQ(label.ReadInt32(L"BackStyle", 1), 0) << "transparent";
  EXPECT_EQ(label.ReadFont(L"Font", {}), (FontDescription{L"宋体", 120000, 400, false, false, false, 134}));
}

TEST(StoredDesign, TabOrderRunsFromThePanelToTheCreditButton) {
  std::vector<std::wstring> order;
  for (const FormObject* o : Design().TabOrder()) order.push_back(o->name);
  EXPECT_EQ(order, (std::vector<std::wstring>{L"Picture3", L"cmdsel", L"cmdopath", L"Label1", L"picclose1",
                                              L"picclose2", L"cmdspath", L"cmdc", L"cmdfile", L"cmdmemu",
                                              L"cmdsave", L"cmdlink"}));
}

// ---- the eight buttons' bags ------------------------------------------------------------

struct ButtonFacts {
  const wchar_t* name;
  std::int32_t style;
  const wchar_t* caption;
  FontDescription font;
  std::uint32_t back;
  bool enabled, pushOnHover;
  std::int32_t captionAlign;
  std::uint32_t tooltipBack;  // kInfo: not stored
  std::int32_t extentX;
};

constexpr std::uint32_t kFace = 0xD8E9EC, kText = 0x102030, kInfo = 0xE1FFFF;

FontDescription Tahoma(std::int64_t size10k, std::int16_t weight) {
  return {L"Tahoma", size10k, weight, false, false, false, 0};
}

const std::vector<ButtonFacts>& Buttons() {
  static const std::vector<ButtonFacts> facts{
      {L"cmdopath", 3, L"", Tahoma(120000, 700), 0xE3E3E3, false, true, 1, 0, 5318},
      {L"cmdsel", 3, L"选择转换文件", Tahoma(82500, 400), 0xE3E3E3, true, false, 1, 0, 2566},
      {L"cmdspath", 3, L"", Tahoma(82500, 700), 0xE3E3E3, false, true, 0, 0, 5318},
      {L"cmdsave", 3, L"选择保存路径", Tahoma(82500, 400), 0xE3E3E3, true, false, 1, 0, 2566},
      {L"cmdfile", 3, L"打开文件", Tahoma(82500, 400), 0xE3E3E3, true, false, 1, 0, 2566},
      {L"cmdmemu", 3, L"打开目录", Tahoma(82500, 400), 0xE3E3E3, true, true, 1, 0, 2566},
      {L"cmdc", 3, L"开始转换", Tahoma(82500, 400), 0xE3E3E3, true, false, 1, 0, 2566},
      {L"cmdlink", 4, L"Corvandel  制作  ", Tahoma(157500, 700), 0xFF8080, true, true, 1, kInfo, 8070},
  };
  return facts;
}

struct LoadedButton : controls::testing::Rig {
  explicit LoadedButton(const FormObject& object) {
    site.systemColours = {{container::kColorBtnFace, kFace}, {container::kColorBtnText, kText},
                          {container::kColorInfoBk, kInfo}};
    site.ambientFont = {L"MS Sans Serif", 82500, 400, false, false, false, 0};
    const DesignPlace place = PlaceOf(object);
    site.extent = {place.width, place.height};
    loaded = b().Load(ControlBag(object));
  }
  bool loaded = false;
};

TEST(StoredButtons, LoadWithTheirStylesCaptionsFontsAndColours) {
  for (const ButtonFacts& f : Buttons()) {
    SCOPED_TRACE(container::ToUtf8(f.name));
    LoadedButton r(Design().Control(f.name));
    ASSERT_TRUE(r.loaded);
    const controls::skbutton& b = r.b();
    EXPECT_EQ(b.ButtonStyle(), f.style);
    EXPECT_EQ(b.Caption(), f.caption);
    EXPECT_EQ(b.Font()->Description(), f.font);
    EXPECT_EQ(b.BackColor(), f.back);
    EXPECT_EQ(b.Enabled(), f.enabled);
    EXPECT_EQ(b.PicturePushOnHover(), f.pushOnHover);
    EXPECT_EQ(b.CaptionAlign(), f.captionAlign);
    EXPECT_EQ(b.PictureEffectOnOver(), 0) << "a missing key would load Brighten";
    EXPECT_EQ(b.PictureEffectOnDown(), 0) << "a missing key would load Darken";
    EXPECT_EQ(b.CaptionEffects(), 0);
    EXPECT_EQ(b.TooltipBackColor(), f.tooltipBack);
    EXPECT_EQ(b.ForeColor(), kText) << "not stored: the system button text";
    EXPECT_EQ(b.Mode(), 0);
    EXPECT_FALSE(b.PictureNormal());
  }
}

TEST(StoredButtons, HoldExactlyWhatTheButtonSavesAfterTheContainersExtents) {
  for (const ButtonFacts& f : Buttons()) {
    SCOPED_TRACE(container::ToUtf8(f.name));
    const FormObject& object = Design().Control(f.name);
    LoadedButton r(object);
    ASSERT_TRUE(r.loaded);
    PropertyBag saved;
    saved.Set(L"_extentx", container::PixelsToHimetric(ToPixels(PlaceOf(object), 15, 15).width));
    saved.Set(L"_extenty", container::PixelsToHimetric(ToPixels(PlaceOf(object), 15, 15).height));
    r.b().Save(saved);
    const PropertyBag stored = ControlBag(object);
    EXPECT_TRUE(saved == stored) << "saved:\n"
                                 << container::WriteFormText({L"skbutton", f.name, saved, {}}) << "stored:\n"
                                 << container::WriteFormText({L"skbutton", f.name, stored, {}});
    EXPECT_EQ(stored.ReadInt32(L"_extentx", 0), f.extentX);
    EXPECT_EQ(stored.ReadInt32(L"_extenty", 0), 873);
  }
}

TEST(StoredButtons, KeepTheFormsOwnKeysOutOfTheControlsBag) {
  const FormObject& cmdc = Design().Control(L"cmdc");
  const PropertyBag bag = ControlBag(cmdc);
  for (std::wstring_view key : kExtenderKeys) EXPECT_FALSE(bag.Contains(key)) << container::ToUtf8(key);
  EXPECT_EQ(bag.Entries().front().key, L"_extentx");
  EXPECT_EQ(cmdc.properties.Size(), bag.Size() + std::size(kExtenderKeys));
}

TEST(StoredDesignErrors, AreReportedNotGuessed) {
  EXPECT_THROW(Design().Control(L"cmdnothing"), DesignError);
  EXPECT_THROW(FormDesign("begin PictureBox P\nend\n", NamedPicture), DesignError) << "not a form";
  EXPECT_THROW(FormDesign("begin Form F\n  begin Image I\n", NamedPicture), container::FormTextError);
  const FormDesign broken("begin Form F\n  begin Image I\n    left = \"x\"\n  end\nend\n", NamedPicture);
  EXPECT_THROW(PlaceOf(broken.Control(L"I")), DesignError);
}

TEST(PixelPlaces, RoundToTheNearestPixelWithTiesToEven) {
  EXPECT_EQ(ToPixels({100, 472, 4815, 2535}, 15, 15), (PixelRect{7, 31, 321, 169}));  // 6.67, 31.47
  EXPECT_EQ(ToPixels({-7, 22, 37, 52}, 15, 15), (PixelRect{0, 1, 2, 3}));  // -0.47, 1.47, 2.47, 3.47
  EXPECT_EQ(ToPixels({30, 45, 75, 0}, 12, 18), (PixelRect{2, 2, 6, 0}));  // 2.5 -> 2, 2.5 -> 2, 6.25
  EXPECT_EQ(ToPixels({1440, 1440, 0, 0}, 10, 10), (PixelRect{144, 144, 0, 0}));
}

}  // namespace
}  // namespace quillon::app
