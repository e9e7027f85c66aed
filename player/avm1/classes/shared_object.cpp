// SharedObject.getLocal: a movie's saved data, one .sol file an object under the store's root,
// in "localhost/<the movie's path>/<name>.sol" (or the shorter local path the movie asks
// for). Written on flush() and when the movie ends; read back by the next getLocal.
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "avm1/classes/data_classes.h"
#include "avm1/classes/extra_classes.h"
#include "data/amf0.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::string_view kStateKey = "\x01" "sharedObjects";

struct Entry {
  std::string key;   // the holder property that keeps the object
  std::string name;  // as the movie gave it
  std::filesystem::path file;
};

struct SharedState {
  std::filesystem::path root;
  bool hasStore = false;
  std::string movieUrl;
  std::vector<Entry> entries;
};

std::shared_ptr<SharedState> State(Machine& vm) { return extra_detail::StateOf<SharedState>(vm, kStateKey); }

Object* Holder(Machine& vm) {
  State(vm);
  Property* p = vm.global()->FindOwn(kStateKey);
  return p && p->value.IsObject() ? p->value.object : nullptr;
}

// Path segments of an address or file path: "file:///C:/games/a.swf" gives games, a.swf.
std::vector<std::string> Segments(std::string_view path) {
  if (path.substr(0, 5) == "file:") {
    path.remove_prefix(5);
    if (path.substr(0, 2) == "//") {
      path.remove_prefix(2);
      const auto slash = path.find('/');
      path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash);
    }
  } else if (const auto scheme = path.find("://"); scheme != std::string_view::npos) {
    // A web movie: its host takes localhost's place; only the path counts here.
    path.remove_prefix(scheme + 3);
    const auto slash = path.find('/');
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash);
  }
  std::vector<std::string> out;
  std::string current;
  auto flush = [&] {
    if (!current.empty() && current != ".") {
      if (current == "..") {
        if (!out.empty()) out.pop_back();
      } else {
        out.push_back(current);
      }
    }
    current.clear();
  };
  for (const char c : path.substr(0, path.find_first_of("?#"))) {
    if (c == '/' || c == '\\') flush();
    else current.push_back(c);
  }
  flush();
  // The drive takes no folder of its own.
  if (!out.empty() && out.front().size() == 2 && out.front()[1] == ':') out.erase(out.begin());
  if (!out.empty() && out.front().size() == 2 && out.front()[1] == '|') out.erase(out.begin());
  return out;
}

// Characters no Windows file name may hold become '_'.
std::string FileSafe(std::string s) {
  for (char& c : s)
    if (c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        static_cast<unsigned char>(c) < 32)
      c = '_';
  return s;
}

bool UsableName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (std::string_view("~%&\\;:\"',<>?# ").find(c) != std::string_view::npos) return false;
  for (const auto& seg : Segments(name))
    if (seg == "..") return false;
  return name.find("..") == std::string_view::npos && name.front() != '/';
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > data::kMaxLoadBytes) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool HasData(Object* data) {
  bool any = false;
  data->ForEachOwn([&](const std::string&, Property& p) {
    if (!(p.flags & kDontEnum)) any = true;
  });
  return any;
}

Object* DataOf(Object* so) {
  const Value d = so ? so->Get("data") : Value{};
  return d.IsObject() ? d.object : nullptr;
}

const Entry* EntryOf(Machine& vm, Object* so) {
  Object* holder = Holder(vm);
  if (!holder || !so) return nullptr;
  for (const Entry& e : State(vm)->entries) {
    const Value v = holder->Get(e.key);
    if (v.IsObject() && v.object == so) return &e;
  }
  return nullptr;
}

