// AMF0 and .sol files: every value type both ways, shared references and cycles, the exact
// bytes of a small file, damaged files; SharedObject saving through flush and at the end of a
// movie, read back by the next player.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/array.h"
#include "avm1/classes/data_classes.h"
#include "avm1/classes/date.h"
#include "avm1/fake_host.h"
#include "data/amf0.h"
#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player::avm1::testing {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Value RoundTrip(Rig& rig, const Value& v) {
  const std::string bytes = data::WriteAmf0(rig.vm, v);
  Value out;
  EXPECT_TRUE(data::ReadAmf0(rig.vm, Span(bytes), out));
  return out;
}

TEST(Amf0Test, PrimitivesKeepTypeAndValue) {
  Rig rig;
  EXPECT_TRUE(RoundTrip(rig, Value::Undefined()).IsUndefined());
  EXPECT_TRUE(RoundTrip(rig, Value::Null()).IsNull());
  EXPECT_TRUE(RoundTrip(rig, Value::Bool(true)).boolean);
  EXPECT_FALSE(RoundTrip(rig, Value::Bool(false)).boolean);
  EXPECT_EQ(RoundTrip(rig, Value::Num(-1.25e300)).number, -1.25e300);
  EXPECT_TRUE(std::isnan(RoundTrip(rig, Value::Num(NAN)).number));
  EXPECT_TRUE(std::signbit(RoundTrip(rig, Value::Num(-0.0)).number));
  EXPECT_EQ(RoundTrip(rig, Value::Str("h\xC3\xA9llo")).string, "h\xC3\xA9llo");
  // A number is its marker and eight big-endian bytes; 1 is 3FF0000000000000.
  EXPECT_EQ(data::WriteAmf0(rig.vm, Value::Num(1)), std::string("\x00\x3F\xF0\x00\x00\x00\x00\x00\x00", 9));
  EXPECT_EQ(data::WriteAmf0(rig.vm, Value::Str("ab")), std::string("\x02\x00\x02" "ab", 5));
}

TEST(Amf0Test, StringsOver65535BytesAreLongStrings) {
  Rig rig;
  const std::string big(70000, 'q');
  const std::string bytes = data::WriteAmf0(rig.vm, Value::Str(big));
  ASSERT_EQ(bytes.size(), 1 + 4 + big.size());
  EXPECT_EQ(bytes[0], '\x0C');
  EXPECT_EQ(bytes.substr(1, 4), std::string("\x00\x01\x11\x70", 4));  // 70000
  EXPECT_EQ(RoundTrip(rig, Value::Str(big)).string, big);
}

TEST(Amf0Test, ObjectsArraysAndDatesComeBackWithTheirProperties) {
  Rig rig;
  Machine& vm = rig.vm;
  Object* o = vm.NewObject();
  o->Set("name", Value::Str("x"));
  o->Set("n", Value::Num(3));
  o->Set("skip", Value::Obj(vm.NewNative([](Call&) { return Value{}; })));  // functions are no data
  Object* arr = vm.NewArray({Value::Num(1), Value::Str("two")});
  arr->Set("extra", Value::Bool(true));
  o->Set("list", Value::Obj(arr));
  auto* date = vm.Make<DateObject>(981152406000.0);
  date->SetProto(vm.dateProto);
  o->Set("when", Value::Obj(date));

  const Value back = RoundTrip(rig, Value::Obj(o));
  ASSERT_TRUE(back.IsObject());
  Object* b = back.object;
  EXPECT_EQ(vm.ToString(b->Get("name")), "x");
  EXPECT_EQ(b->Get("n").number, 3);
  EXPECT_FALSE(b->HasOwn("skip"));
  auto* list = dynamic_cast<ArrayObject*>(b->Get("list").object);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->items.size(), 2u);
  EXPECT_EQ(list->items[0].number, 1);
  EXPECT_EQ(list->items[1].string, "two");
  EXPECT_TRUE(list->Get("extra").boolean);
  auto* when = dynamic_cast<DateObject*>(b->Get("when").object);
  ASSERT_NE(when, nullptr);
  EXPECT_EQ(when->time, 981152406000.0);
  EXPECT_EQ(vm.ToNumber(vm.CallMethod(when, "getTime", {})), 981152406000.0);
  // Properties keep their order.
  std::vector<std::string> names;
  b->ForEachOwn([&](const std::string& k, Property& p) {
    if (!(p.flags & kDontEnum)) names.push_back(k);
  });
  EXPECT_EQ(names, (std::vector<std::string>{"name", "n", "list", "when"}));
}

