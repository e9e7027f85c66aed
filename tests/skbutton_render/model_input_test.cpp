// The renderer's view of a real skbutton model on the in-memory test container.
#include <gtest/gtest.h>

#include <memory>

#include "model_input.h"
#include "skbutton.h"
#include "test_container.h"

namespace quillon::render {
namespace {

TEST(PaintInputFrom, CarriesPropertiesStateAndAmbients) {
  container::TestForm form;
  container::TestSite& site = form.AddSite(L"cmdc", 0x2000);
  auto button = std::make_unique<controls::skbutton>(site);
  form.Place(button.get());
  button->InitNew();
  button->SetButtonStyle(ButtonStyle::Glass);
  button->SetCaption(L"开始转换");
  button->SetCaptionEffects(4);
  button->SetDropDownSymbol(6);
  button->SetPictureOpacity(128);
  button->SetMode(1);
  button->SetValue(true);
  site.userMode = false;

  const PaintInput in = PaintInputFrom(*button);
  EXPECT_EQ(in.buttonStyle, ButtonStyle::Glass);
  EXPECT_EQ(in.colorScheme, 2);               // Glass starts in the Silver scheme
  EXPECT_EQ(in.backColor, Rgb(227, 227, 227));
  EXPECT_EQ(in.caption, L"开始转换");
  EXPECT_EQ(in.captionEffects, 4);
  EXPECT_EQ(in.dropDownSymbol, 6);
  EXPECT_EQ(in.pictureOpacity, 128);
  EXPECT_TRUE(in.Checked());
  EXPECT_FALSE(in.userMode);
  EXPECT_EQ(in.font.face, L"Tahoma");
  EXPECT_LT(in.font.height, 0);  // a character height, as a point size gives
  form.Remove(button.get());
}

TEST(ToFontDesc, PointSizeToCharacterHeight) {
  container::FontDescription f;
  f.face = L"Tahoma";
  f.SetSizePoints(9);
  f.weight = 700;
  f.italic = true;
  const FontDesc d = ToFontDesc(f, 96);
  EXPECT_EQ(d.height, -12);  // 9 pt * 96 / 72
  EXPECT_EQ(d.weight, 700);
  EXPECT_TRUE(d.italic);
  f.SetSizePoints(8.25);
  EXPECT_EQ(ToFontDesc(f, 96).height, -11);  // 11.0
  f.SetSizePoints(10.125);
  EXPECT_EQ(ToFontDesc(f, 96).height, -14);  // 13.5 rounds away from zero, as MulDiv does
}

}  // namespace
}  // namespace quillon::render
