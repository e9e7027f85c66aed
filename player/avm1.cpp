#include "avm1.h"

#include <cmath>
#include <cstdio>
#include <random>

#include "swf/bytes.h"

namespace quillon::player {

double Value::ToNumber() const {
  switch (type) {
    case Type::Number: return number;
    case Type::Bool: return boolean ? 1 : 0;
    case Type::String: {
      if (string.empty()) return NAN;
      char* end = nullptr;
      const double v = std::strtod(string.c_str(), &end);
      return end && *end == 0 ? v : NAN;
    }
    default: return NAN;
  }
}

std::string Value::ToString() const {
  switch (type) {
    case Type::Undefined: return "undefined";
    case Type::Null: return "null";
    case Type::Bool: return boolean ? "true" : "false";
    case Type::String: return string;
    case Type::Clip: return string;
    case Type::Number: {
      if (std::isnan(number)) return "NaN";
      if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
      char buf[32];
      if (number == std::floor(number) && std::abs(number) < 1e15) std::snprintf(buf, sizeof buf, "%.0f", number);
      else std::snprintf(buf, sizeof buf, "%.15g", number);
      return buf;
    }
  }
  return {};
}

bool Value::ToBool() const {
  switch (type) {
    case Type::Bool: return boolean;
    case Type::Number: return number != 0 && !std::isnan(number);
    case Type::String: return !string.empty();
    case Type::Clip: return true;
    default: return false;
  }
}

Avm1::Avm1(Player& player, std::shared_ptr<Instance> target)
    : player_(player), base_(target), target_(std::move(target)) {}

Value Avm1::Pop() {
  if (stack_.empty()) return {};
  Value v = std::move(stack_.back());
  stack_.pop_back();
  return v;
}

DisplayObject* Avm1::ResolveObject(const std::string& path) {
  Instance* at = base_.get();
  DisplayObject* obj = nullptr;
  std::string part;
  auto step = [&](const std::string& name) -> bool {
    if (name.empty() || name == "this") return true;
    if (name == "_root" || name == "_level0") {
      at = player_.root_.get();
      obj = nullptr;
      return true;
    }
    if (name == "_parent") {
      auto p = at ? at->parent.lock() : nullptr;
      if (!p) return false;
      at = p.get();
      obj = nullptr;  // the parent's own display object is not needed by the properties we support
      return true;
    }
    if (!at) return false;
    for (auto& [depth, o] : at->displayList)
      if (o.name == name) {
        obj = &o;
        at = o.sprite.get();
        return true;
      }
    return false;
  };
  std::size_t i = 0;
  if (!path.empty() && path[0] == '/') {
    at = player_.root_.get();
    i = 1;
  }
  for (; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/' || path[i] == '.') {
      if (!step(part)) return nullptr;
      part.clear();
    } else {
      part.push_back(path[i]);
    }
  }
  return obj;
}

Instance* Avm1::Resolve(const std::string& path) {
  if (path.empty()) return base_.get();
  if (path == "/" || path == "_root" || path == "_level0") return player_.root_.get();
  if (path == "_parent") {
    auto p = base_->parent.lock();
    return p.get();
  }
  DisplayObject* obj = ResolveObject(path);
  return obj ? obj->sprite.get() : nullptr;
}

void Avm1::Goto(Instance& inst, const Value& frame, bool play, int bias) {
  if (frame.type == Value::Type::String) {
    std::string label = frame.string;
    const auto colon = label.rfind(':');
    if (colon != std::string::npos) label = label.substr(colon + 1);
    if (auto f = inst.timeline ? inst.timeline->FrameOfLabel(label) : std::nullopt) {
      player_.GotoFrame(inst, *f, play);
      return;
    }
  }
  const double n = frame.ToNumber();
  if (!std::isfinite(n)) return;
  const double f = std::floor(n) + bias;
  if (f < 1) return;
  player_.GotoFrame(inst, static_cast<std::size_t>(std::min(f, 1e9)) - 1, play);
}

namespace {

// Strings that scripts build by joining stop growing here, so a doubling loop cannot
// exhaust memory.
constexpr std::size_t kMaxStringLength = 1u << 16;

Value Joined(std::string a, const std::string& b) {
  a.append(b, 0, a.size() < kMaxStringLength ? kMaxStringLength - a.size() : 0);
  if (a.size() > kMaxStringLength) a.resize(kMaxStringLength);
  return Value::Str(std::move(a));
}

int PropertyIndex(const std::string& name) {
  static const char* const kNames[] = {"_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes",
                                       "_alpha", "_visible", "_width", "_height", "_rotation", "_target",
                                       "_framesloaded", "_name"};
  for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i)
    if (name == kNames[i]) return i;
  return -1;
}

