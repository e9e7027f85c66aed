#include <gtest/gtest.h>

#include <random>
#include <string>

#include "form_text.h"

namespace quillon::container {
namespace {

// A fragment in the shape of the main window's design, written by hand.
constexpr std::string_view kSample = R"(# comment line
begin Form FormT
  caption = "Quillon"
  clientwidth = 4785
  begin PictureBox Picture3
    backcolor = 0x00FF8080
    left = 0
    top = 472
    begin skbutton cmdsel
      _extentx = 2566
      _extenty = 873
      buttonstyle = 3
      font = font "Tahoma" 8.25 400
      backcolor = 14935011
      caption = "选择转换文件"
      pictureeffectonover = 0
      captioneffects = 0
      enabled = false
      pictureopacity = byte 128
      mousepointer = i16 99
      mouseicon = picture none
      tooltip = "a \"quoted\" tab\there\nnext \u{1F600}"
    end
  end
  begin Label Label1
    font = font "宋体" 12 400 charset 134
    forecolor = 0x80000012
  end
end
)";

TEST(StoredFormText, ReadsTheDocumentedFormat) {
  const FormObject form = ReadFormText(kSample);
  EXPECT_EQ(form.kind, L"Form");
  EXPECT_EQ(form.name, L"FormT");
  EXPECT_EQ(form.properties.ReadText(L"Caption", L""), L"Quillon");
  ASSERT_EQ(form.children.size(), 2u);
  const FormObject* panel = form.FindChild(L"picture3");
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->properties.ReadInt32(L"BackColor", 0), 0xFF8080);
  const FormObject* sel = form.FindChild(L"cmdsel");
  ASSERT_NE(sel, nullptr);
  const PropertyBag& bag = sel->properties;
  EXPECT_EQ(bag.Entries().front().key, L"_extentx") << "entries keep their stored order";
  EXPECT_EQ(bag.ReadInt32(L"ButtonStyle", 1), 3);
  EXPECT_EQ(bag.ReadInt32(L"BackColor", 0), 0xE3E3E3);
  EXPECT_EQ(bag.ReadText(L"Caption", L""), L"\u9009\u62e9\u8f6c\u6362\u6587\u4ef6");
  EXPECT_FALSE(bag.ReadBool(L"Enabled", true));
  EXPECT_EQ(TypeOf(*bag.Find(L"pictureopacity")), ValueType::Byte);
  EXPECT_EQ(bag.ReadByte(L"PictureOpacity", 0), 128);
  EXPECT_EQ(TypeOf(*bag.Find(L"mousepointer")), ValueType::Int16);
  EXPECT_EQ(TypeOf(*bag.Find(L"mouseicon")), ValueType::Empty);
  const FontDescription f = bag.ReadFont(L"Font", {});
  EXPECT_EQ(f.face, L"Tahoma");
  EXPECT_EQ(f.size10k, 82500);
  EXPECT_EQ(f.weight, 400);
  const std::wstring tip = bag.ReadText(L"ToolTip", L"");
  EXPECT_EQ(tip.substr(0, 25), L"a \"quoted\" tab\there\nnext ");
  EXPECT_EQ(FromUtf8(ToUtf8(tip.substr(25))), tip.substr(25));
  EXPECT_EQ(ToUtf8(tip.substr(25)), "\xF0\x9F\x98\x80");
  const FormObject* label = form.FindChild(L"Label1");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->properties.ReadFont(L"font", {}).charset, 134);
  EXPECT_EQ(static_cast<std::uint32_t>(label->properties.ReadInt32(L"ForeColor", 0)), 0x80000012u)
      << "hex is the 32-bit pattern of a system colour";
}

FormObject EveryKindOfValue() {
  FormObject root{L"Form", L"F", {}, {}};
  root.properties.Set(L"empty", std::monostate{});
  root.properties.Set(L"yes", true);
  root.properties.Set(L"no", false);
  root.properties.Set(L"byte", std::uint8_t{255});
  root.properties.Set(L"short", std::int16_t{-32768});
  root.properties.Set(L"min", std::int32_t{INT32_MIN});
  root.properties.Set(L"max", std::int32_t{INT32_MAX});
  root.properties.Set(L"text", std::wstring(L"back\\slash \"q\" \r\n\t\x01 end & 制作  "));
  root.properties.Set(L"emptytext", std::wstring());
  FontDescription font{L"Tahoma", 157500, 700, true, true, true, 134};
  root.properties.Set(L"font", font);
  root.properties.Set(L"pic", MakePicture(Picture::Kind::Icon, 3, 2, 32, true,
                                          {0x00000000u, 0x80FF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x12345678u,
                                           0xFFFFFFFFu}));
  root.properties.Set(L"pic8", MakePicture(Picture::Kind::Bitmap, 1, 1, 8, false, {0xFF102030u}));
  FormObject child{L"skbutton", L"cmd1", {}, {}};
  child.properties.Set(L"caption", std::wstring(L"x"));
  FormObject grandchild{L"Label", L"inner", {}, {}};
  child.children.push_back(grandchild);
  root.children.push_back(child);
  root.children.push_back(FormObject{L"Image", L"Image1", {}, {}});
  return root;
}