TEST(Amf0Test, SharedObjectsAndCyclesComeBackAsReferences) {
  Rig rig;
  Machine& vm = rig.vm;
  Object* root = vm.NewObject();
  Object* shared = vm.NewObject();
  shared->Set("v", Value::Num(7));
  root->Set("a", Value::Obj(shared));
  root->Set("b", Value::Obj(shared));
  root->Set("self", Value::Obj(root));
  Object* arr = vm.NewArray();
  arr->Set("0", Value::Obj(arr));
  root->Set("arr", Value::Obj(arr));
  const std::string bytes = data::WriteAmf0(vm, Value::Obj(root));
  // The second sight of `shared` is reference 1 (the root is 0): 07 00 01.
  EXPECT_NE(bytes.find(std::string("\x00\x01" "b\x07\x00\x01", 6)), std::string::npos);
  Value back;
  ASSERT_TRUE(data::ReadAmf0(vm, Span(bytes), back));
  Object* r = back.object;
  EXPECT_EQ(r->Get("a").object, r->Get("b").object);
  EXPECT_EQ(r->Get("a").object->Get("v").number, 7);
  EXPECT_EQ(r->Get("self").object, r);
  Object* a2 = r->Get("arr").object;
  EXPECT_EQ(a2->Get("0").object, a2);
}

TEST(Amf0Test, ReadsStrictArraysTypedObjectsAndUnsupported) {
  Rig rig;
  Machine& vm = rig.vm;
  // [1, "x"] as a strict array.
  const std::string strict("\x0A\x00\x00\x00\x02\x00\x3F\xF0\x00\x00\x00\x00\x00\x00\x02\x00\x01x", 18);
  Value v;
  ASSERT_TRUE(data::ReadAmf0(vm, Span(strict), v));
  auto* arr = dynamic_cast<ArrayObject*>(v.object);
  ASSERT_NE(arr, nullptr);
  ASSERT_EQ(arr->items.size(), 2u);
  EXPECT_EQ(arr->items[1].string, "x");
  EXPECT_TRUE(data::ReadAmf0(vm, Span(std::string("\x0D", 1)), v));
  EXPECT_TRUE(v.IsUndefined());

  // A registered class is written by name and read back with its prototype.
  Function* ctor = vm.NewClass([](Call&) { return Value{}; }, nullptr, vm.NewObject());
  vm.global()->Set("Saved", Value::Obj(ctor));
  Object* object = vm.global()->Get("Object").object;
  const Value reg[] = {Value::Str("Saved"), Value::Obj(ctor)};
  vm.CallMethod(object, "registerClass", reg);
  const Value instance = vm.Construct(Value::Obj(ctor), {});
  instance.object->Set("k", Value::Num(2));
  const std::string typed = data::WriteAmf0(vm, instance);
  EXPECT_EQ(typed.substr(0, 8), std::string("\x10\x00\x05" "Saved", 8));
  ASSERT_TRUE(data::ReadAmf0(vm, Span(typed), v));
  EXPECT_EQ(v.object->Proto(), ctor->Get("prototype").object);
  EXPECT_EQ(v.object->Get("k").number, 2);
}

TEST(Amf0Test, XmlDocumentsTravelAsText) {
  Rig rig;
  Machine& vm = rig.vm;
  const Value xmlClass = vm.global()->Get("XML");
  ASSERT_TRUE(xmlClass.IsObject());
  const Value args[] = {Value::Str("<a b=\"1\"><c>t</c></a>")};
  const Value doc = vm.Construct(xmlClass, args);
  const std::string bytes = data::WriteAmf0(vm, doc);
  EXPECT_EQ(bytes[0], '\x0F');
  Value back;
  ASSERT_TRUE(data::ReadAmf0(vm, Span(bytes), back));
  ASSERT_TRUE(back.IsObject());
  EXPECT_EQ(vm.ToString(back), vm.ToString(doc));
  EXPECT_NE(back.object, doc.object);
}