// A script's property number as an index; -1 (no property) when it names none.
int PropertyNumber(double n) { return n >= 0 && n < 64 ? static_cast<int>(n) : -1; }

}  // namespace

Value Avm1::GetProperty(const std::string& path, int index) {
  DisplayObject* obj = ResolveObject(path);
  Instance* inst = path.empty() || path == "this" ? base_.get() : Resolve(path);
  Value v;
  if (obj) {
    const Matrix& m = obj->matrix;
    switch (index) {
      case 0: v = Value::Num(m.tx / 20); break;
      case 1: v = Value::Num(m.ty / 20); break;
      case 2: v = Value::Num(std::hypot(m.a, m.b) * 100); break;
      case 3: v = Value::Num(std::hypot(m.c, m.d) * 100); break;
      case 6: v = Value::Num(obj->colorTransform.am * 100); break;
      case 7: v = Value::Bool(obj->visible); break;
      case 10: v = Value::Num(std::atan2(m.b, m.a) * 180 / 3.141592653589793); break;
      case 13: v = Value::Str(obj->name); break;
      default: break;
    }
  }
  if (inst && index == 4) v = Value::Num(static_cast<double>(inst->frame + 1));
  if (inst && (index == 5 || index == 12) && inst->timeline) v = Value::Num(static_cast<double>(inst->timeline->frames.size()));
  return v;
}

void Avm1::SetProperty(const std::string& path, int index, double value) {
  DisplayObject* obj = ResolveObject(path);
  if (!obj || !std::isfinite(value)) return;
  Matrix& m = obj->matrix;
  const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
  const double rot = std::atan2(m.b, m.a);
  switch (index) {
    case 0: m.tx = value * 20; break;
    case 1: m.ty = value * 20; break;
    case 2: m.a = std::cos(rot) * value / 100; m.b = std::sin(rot) * value / 100; break;
    case 3: m.c = -std::sin(rot) * value / 100; m.d = std::cos(rot) * value / 100; break;
    case 6: obj->colorTransform.am = std::trunc(value * 2.56) / 256; break;  // stored as 8.8 fixed point
    case 7: obj->visible = value != 0; break;
    case 10: {
      const double angle = value * 3.141592653589793 / 180;
      m.a = std::cos(angle) * sx; m.b = std::sin(angle) * sx; m.c = -std::sin(angle) * sy; m.d = std::cos(angle) * sy;
      break;
    }
    default: break;
  }
}

void Avm1::CallMethod(const Value& object, const std::string& method, std::vector<Value>& args) {
  if (object.type != Value::Type::Clip) return;
  Instance* inst = object.string == "this" ? base_.get() : Resolve(object.string);
  if (!inst) return;
  const Value first = args.empty() ? Value{} : args[0];
  if (method == "play") inst->playing = true;
  else if (method == "stop") inst->playing = false;
  else if (method == "gotoAndStop") Goto(*inst, first, false, 0);
  else if (method == "gotoAndPlay") Goto(*inst, first, true, 0);
  else if (method == "nextFrame") player_.GotoFrame(*inst, inst->frame + 1, false);
  else if (method == "prevFrame" && inst->frame > 0) player_.GotoFrame(*inst, inst->frame - 1, false);
}

