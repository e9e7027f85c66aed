#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font.h"

namespace quillon::container {
namespace {

TEST(FontObject, TellsListenersOfEveryRealChangeOnly) {
  auto font = Font::Create();
  std::vector<std::wstring> heard;
  auto sub = font->Subscribe([&](std::wstring_view a) { heard.emplace_back(a); });
  font->SetBold(true);
  font->SetBold(true);
  font->SetName(L"Tahoma");  // already Tahoma
  font->SetSize(12);
  font->SetItalic(true);
  font->SetCharset(134);
  EXPECT_EQ(heard, (std::vector<std::wstring>{L"Bold", L"Size", L"Italic", L"Charset"}));
  EXPECT_EQ(font->Description().weight, 700);
  EXPECT_EQ(font->Description().size10k, 120000);
  font->SetBold(false);
  EXPECT_EQ(font->Description().weight, 400);
}

TEST(FontObject, ASubscriptionEndsWithItsOwnerAndMayEndWhileBeingTold) {
  auto font = Font::Create();
  int calls = 0;
  {
    auto sub = font->Subscribe([&](std::wstring_view) { ++calls; });
    font->SetUnderline(true);
  }
  font->SetUnderline(false);
  EXPECT_EQ(calls, 1) << "a released subscription must not be called";

  FontSubscription self;
  int second = 0;
  self = font->Subscribe([&](std::wstring_view) { self.Reset(); });
  auto other = font->Subscribe([&](std::wstring_view) { ++second; });
  font->SetStrikethrough(true);
  font->SetStrikethrough(false);
  EXPECT_EQ(second, 2);
  EXPECT_FALSE(self.Active());
}

TEST(FontObject, SubscriptionOutlivingItsFontIsHarmless) {
  FontSubscription sub;
  {
    auto font = Font::Create();
    sub = font->Subscribe([](std::wstring_view) {});
  }
  EXPECT_FALSE(sub.Active());
  sub.Reset();
}

}  // namespace
}  // namespace quillon::container
