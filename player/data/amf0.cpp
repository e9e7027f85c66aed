#include "data/amf0.h"

#include <bit>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "avm1/classes/array.h"
#include "avm1/classes/date.h"

namespace quillon::player::data {
namespace {

using avm1::Machine;
using avm1::Object;
using avm1::Value;

enum Marker : std::uint8_t {
  kNumber = 0x00, kBoolean = 0x01, kString = 0x02, kObject = 0x03, kMovieClip = 0x04, kNull = 0x05,
  kUndefined = 0x06, kReference = 0x07, kEcmaArray = 0x08, kObjectEnd = 0x09, kStrictArray = 0x0A,
  kDate = 0x0B, kLongString = 0x0C, kUnsupported = 0x0D, kXmlDocument = 0x0F, kTypedObject = 0x10,
};

// Nesting deeper than this is written as undefined and refused when read, so neither side
// recurses without bound.
constexpr int kMaxDepth = 400;
constexpr std::size_t kMaxReferences = 0xFFFF;
constexpr std::uint8_t kSolHeader[] = {'T', 'C', 'S', 'O', 0, 4, 0, 0, 0, 0};

Object* XmlPrototype(Machine& vm) {
  const Value xml = vm.global()->Get("XML");
  if (!xml.IsObject()) return nullptr;
  const Value proto = xml.object->Get("prototype");
  return proto.IsObject() ? proto.object : nullptr;
}

bool Inherits(Object* obj, Object* proto) {
  int guard = 0;
  for (Object* p = obj->Proto(); p && guard < 256; p = p->Proto(), ++guard)
    if (p == proto) return true;
  return false;
}

// The name Object.registerClass gave the object's class, if any.
std::string RegisteredName(Machine& vm, Object* obj) {
  const Value registry = vm.global()->Get("__registeredClasses");
  if (!registry.IsObject() || !obj->Proto()) return {};
  std::string found;
  registry.object->ForEachOwn([&](const std::string& name, avm1::Property& p) {
    if (!found.empty() || !p.value.IsObject()) return;
    const Value proto = p.value.object->Get("prototype");
    if (proto.IsObject() && proto.object == obj->Proto()) found = name;
  });
  return found;
}

class Writer {
 public:
  explicit Writer(Machine& vm) : vm_(vm), xmlProto_(XmlPrototype(vm)) {}

  std::string out;

  void U8(std::uint8_t v) { out.push_back(static_cast<char>(v)); }
  void U16(std::uint32_t v) {
    U8(static_cast<std::uint8_t>(v >> 8));
    U8(static_cast<std::uint8_t>(v));
  }
  void U32(std::uint32_t v) {
    U16(v >> 16);
    U16(v & 0xFFFF);
  }
  void Double(double d) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    U32(static_cast<std::uint32_t>(bits >> 32));
    U32(static_cast<std::uint32_t>(bits));
  }
  // A property name: 16-bit length, so longer names are cut.
  void Name(std::string_view s) {
    if (s.size() > 0xFFFF) s = s.substr(0, 0xFFFF);
    U16(static_cast<std::uint32_t>(s.size()));
    out.append(s);
  }
  void String(std::string_view s) {
    if (s.size() <= 0xFFFF) {
      U8(kString);
      Name(s);
    } else {
      U8(kLongString);
      U32(static_cast<std::uint32_t>(s.size()));
      out.append(s);
    }
  }

  // Whether a property of this value is written at all: functions are not data.
  static bool Storable(const Value& v) { return !(v.IsObject() && dynamic_cast<avm1::Function*>(v.object)); }

  void Write(const Value& v, int depth) {
    switch (v.type) {
      case Value::Type::Undefined: U8(kUndefined); return;
      case Value::Type::Null: U8(kNull); return;
      case Value::Type::Bool: U8(kBoolean); U8(v.boolean ? 1 : 0); return;
      case Value::Type::Number: U8(kNumber); Double(v.number); return;
      case Value::Type::String: String(v.string); return;
      case Value::Type::Object: WriteObject(v.object, depth); return;
    }
  }

  void WriteProperties(Object* obj, int depth, bool skipIndices) {
    std::vector<std::pair<std::string, Value>> props;
    obj->ForEachOwn([&](const std::string& name, avm1::Property& p) {
      if ((p.flags & avm1::kDontEnum) || p.IsVirtual() || !Storable(p.value)) return;
      props.emplace_back(name, p.value);
    });
    for (const auto& [name, value] : props) {
      if (skipIndices && !name.empty() && name.find_first_not_of("0123456789") == std::string::npos) continue;
      Name(name);
      Write(value, depth + 1);
    }
    U16(0);
    U8(kObjectEnd);
  }