void Avm1::Run(std::span<const std::uint8_t> code) {
  Reader r(code);
  int budget = kMaxActionsPerScript;
  while (!r.atEnd() && budget-- > 0 && player_.actionBudget_-- > 0) {
    const std::uint8_t op = r.u8();
    if (op == 0) break;
    std::size_t length = 0;
    if (op >= 0x80) length = r.u16();
    if (r.failed() || length > r.remaining()) break;
    // Long actions (a constant pool, a push of many values) cost their length as well.
    player_.actionBudget_ -= static_cast<long>(length);
    const std::size_t next = r.pos() + length;
    Reader a(r.bytes(length));
    Instance* tgt = target_.get();
    switch (op) {
      case 0x04: if (tgt && tgt->timeline && tgt->frame + 1 < tgt->timeline->frames.size()) player_.GotoFrame(*tgt, tgt->frame + 1, false); else if (tgt) tgt->playing = false; break;
      case 0x05: if (tgt && tgt->frame > 0) player_.GotoFrame(*tgt, tgt->frame - 1, false); else if (tgt) tgt->playing = false; break;
      case 0x06: if (tgt) tgt->playing = true; break;
      case 0x07: if (tgt) tgt->playing = false; break;
      case 0x0A: { const double b = Pop().ToNumber(); Push(Value::Num(Pop().ToNumber() + b)); break; }
      case 0x0B: { const double b = Pop().ToNumber(); Push(Value::Num(Pop().ToNumber() - b)); break; }
      case 0x0C: { const double b = Pop().ToNumber(); Push(Value::Num(Pop().ToNumber() * b)); break; }
      case 0x0D: { const double b = Pop().ToNumber(); Push(Value::Num(Pop().ToNumber() / b)); break; }
      case 0x0E: { const double b = Pop().ToNumber(); Push(Value::Bool(Pop().ToNumber() == b)); break; }
      case 0x0F: { const double b = Pop().ToNumber(); Push(Value::Bool(Pop().ToNumber() < b)); break; }
      case 0x10: { const bool b = Pop().ToBool(); Push(Value::Bool(Pop().ToBool() && b)); break; }
      case 0x11: { const bool b = Pop().ToBool(); Push(Value::Bool(Pop().ToBool() || b)); break; }
      case 0x12: Push(Value::Bool(!Pop().ToBool())); break;
      case 0x13: { const std::string b = Pop().ToString(); Push(Value::Bool(Pop().ToString() == b)); break; }
      case 0x14: Push(Value::Num(static_cast<double>(Pop().ToString().size()))); break;
      case 0x21: { const std::string b = Pop().ToString(); Push(Joined(Pop().ToString(), b)); break; }
      case 0x17: Pop(); break;
      case 0x18: { const double v = Pop().ToNumber(); Push(Value::Num(std::isfinite(v) ? std::trunc(v) : 0)); break; }
      case 0x1C: {
        const std::string name = Pop().ToString();
        const auto it = player_.variables_.find(name);
        if (it != player_.variables_.end()) Push(it->second);
        else if (name == "this" || name == "_root" || ResolveObject(name)) Push(Value::ClipAt(name));
        else Push(Value{});
        break;
      }
      case 0x1D: {
        Value v = Pop();
        player_.variables_[Pop().ToString()] = std::move(v);
        break;
      }
      case 0x3C: {  // DefineLocal: kept with the other variables
        Value v = Pop();
        player_.variables_[Pop().ToString()] = std::move(v);
        break;
      }
      case 0x41: Pop(); break;  // DefineLocal2
      case 0x20: {  // SetTarget2
        const std::string path = Pop().ToString();
        Instance* t = Resolve(path);
        target_ = t ? t->shared_from_this() : nullptr;
        break;
      }
      case 0x22: {  // GetProperty
        const double index = Pop().ToNumber();
        Push(GetProperty(Pop().ToString(), PropertyNumber(index)));
        break;
      }
      case 0x23: {  // SetProperty
        const double value = Pop().ToNumber();
        const double index = Pop().ToNumber();
        const std::string path = Pop().ToString();
        SetProperty(path, PropertyNumber(index), value);
        break;
      }
      case 0x4E: {  // GetMember
        const std::string name = Pop().ToString();
        const Value object = Pop();
        const int index = PropertyIndex(name);
        if (object.type == Value::Type::Clip && index >= 0) Push(GetProperty(object.string, index));
        else if (object.type == Value::Type::Clip && ResolveObject(object.string + "." + name)) Push(Value::ClipAt(object.string + "." + name));
        else Push(Value{});
        break;
      }
      case 0x4F: {  // SetMember
        const double value = Pop().ToNumber();
        const std::string name = Pop().ToString();
        const Value object = Pop();
        const int index = PropertyIndex(name);
        if (object.type == Value::Type::Clip && index >= 0) SetProperty(object.string, index, value);
        break;
      }
      case 0x52: {  // CallMethod
        const std::string method = Pop().ToString();
        const Value object = Pop();
        const double count = Pop().ToNumber();
        std::vector<Value> args;
        for (int i = 0; std::isfinite(count) && i < count && i < 256; ++i) args.push_back(Pop());
        CallMethod(object, method, args);
        Push(Value{});
        break;
      }
      case 0x3D: {  // CallFunction: global functions are not in the subset
        Pop();
        const double count = Pop().ToNumber();
        for (int i = 0; std::isfinite(count) && i < count && i < 256; ++i) Pop();
        Push(Value{});
        break;
      }
      case 0x26: Pop(); break;  // trace
      case 0x30: {  // RandomNumber: an integer from 0 to n - 1
        const double n = Pop().ToNumber();
        if (!(n >= 1) || n > 0x7FFFFFFF) { Push(Value::Num(0)); break; }
        std::uniform_int_distribution<long> pick(0, static_cast<long>(n) - 1);
        Push(Value::Num(static_cast<double>(pick(player_.random_))));
        break;
      }
      case 0x34: Push(Value::Num(player_.Milliseconds())); break;  // GetTime
      case 0x47: {  // Add2
        Value b = Pop(), x = Pop();
        if (x.type == Value::Type::String || b.type == Value::Type::String) Push(Joined(x.ToString(), b.ToString()));
        else Push(Value::Num(x.ToNumber() + b.ToNumber()));
        break;
      }
      case 0x48: { const double b = Pop().ToNumber(); Push(Value::Bool(Pop().ToNumber() < b)); break; }
      case 0x67: { const double b = Pop().ToNumber(); Push(Value::Bool(Pop().ToNumber() > b)); break; }
      case 0x49: {
        Value b = Pop(), x = Pop();
        if (x.type == Value::Type::String && b.type == Value::Type::String) Push(Value::Bool(x.string == b.string));
        else if (x.type == b.type && (x.type == Value::Type::Undefined || x.type == Value::Type::Null)) Push(Value::Bool(true));
        else Push(Value::Bool(x.ToNumber() == b.ToNumber()));
        break;
      }
      case 0x4C: { Value v = Pop(); Push(v); Push(v); break; }
      case 0x4D: { Value b = Pop(), x = Pop(); Push(b); Push(x); break; }
      case 0x50: Push(Value::Num(Pop().ToNumber() + 1)); break;
      case 0x51: Push(Value::Num(Pop().ToNumber() - 1)); break;
      case 0x81: if (tgt) player_.GotoFrame(*tgt, a.u16(), tgt->playing); break;
      case 0x83: {
        const std::string url = a.str(), window = a.str();
        if (player_.onGetUrl) player_.onGetUrl(url, window);
        break;
      }
      case 0x87: {
        const std::uint8_t reg = a.u8();
        if (reg < 4 && !stack_.empty()) registers_[reg] = stack_.back();
        break;
      }
      case 0x88: {
        pool_.clear();
        const std::size_t count = a.u16();
        for (std::size_t i = 0; i < count && !a.failed(); ++i) pool_.push_back(a.str());
        break;
      }
      case 0x8B: {
        Instance* t = Resolve(a.str());
        target_ = t ? t->shared_from_this() : nullptr;
        break;
      }
      case 0x8C: {
        const std::string label = a.str();
        if (tgt && tgt->timeline)
          if (auto f = tgt->timeline->FrameOfLabel(label)) player_.GotoFrame(*tgt, *f, tgt->playing);
        break;
      }
      case 0x96:
        while (!a.atEnd() && !a.failed()) {
          const std::uint8_t type = a.u8();
          switch (type) {
            case 0: Push(Value::Str(a.str())); break;
            case 1: Push(Value::Num(a.f32())); break;
            case 2: Push(Value{Value::Type::Null, 0, false, {}}); break;
            case 3: Push(Value{}); break;
            case 4: { const std::uint8_t reg = a.u8(); Push(reg < 4 ? registers_[reg] : Value{}); break; }
            case 5: Push(Value::Bool(a.u8() != 0)); break;
            case 6: Push(Value::Num(a.f64Swapped())); break;
            case 7: Push(Value::Num(a.s32())); break;
            case 8: { const std::size_t i = a.u8(); Push(i < pool_.size() ? Value::Str(pool_[i]) : Value{}); break; }
            case 9: { const std::size_t i = a.u16(); Push(i < pool_.size() ? Value::Str(pool_[i]) : Value{}); break; }
            default: a.skip(a.remaining()); break;
          }
        }
        break;
      case 0x99: {
        const long long to = static_cast<long long>(next) + a.s16();
        if (to < 0 || static_cast<std::size_t>(to) > code.size()) return;
        r.seek(static_cast<std::size_t>(to));
        continue;
      }
      case 0x9A: {
        const std::string window = Pop().ToString(), url = Pop().ToString();
        if (player_.onGetUrl) player_.onGetUrl(url, window);
        break;
      }
      case 0x9D: {
        const std::int16_t offset = a.s16();
        if (Pop().ToBool()) {
          const long long to = static_cast<long long>(next) + offset;
          if (to < 0 || static_cast<std::size_t>(to) > code.size()) return;
          r.seek(static_cast<std::size_t>(to));
          continue;
        }
        break;
      }
      case 0x9F: {
        const std::uint8_t flags = a.u8();
        const int bias = (flags & 2) ? a.u16() : 0;
        const Value frame = Pop();
        Instance* inst = tgt;
        Value f = frame;
        if (frame.type == Value::Type::String) {
          // "path:frame" names a clip and one of its frames.
          const auto colon = frame.string.rfind(':');
          if (colon != std::string::npos) {
            inst = Resolve(frame.string.substr(0, colon));
            f = Value::Str(frame.string.substr(colon + 1));
            if (auto n = f.ToNumber(); std::isfinite(n)) f = Value::Num(n);
          } else if (auto n = frame.ToNumber(); std::isfinite(n)) {
            f = Value::Num(n);
          }
        }
        if (inst) Goto(*inst, f, flags & 1, bias);
        break;
      }
      default: break;  // not in the subset: skipped by its length
    }
    r.seek(next);
  }
}

}  // namespace quillon::player