TEST(Amf0Test, MalformedValuesAreRefused) {
  Rig rig;
  Value v;
  for (const std::string& bad : {std::string(), std::string("\x00\x3F", 2), std::string("\x07\x00\x00", 3),
                                 std::string("\x11", 1), std::string("\x04", 1), std::string("\x02\x00\x05" "ab", 5),
                                 std::string("\x03\x00\x01", 3), std::string("\x0A\xFF\xFF\xFF\xFF", 5),
                                 std::string("\x05\x05", 2)})
    EXPECT_FALSE(data::ReadAmf0(rig.vm, Span(bad), v)) << ::testing::PrintToString(bad);
  // Nesting far beyond any saved game is refused rather than followed.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += std::string("\x03\x00\x01k", 4);
  EXPECT_FALSE(data::ReadAmf0(rig.vm, Span(deep), v));
}

TEST(SolTest, FileLayoutIsTheReferencePlayers) {
  Rig rig;
  Object* data = rig.vm.NewObject();
  data->Set("a", Value::Bool(true));
  const std::string file = data::WriteSol(rig.vm, "save", data);
  // Header, length of the rest, TCSO block, name, version 0, then "a" true and its 0 byte.
  const std::string body = std::string("TCSO\x00\x04\x00\x00\x00\x00", 10) + std::string("\x00\x04save", 6) +
                           std::string("\x00\x00\x00\x00", 4) + std::string("\x00\x01" "a\x01\x01\x00", 6);
  std::string expected("\x00\xBF\x00\x00\x00", 5);
  expected.push_back(static_cast<char>(body.size()));
  EXPECT_EQ(file, expected + body);
  std::string name;
  Object* back = data::ReadSol(rig.vm, Span(file), &name);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(name, "save");
  EXPECT_TRUE(back->Get("a").boolean);
}

TEST(SolTest, EveryTruncationAndDamageGivesNothingRatherThanACrash) {
  Rig rig;
  Machine& vm = rig.vm;
  Object* data = vm.NewObject();
  data->Set("score", Value::Num(12));
  data->Set("name", Value::Str("Ann"));
  Object* inner = vm.NewObject();
  inner->Set("back", Value::Obj(data));
  data->Set("inner", Value::Obj(inner));
  data->Set("list", Value::Obj(vm.NewArray({Value::Null(), Value::Undefined()})));
  const std::string file = data::WriteSol(vm, "t", data);
  ASSERT_NE(data::ReadSol(vm, Span(file)), nullptr);
  for (std::size_t n = 0; n < file.size(); ++n)
    EXPECT_EQ(data::ReadSol(vm, Span(file.substr(0, n))), nullptr) << n;
  // Every single byte changed: read or refused, never more.
  for (std::size_t i = 0; i < file.size(); ++i) {
    std::string damaged = file;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    data::ReadSol(vm, Span(damaged));
  }
  // The data object is no value of the file, so what refers back to it holds a copy, whose
  // own "inner" closes the cycle through the reference table.
  Object* back = data::ReadSol(vm, Span(file));
  Object* innerBack = back->Get("inner").object;
  Object* copy = innerBack->Get("back").object;
  EXPECT_NE(copy, back);
  EXPECT_EQ(copy->Get("score").number, 12);
  EXPECT_EQ(copy->Get("inner").object, innerBack);
}