  void WriteObject(Object* obj, int depth) {
    if (const auto it = seen_.find(obj); it != seen_.end()) {
      U8(kReference);
      U16(static_cast<std::uint32_t>(it->second));
      return;
    }
    if (depth > kMaxDepth || dynamic_cast<avm1::Clip*>(obj) || dynamic_cast<avm1::Function*>(obj)) {
      U8(kUndefined);
      return;
    }
    if (const auto* date = dynamic_cast<avm1::DateObject*>(obj)) {
      U8(kDate);
      Double(date->time);
      U16(0);
      return;
    }
    if (xmlProto_ && Inherits(obj, xmlProto_)) {
      const std::string text = vm_.ToString(Value::Obj(obj));
      U8(kXmlDocument);
      U32(static_cast<std::uint32_t>(text.size()));
      out.append(text);
      return;
    }
    // Boxed primitives are stored as their values.
    if (Value prim; obj->PrimitiveValue(prim)) {
      Write(prim, depth);
      return;
    }
    // Past the last index a reference can name, a cycle could not be closed: stop there.
    if (seen_.size() >= kMaxReferences) {
      U8(kUndefined);
      return;
    }
    seen_.emplace(obj, seen_.size());
    if (auto* array = dynamic_cast<avm1::ArrayObject*>(obj)) {
      U8(kEcmaArray);
      const std::vector<Value> items = array->items;
      U32(static_cast<std::uint32_t>(items.size()));
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (!Storable(items[i])) continue;
        Name(std::to_string(i));
        Write(items[i], depth + 1);
      }
      WriteProperties(obj, depth, true);
      return;
    }
    const std::string typeName = RegisteredName(vm_, obj);
    if (!typeName.empty()) {
      U8(kTypedObject);
      Name(typeName);
    } else {
      U8(kObject);
    }
    WriteProperties(obj, depth, false);
  }

 private:
  Machine& vm_;
  Object* xmlProto_;
  std::unordered_map<Object*, std::size_t> seen_;
};

class Reader {
 public:
  Reader(Machine& vm, std::span<const std::uint8_t> bytes) : vm_(vm), b_(bytes) {}

  bool AtEnd() const { return pos_ == b_.size(); }
  bool Has(std::size_t n) const { return b_.size() - pos_ >= n; }
  bool U8(std::uint8_t& v) {
    if (!Has(1)) return false;
    v = b_[pos_++];
    return true;
  }
  bool U16(std::uint32_t& v) {
    if (!Has(2)) return false;
    v = static_cast<std::uint32_t>(b_[pos_] << 8 | b_[pos_ + 1]);
    pos_ += 2;
    return true;
  }
  bool U32(std::uint32_t& v) {
    std::uint32_t hi = 0, lo = 0;
    if (!U16(hi) || !U16(lo)) return false;
    v = hi << 16 | lo;
    return true;
  }
  bool Double(double& d) {
    std::uint32_t hi = 0, lo = 0;
    if (!U32(hi) || !U32(lo)) return false;
    d = std::bit_cast<double>(static_cast<std::uint64_t>(hi) << 32 | lo);
    return true;
  }
  bool Bytes(std::size_t n, std::string& s) {
    if (!Has(n)) return false;
    s.assign(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    return true;
  }
  bool Name(std::string& s) {
    std::uint32_t n = 0;
    return U16(n) && Bytes(n, s);
  }
  bool Expect(std::span<const std::uint8_t> what) {
    if (!Has(what.size()) || std::memcmp(b_.data() + pos_, what.data(), what.size()) != 0) return false;
    pos_ += what.size();
    return true;
  }

  bool Read(Value& out, int depth) {
    if (depth > kMaxDepth) return false;
    std::uint8_t marker = 0;
    if (!U8(marker)) return false;
    switch (marker) {
      case kNumber: {
        double d = 0;
        if (!Double(d)) return false;
        out = Value::Num(d);
        return true;
      }
      case kBoolean: {
        std::uint8_t b = 0;
        if (!U8(b)) return false;
        out = Value::Bool(b != 0);
        return true;
      }
      case kString: {
        std::string s;
        if (!Name(s)) return false;
        out = Value::Str(std::move(s));
        return true;
      }
      case kLongString: {
        std::uint32_t n = 0;
        std::string s;
        if (!U32(n) || n > avm1::kMaxStringLength || !Bytes(n, s)) return false;
        out = Value::Str(std::move(s));
        return true;
      }
      case kNull: out = Value::Null(); return true;
      case kUndefined:
      case kUnsupported: out = Value::Undefined(); return true;
      case kReference: {
        std::uint32_t i = 0;
        if (!U16(i) || i >= refs_.size()) return false;
        out = Value::Obj(refs_[i]);
        return true;
      }
      case kDate: {
        double t = 0;
        std::uint32_t zone = 0;
        if (!Double(t) || !U16(zone)) return false;
        auto* date = vm_.Make<avm1::DateObject>(t);
        date->SetProto(vm_.dateProto);
        out = Value::Obj(date);
        return true;
      }
      case kXmlDocument: {
        std::uint32_t n = 0;
        std::string s;
        if (!U32(n) || n > avm1::kMaxStringLength || !Bytes(n, s)) return false;
        const Value xml = vm_.global()->Get("XML");
        // Without an XML class the text is all there is to keep.
        if (!xml.IsObject()) {
          out = Value::Str(std::move(s));
          return true;
        }
        const Value args[] = {Value::Str(s)};
        try {
          out = vm_.Construct(xml, args);
        } catch (const avm1::ScriptThrow&) {
          out = Value::Str(std::move(s));
        } catch (const avm1::ScriptAbort&) {
          out = Value::Str(std::move(s));
        }
        return true;
      }
      case kObject:
      case kTypedObject: {
        std::string typeName;
        if (marker == kTypedObject && !Name(typeName)) return false;
        Object* obj = vm_.NewObject();
        if (!typeName.empty()) {
          const Value registry = vm_.global()->Get("__registeredClasses");
          const Value ctor = registry.IsObject() ? registry.object->Get(typeName) : Value{};
          const Value proto = ctor.IsObject() ? ctor.object->Get("prototype") : Value{};
          if (proto.IsObject()) obj->SetProto(proto.object);
        }
        Remember(obj);
        out = Value::Obj(obj);
        return Properties(obj, depth);
      }
      case kEcmaArray: {
        std::uint32_t count = 0;
        if (!U32(count)) return false;
        Object* array = vm_.NewArray();
        Remember(array);
        out = Value::Obj(array);
        return Properties(array, depth);
      }
      case kStrictArray: {
        std::uint32_t count = 0;
        // Every element takes a byte at least.
        if (!U32(count) || count > b_.size() - pos_ || count > avm1::kMaxArrayLength) return false;
        auto* array = static_cast<avm1::ArrayObject*>(vm_.NewArray());
        Remember(array);
        out = Value::Obj(array);
        for (std::uint32_t i = 0; i < count; ++i) {
          Value item;
          if (!Read(item, depth + 1)) return false;
          array->Push(std::move(item));
        }
        return true;
      }
      default: return false;  // movie clips, the AMF3 switch and unknown markers
    }
  }

  bool Properties(Object* obj, int depth) {
    for (;;) {
      std::string name;
      if (!Name(name)) return false;
      if (name.empty()) {
        std::uint8_t end = 0;
        if (!U8(end)) return false;
        if (end == kObjectEnd) return true;
        --pos_;  // an empty name with a value: unusual, but a property
      }
      Value v;
      if (!Read(v, depth + 1)) return false;
      // Arrays take their elements through assignment; other objects are filled directly, so
      // no script setter runs while a file is read.
      if (dynamic_cast<avm1::ArrayObject*>(obj)) obj->Set(name, std::move(v));
      else obj->Define(name, std::move(v));
    }
  }

 private:
  void Remember(Object* obj) {
    if (refs_.size() < kMaxReferences) refs_.push_back(obj);
  }
  Machine& vm_;
  std::span<const std::uint8_t> b_;
  std::size_t pos_ = 0;
  std::vector<Object*> refs_;
};

}  // namespace