TEST(StoredFormText, RoundTripsEveryValueKindExactly) {
  const FormObject original = EveryKindOfValue();
  const std::string text = WriteFormText(original);
  const FormObject back = ReadFormText(text);
  EXPECT_EQ(back.kind, original.kind);
  EXPECT_TRUE(back.properties == original.properties) << text;
  ASSERT_EQ(back.children.size(), 2u);
  EXPECT_TRUE(back.children[0].properties == original.children[0].properties);
  EXPECT_EQ(back.children[0].children.size(), 1u);
  EXPECT_EQ(WriteFormText(back), text) << "write, read, write must be stable";
}

TEST(StoredFormText, ResourcePicturesAreReferencedByNameAndResolved) {
  auto glyph = MakePicture(Picture::Kind::Bitmap, 1, 1, 8, false, {0xFFFFFFFFu});
  std::const_pointer_cast<Picture>(glyph)->resourceName = L"CLOSE1";
  FormObject root{L"Form", L"F", {}, {}};
  root.properties.Set(L"picture", glyph);
  const std::string text = WriteFormText(root);
  EXPECT_NE(text.find("picture = picture resource \"CLOSE1\""), std::string::npos) << text;
  int asked = 0;
  auto resolver = [&](std::wstring_view name) -> PicturePtr {
    ++asked;
    return name == L"CLOSE1" ? glyph : nullptr;
  };
  const FormObject back = ReadFormText(text, resolver);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(back.properties.ReadPicture(L"picture", nullptr), glyph);
  EXPECT_THROW(ReadFormText(text), FormTextError) << "an unresolvable picture is an error, not a silent none";
}

TEST(StoredFormText, MalformedInputFailsWithTheLineNumber) {
  struct Case {
    std::string text;
    std::size_t line;
  };
  const Case cases[] = {
      {"begin Form F\n  x = 1\n", 3},                          // not closed
      {"x = 1\n", 1},                                          // outside an object
      {"begin Form F\nend\nbegin Form G\nend\n", 3},           // two roots
      {"end\n", 1},                                            // end without begin
      {"begin Form F\n  x = \"open\nend\n", 2},                // unterminated text
      {"begin Form F\n  x = 12abc\nend\n", 2},                 // garbage number
      {"begin Form F\n  x = byte 256\nend\n", 2},              // out of range
      {"begin Form F\n  x = 1\n  X = 2\nend\n", 3},            // duplicate key
      {"begin Form F\n  x 1\nend\n", 2},                       // no '='
      {"begin Form F\n  x = font \"T\" 8.12345 400\nend\n", 2},  // too many decimals
      {"begin Form F\n  x = picture bitmap 2 2 32 0 0 AAAA\nend\n", 2},  // short data
      {"begin Form F\n  x = \"\\u{D800}\"\nend\n", 2},         // surrogate escape
      {"begin Form F\n  x = \"\xC3\x28\"\nend\n", 2},          // bad UTF-8
      {"begin Form\nend\n", 1},                                // no name
      {"", 1},                                                 // nothing at all
  };
  for (const auto& c : cases) {
    try {
      ReadFormText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const FormTextError& e) {
      EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << e.what();
    }
  }
}

TEST(StoredFormText, RefusesToWriteWhatItCouldNotReadBack) {
  FormObject bad{L"Form", L"has space", {}, {}};
  EXPECT_THROW(WriteFormText(bad), ValueError);
  FormObject key{L"Form", L"F", {}, {}};
  key.properties.Set(L"end", std::int32_t{1});
  EXPECT_THROW(WriteFormText(key), ValueError);
}

TEST(StoredFormText, DeepNestingIsRefusedNotRecursedInto) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "begin A a\n";
  EXPECT_THROW(ReadFormText(text), FormTextError);
}

// Bounded random mutation of valid texts: every outcome must be a clean parse or a
// FormTextError, and whatever parses must write back and parse to the same thing.
TEST(StoredFormText, SurvivesRandomlyMutatedInput) {
  const std::string seeds[] = {std::string(kSample), WriteFormText(EveryKindOfValue())};
  std::mt19937 rng(20261208);
  const std::string alphabet = "\"\\=#{}u \n\t0x-9aZbegind\xC3\xA9\xF0\x9F\x98\x80";
  int parsed = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string text = seeds[round % 2];
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const std::size_t at = rng() % text.size();
      switch (rng() % 4) {
        case 0: text[at] = alphabet[rng() % alphabet.size()]; break;
        case 1: text.erase(at, 1 + rng() % 8); break;
        case 2: text.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
        default: text[at] = static_cast<char>(rng() & 0xFF); break;
      }
    }
    try {
      const FormObject o = ReadFormText(text);
      ++parsed;
      try {
        const FormObject again = ReadFormText(WriteFormText(o));
        EXPECT_TRUE(again.properties == o.properties);
      } catch (const ValueError&) {
        // Names the writer refuses (they parsed only as oddities); acceptable.
      }
    } catch (const FormTextError&) {
    }
  }
  EXPECT_GT(parsed, 0);
}

}  // namespace
}  // namespace quillon::container