struct TempDir {
  fs::path path;
  TempDir() : path(fs::temp_directory_path() / ("quillon-so-" + std::to_string(::getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

Object* GetLocal(Machine& vm, std::vector<Value> args) {
  const Value so = vm.CallMethod(vm.global()->Get("SharedObject").object, "getLocal", args);
  return so.IsObject() ? so.object : nullptr;
}

TEST(SharedObjectTest, FlushWritesWhereTheMoviePathSaysAndGetLocalReadsItBack) {
  TempDir store;
  fs::path file = store.path / "localhost" / "games" / "quiz.swf" / "progress.sol";
  {
    Rig rig;
    SetSharedObjectStore(rig.vm, store.path, "file:///C:/games/quiz.swf");
    Object* so = GetLocal(rig.vm, {Value::Str("progress")});
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(GetLocal(rig.vm, {Value::Str("progress")}), so);  // one object a name
    EXPECT_EQ(rig.vm.CallMethod(so, "getSize", {}).number, 0);
    Object* data = so->Get("data").object;
    data->Set("level", Value::Num(4));
    EXPECT_GT(rig.vm.CallMethod(so, "getSize", {}).number, 0);
    EXPECT_TRUE(rig.vm.CallMethod(so, "flush", {}).boolean);
    EXPECT_TRUE(fs::exists(file));
  }
  {
    Rig rig;
    SetSharedObjectStore(rig.vm, store.path, "file:///C:/games/quiz.swf");
    Object* so = GetLocal(rig.vm, {Value::Str("progress")});
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->Get("data").object->Get("level").number, 4);
    rig.vm.CallMethod(so, "clear", {});
    EXPECT_TRUE(so->Get("data").object->Get("level").IsUndefined());
    EXPECT_FALSE(fs::exists(file));
  }
}

TEST(SharedObjectTest, LocalPathsMustLeadToTheMovieAndNamesMustBePlain) {
  TempDir store;
  Rig rig;
  SetSharedObjectStore(rig.vm, store.path, "/home/me/games/quiz.swf");
  Object* root = GetLocal(rig.vm, {Value::Str("top"), Value::Str("/")});
  ASSERT_NE(root, nullptr);
  root->Get("data").object->Set("x", Value::Num(1));
  EXPECT_TRUE(rig.vm.CallMethod(root, "flush", {}).boolean);
  EXPECT_TRUE(fs::exists(store.path / "localhost" / "top.sol"));
  EXPECT_NE(GetLocal(rig.vm, {Value::Str("mid"), Value::Str("/home/me")}), nullptr);
  EXPECT_EQ(GetLocal(rig.vm, {Value::Str("x"), Value::Str("/elsewhere")}), nullptr);
  for (const char* bad : {"", "a b", "a:b", "a%b", "../up", "a?", "a#"})
    EXPECT_EQ(GetLocal(rig.vm, {Value::Str(bad)}), nullptr) << bad;
  EXPECT_EQ(GetLocal(rig.vm, {}), nullptr);
}

TEST(SharedObjectTest, ACorruptFileGivesAFreshObject) {
  TempDir store;
  fs::create_directories(store.path / "localhost" / "m.swf");
  std::ofstream(store.path / "localhost" / "m.swf" / "s.sol", std::ios::binary) << std::string("\x00\xBF\x00\x00\x00\x40TCSO", 10);
  Rig rig;
  SetSharedObjectStore(rig.vm, store.path, "/m.swf");
  Object* so = GetLocal(rig.vm, {Value::Str("s")});
  ASSERT_NE(so, nullptr);
  EXPECT_TRUE(so->Get("data").object->EnumerableKeys().empty());
}

TEST(SharedObjectTest, WithoutAStoreFlushFails) {
  Rig rig;
  Object* so = GetLocal(rig.vm, {Value::Str("mem")});
  ASSERT_NE(so, nullptr);
  so->Get("data").object->Set("x", Value::Num(1));
  EXPECT_FALSE(rig.vm.CallMethod(so, "flush", {}).boolean);
}

// Two players of the same movie, one after the other: the first saves as it ends, without a
// flush; the second finds the data.
TEST(SharedObjectTest, APlayerSavesWhenItEndsAndTheNextOneReadsIt) {
  TempDir store;
  const auto file = test::MovieFile(20, 20, {test::ShowFrame()});
  const auto movie = LoadMovie(file).movie;
  ASSERT_TRUE(movie);
  {
    Player first(movie);
    first.SetDataPaths(store.path, store.path, "/saves/counter.swf");
    first.Tick();
    Object* so = GetLocal(first.machine(), {Value::Str("counter")});
    ASSERT_NE(so, nullptr);
    Object* data = so->Get("data").object;
    data->Set("count", Value::Num(1));
    Object* nested = first.machine().NewObject();
    nested->Set("self", Value::Obj(nested));
    data->Set("nested", Value::Obj(nested));
  }
  EXPECT_TRUE(fs::exists(store.path / "localhost" / "saves" / "counter.swf" / "counter.sol"));
  Player second(movie);
  second.SetDataPaths(store.path, store.path, "/saves/counter.swf");
  second.Tick();
  Object* so = GetLocal(second.machine(), {Value::Str("counter")});
  ASSERT_NE(so, nullptr);
  Object* data = so->Get("data").object;
  EXPECT_EQ(data->Get("count").number, 1);
  Object* nested = data->Get("nested").object;
  EXPECT_EQ(nested->Get("self").object, nested);
}

}  // namespace
}  // namespace quillon::player::avm1::testing