// Writes through a neighbouring file and a rename, so a crash mid-write leaves the old save.
bool Save(Machine& vm, const Entry& e, Object* data) {
  std::error_code ec;
  if (!HasData(data)) {
    std::filesystem::remove(e.file, ec);
    return true;
  }
  const std::string bytes = data::WriteSol(vm, e.name.substr(e.name.find_last_of('/') + 1), data);
  std::filesystem::create_directories(e.file.parent_path(), ec);
  std::filesystem::path temp = e.file;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  std::filesystem::rename(temp, e.file, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

Value GetLocal(Call& c) {
  Machine& vm = c.vm;
  const auto state = State(vm);
  if (c.Count() == 0 || c.Arg(0).IsNullish()) return Value::Null();
  const std::string name = vm.ToString(c.Arg(0));
  if (!UsableName(name)) return Value::Null();
  // The folder: the movie's path, or a prefix of it that the movie names.
  std::vector<std::string> folder = Segments(state->movieUrl);
  if (c.Count() > 1 && !c.Arg(1).IsNullish()) {
    const std::vector<std::string> asked = Segments(vm.ToString(c.Arg(1)));
    if (asked.size() > folder.size() || !std::equal(asked.begin(), asked.end(), folder.begin())) return Value::Null();
    folder = asked;
  }
  std::string key = "localhost";
  for (const auto& seg : folder) key += "/" + seg;
  key += "/" + name;
  Object* holder = Holder(vm);
  if (!holder) return Value::Null();
  if (const Value known = holder->Get(key); known.IsObject()) return known;

  Object* data = nullptr;
  std::filesystem::path file;
  if (state->hasStore) {
    file = state->root / "localhost";
    for (const auto& seg : folder) file /= std::filesystem::u8path(FileSafe(seg));
    for (const auto& seg : Segments(name)) file /= std::filesystem::u8path(FileSafe(seg));
    file += ".sol";
    const auto bytes = ReadFile(file);
    if (!bytes.empty()) data = data::ReadSol(vm, bytes);
  }
  if (!data) data = vm.NewObject();
  Object* so = vm.NewObject();
  const Value ctor = vm.global()->Get("SharedObject");
  const Value proto = ctor.IsObject() ? ctor.object->Get("prototype") : Value{};
  if (proto.IsObject()) so->SetProto(proto.object);
  so->Define("data", Value::Obj(data), kDontDelete);
  holder->Define(key, Value::Obj(so), kDontEnum);
  state->entries.push_back({key, name, file});
  return Value::Obj(so);
}

}  // namespace

void InstallSharedObject(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  proto->DefineNative("flush", [](Call& c) -> Value {
    Object* self = c.This();
    const Entry* e = EntryOf(c.vm, self);
    Object* data = DataOf(self);
    if (!e || !data || !State(c.vm)->hasStore) return Value::Bool(false);
    const Entry copy = *e;
    return Value::Bool(Save(c.vm, copy, data));
  }, 1);
  proto->DefineNative("getSize", [](Call& c) -> Value {
    Object* data = DataOf(c.This());
    if (!data || !HasData(data)) return Value::Num(0);
    return Value::Num(static_cast<double>(data::WriteSol(c.vm, "", data).size()));
  });
  proto->DefineNative("clear", [](Call& c) -> Value {
    Object* self = c.This();
    Object* data = DataOf(self);
    if (!data) return {};
    std::vector<std::string> names;
    data->ForEachOwn([&](const std::string& name, Property&) { names.push_back(name); });
    for (const auto& name : names) data->Delete(name);
    if (const Entry* e = EntryOf(c.vm, self); e && !e->file.empty()) {
      std::error_code ec;
      std::filesystem::remove(e->file, ec);
    }
    return {};
  });
  proto->DefineNative("close", [](Call&) -> Value { return {}; });
  proto->DefineNative("setFps", [](Call&) -> Value { return Value::Bool(false); }, 1);
  Function* ctor = vm.NewClass([](Call&) -> Value { return {}; }, nullptr, proto);
  ctor->DefineNative("getLocal", GetLocal, 3);
  ctor->DefineNative("getRemote", [](Call&) -> Value { return Value::Null(); }, 4);
  global->Define("SharedObject", Value::Obj(ctor), kDontEnum);
}

void SetSharedObjectStore(Machine& vm, std::filesystem::path root, std::string movieUrl) {
  const auto state = State(vm);
  state->root = std::move(root);
  state->hasStore = !state->root.empty();
  state->movieUrl = std::move(movieUrl);
}

void FlushSharedObjects(Machine& vm) {
  const auto state = State(vm);
  Object* holder = Holder(vm);
  if (!state->hasStore || !holder) return;
  const std::vector<Entry> entries = state->entries;
  for (const Entry& e : entries) {
    const Value so = holder->Get(e.key);
    Object* data = so.IsObject() ? DataOf(so.object) : nullptr;
    if (!data || !HasData(data)) continue;
    // An XML value's toString is the only script that can run here; what it throws is dropped.
    try {
      Save(vm, e, data);
    } catch (const ScriptThrow&) {
    } catch (const ScriptAbort&) {
    }
  }
}

}  // namespace quillon::player::avm1