std::string WriteAmf0(Machine& vm, const Value& value) {
  Writer w(vm);
  w.Write(value, 0);
  return std::move(w.out);
}

bool ReadAmf0(Machine& vm, std::span<const std::uint8_t> bytes, Value& out) {
  Reader r(vm, bytes);
  if (r.Read(out, 0) && r.AtEnd()) return true;
  out = Value::Undefined();
  return false;
}

std::string WriteSol(Machine& vm, std::string_view name, Object* data) {
  Writer w(vm);
  w.out.append(reinterpret_cast<const char*>(kSolHeader), sizeof kSolHeader);
  w.Name(name);
  w.U32(0);
  if (data) {
    std::vector<std::pair<std::string, Value>> props;
    data->ForEachOwn([&](const std::string& key, avm1::Property& p) {
      if ((p.flags & avm1::kDontEnum) || p.IsVirtual() || !Writer::Storable(p.value)) return;
      props.emplace_back(key, p.value);
    });
    for (const auto& [key, value] : props) {
      w.Name(key);
      w.Write(value, 1);
      w.U8(0);
    }
  }
  std::string file("\x00\xBF", 2);
  const auto length = static_cast<std::uint32_t>(w.out.size());
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<char>(length >> shift));
  return file + w.out;
}

Object* ReadSol(Machine& vm, std::span<const std::uint8_t> bytes, std::string* name) {
  Reader r(vm, bytes);
  static constexpr std::uint8_t kMagic[] = {0x00, 0xBF};
  std::uint32_t length = 0, version = 0;
  if (!r.Expect(kMagic) || !r.U32(length) || length != bytes.size() - 6 || !r.Expect(kSolHeader)) return nullptr;
  std::string soName;
  if (!r.Name(soName) || !r.U32(version) || version != 0) return nullptr;
  Object* data = vm.NewObject();
  while (!r.AtEnd()) {
    std::string key;
    Value v;
    std::uint8_t trailer = 1;
    if (!r.Name(key) || !r.Read(v, 1) || !r.U8(trailer) || trailer != 0) return nullptr;
    data->Define(key, std::move(v));
  }
  if (name) *name = std::move(soName);
  return data;
}

}  // namespace quillon::player::data
