// Hand-assembles AVM1 action blocks for tests, so a test reads as code rather than hex.
//
//   Asm a;
//   a.ConstantPool({"x"}).Push(Const{0}, 1.0).Op(kAdd2).Trace();
//   a.DefineFunction2("f", {{"n", 1}}, [](Asm& body) { body.Push(Reg{1}).Return(); });
//   a.Label("loop").Push(true).If("loop");
//   std::vector<std::uint8_t> block = a.Bytes();  // ends with the 0x00 end action
//
// Nested bodies (functions, try, with) are assembled into the same buffer, so labels are shared
// by the whole block and a branch may leave a try or with body. Misuse (an unknown or doubly
// defined label, a size beyond 16 bits) throws std::logic_error: a broken test, not a test result.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quillon::player::avm1::testing {

// Actions without a payload (codes below 0x80), as name and code.
#define QUILLON_AVM1_SHORT_ACTIONS(X)                                                                      \
  X(End, 0x00) X(NextFrame, 0x04) X(PreviousFrame, 0x05) X(Play, 0x06) X(Stop, 0x07) X(ToggleQuality, 0x08) \
  X(StopSounds, 0x09) X(Add, 0x0A) X(Subtract, 0x0B) X(Multiply, 0x0C) X(Divide, 0x0D) X(Equals, 0x0E)     \
  X(Less, 0x0F) X(And, 0x10) X(Or, 0x11) X(Not, 0x12) X(StringEquals, 0x13) X(StringLength, 0x14)          \
  X(StringExtract, 0x15) X(Pop, 0x17) X(ToInteger, 0x18) X(GetVariable, 0x1C) X(SetVariable, 0x1D)         \
  X(SetTarget2, 0x20) X(StringAdd, 0x21) X(GetProperty, 0x22) X(SetProperty, 0x23) X(CloneSprite, 0x24)   \
  X(RemoveSprite, 0x25) X(Trace, 0x26) X(StartDrag, 0x27) X(EndDrag, 0x28) X(StringLess, 0x29)             \
  X(Throw, 0x2A) X(CastOp, 0x2B) X(ImplementsOp, 0x2C) X(RandomNumber, 0x30) X(MBStringLength, 0x31)       \
  X(CharToAscii, 0x32) X(AsciiToChar, 0x33) X(GetTime, 0x34) X(MBStringExtract, 0x35)                      \
  X(MBCharToAscii, 0x36) X(MBAsciiToChar, 0x37) X(Delete, 0x3A) X(Delete2, 0x3B) X(DefineLocal, 0x3C)     \
  X(CallFunction, 0x3D) X(Return, 0x3E) X(Modulo, 0x3F) X(NewObject, 0x40) X(DefineLocal2, 0x41)          \
  X(InitArray, 0x42) X(InitObject, 0x43) X(TypeOf, 0x44) X(TargetPath, 0x45) X(Enumerate, 0x46)           \
  X(Add2, 0x47) X(Less2, 0x48) X(Equals2, 0x49) X(ToNumber, 0x4A) X(ToString, 0x4B) X(PushDuplicate, 0x4C) \
  X(StackSwap, 0x4D) X(GetMember, 0x4E) X(SetMember, 0x4F) X(Increment, 0x50) X(Decrement, 0x51)          \
  X(CallMethod, 0x52) X(NewMethod, 0x53) X(InstanceOf, 0x54) X(Enumerate2, 0x55) X(BitAnd, 0x60)          \
  X(BitOr, 0x61) X(BitXor, 0x62) X(BitLShift, 0x63) X(BitRShift, 0x64) X(BitURShift, 0x65)                 \
  X(StrictEquals, 0x66) X(Greater, 0x67) X(StringGreater, 0x68) X(Extends, 0x69)

#define QUILLON_AVM1_CONSTANT(name, code) inline constexpr std::uint8_t k##name = code;
QUILLON_AVM1_SHORT_ACTIONS(QUILLON_AVM1_CONSTANT)
#undef QUILLON_AVM1_CONSTANT

// Actions with a 16-bit length and payload (codes from 0x80).
inline constexpr std::uint8_t kGotoFrame = 0x81;
inline constexpr std::uint8_t kGetURL = 0x83;
inline constexpr std::uint8_t kStoreRegister = 0x87;
inline constexpr std::uint8_t kConstantPool = 0x88;
inline constexpr std::uint8_t kStrictMode = 0x89;
inline constexpr std::uint8_t kWaitForFrame = 0x8A;
inline constexpr std::uint8_t kSetTarget = 0x8B;
inline constexpr std::uint8_t kGotoLabel = 0x8C;
inline constexpr std::uint8_t kWaitForFrame2 = 0x8D;
inline constexpr std::uint8_t kDefineFunction2 = 0x8E;
inline constexpr std::uint8_t kTry = 0x8F;
inline constexpr std::uint8_t kWith = 0x94;
inline constexpr std::uint8_t kPush = 0x96;
inline constexpr std::uint8_t kJump = 0x99;
inline constexpr std::uint8_t kGetURL2 = 0x9A;
inline constexpr std::uint8_t kDefineFunction = 0x9B;
inline constexpr std::uint8_t kIf = 0x9D;
inline constexpr std::uint8_t kCall = 0x9E;
inline constexpr std::uint8_t kGotoFrame2 = 0x9F;

// DefineFunction2 flags, as the 16-bit little-endian field stores them.
inline constexpr std::uint16_t kPreloadThis = 0x0001;
inline constexpr std::uint16_t kSuppressThis = 0x0002;
inline constexpr std::uint16_t kPreloadArguments = 0x0004;
inline constexpr std::uint16_t kSuppressArguments = 0x0008;
inline constexpr std::uint16_t kPreloadSuper = 0x0010;
inline constexpr std::uint16_t kSuppressSuper = 0x0020;
inline constexpr std::uint16_t kPreloadRoot = 0x0040;
inline constexpr std::uint16_t kPreloadParent = 0x0080;
inline constexpr std::uint16_t kPreloadGlobal = 0x0100;

// GetURL2 send-variables methods.
inline constexpr std::uint8_t kSendNone = 0, kSendGet = 1, kSendPost = 2;

// Push operand kinds beyond the plain C++ types.
struct Undefined {};
struct Reg {
  std::uint8_t index;
};
struct Const {  // constant pool index, as the 8-bit form when it fits
  std::uint16_t index;
};
struct Const16 {  // the 16-bit form even for small indices
  std::uint16_t index;
};

// One pushed value: string, float, null, undefined, register, bool, double, int, constant 8/16.
class PushValue {
 public:
  PushValue(const char* s) : type_(0), text_(s) {}
  PushValue(std::string s) : type_(0), text_(std::move(s)) {}
  PushValue(float f) : type_(1) { Put32(Bits32(f)); }
  PushValue(std::nullptr_t) : type_(2) {}
  PushValue(Undefined) : type_(3) {}
  PushValue(Reg r) : type_(4) { data_.push_back(r.index); }
  template <class B>
    requires std::same_as<B, bool>
  PushValue(B b) : type_(5) {
    data_.push_back(b ? 1 : 0);
  }
  PushValue(double d) : type_(6) {
    std::uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    Put32(static_cast<std::uint32_t>(v >> 32));  // high word first
    Put32(static_cast<std::uint32_t>(v));
  }
  PushValue(std::int32_t i) : type_(7) { Put32(static_cast<std::uint32_t>(i)); }
  PushValue(Const c) : type_(c.index < 256 ? 8 : 9) {
    data_.push_back(static_cast<std::uint8_t>(c.index));
    if (type_ == 9) data_.push_back(static_cast<std::uint8_t>(c.index >> 8));
  }
  PushValue(Const16 c) : type_(9) {
    data_.push_back(static_cast<std::uint8_t>(c.index));
    data_.push_back(static_cast<std::uint8_t>(c.index >> 8));
  }

  void AppendTo(std::vector<std::uint8_t>& out) const {
    out.push_back(type_);
    out.insert(out.end(), text_.begin(), text_.end());
    if (type_ == 0) out.push_back(0);
    out.insert(out.end(), data_.begin(), data_.end());
  }

 private:
  static std::uint32_t Bits32(float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
  }
  void Put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::uint8_t type_;
  std::string text_;
  std::vector<std::uint8_t> data_;
};

struct Param {  // a DefineFunction2 parameter; register 0 keeps it a named variable
  std::string name;
  std::uint8_t reg = 0;
};

class Asm {
 public:
  using Block = std::function<void(Asm&)>;

  // A payload-less action by code.
  Asm& Op(std::uint8_t code) {
    if (code >= 0x80) throw std::logic_error("Op: action 0x80 and above carries a length");
    Start();
    out_.push_back(code);
    return *this;
  }
  // Any action with a length, payload as given (for malformed or unusual records).
  Asm& Action(std::uint8_t code, const std::vector<std::uint8_t>& payload) {
    if (code < 0x80) throw std::logic_error("Action: codes below 0x80 have no length");
    Start();
    out_.push_back(code);
    Put16(Checked16(payload.size(), "payload"));
    out_.insert(out_.end(), payload.begin(), payload.end());
    return *this;
  }
  // Bytes outside any action record, not counted as an action.
  Asm& Raw(std::initializer_list<std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }

#define QUILLON_AVM1_METHOD(name, code) \
  Asm& name() { return Op(code); }
  QUILLON_AVM1_SHORT_ACTIONS(QUILLON_AVM1_METHOD)
#undef QUILLON_AVM1_METHOD

  Asm& GotoFrame(std::uint16_t frame) { return Action(kGotoFrame, Le16(frame)); }
  Asm& GetURL(const std::string& url, const std::string& target) {
    std::vector<std::uint8_t> p;
    PutString(p, url);
    PutString(p, target);
    return Action(kGetURL, p);
  }
  Asm& StoreRegister(std::uint8_t reg) { return Action(kStoreRegister, {reg}); }
  Asm& ConstantPool(const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> p = Le16(Checked16(strings.size(), "constant pool"));
    for (const auto& s : strings) PutString(p, s);
    return Action(kConstantPool, p);
  }
  Asm& StrictMode(bool on) { return Action(kStrictMode, {static_cast<std::uint8_t>(on ? 1 : 0)}); }
  // The skip count is in actions; the label form counts the action records up to the label,
  // those inside nested bodies one by one, as a reader walking the records sees them.
  Asm& WaitForFrame(std::uint16_t frame, std::uint8_t skip) {
    std::vector<std::uint8_t> p = Le16(frame);
    p.push_back(skip);
    return Action(kWaitForFrame, p);
  }
  Asm& WaitForFrame(std::uint16_t frame, const std::string& skipTo) {
    WaitForFrame(frame, std::uint8_t{0});
    skips_.push_back({out_.size() - 1, out_.size(), skipTo});
    return *this;
  }
  Asm& WaitForFrame2(std::uint8_t skip) { return Action(kWaitForFrame2, {skip}); }
  Asm& WaitForFrame2(const std::string& skipTo) {
    WaitForFrame2(std::uint8_t{0});
    skips_.push_back({out_.size() - 1, out_.size(), skipTo});
    return *this;
  }
  Asm& SetTarget(const std::string& target) {
    std::vector<std::uint8_t> p;
    PutString(p, target);
    return Action(kSetTarget, p);
  }
  Asm& GotoLabel(const std::string& label) {
    std::vector<std::uint8_t> p;
    PutString(p, label);
    return Action(kGotoLabel, p);
  }
  Asm& GetURL2(std::uint8_t sendMethod, bool loadTarget, bool loadVariables) {
    const auto flags = static_cast<std::uint8_t>((sendMethod & 3) << 6 | (loadTarget ? 2 : 0) | (loadVariables ? 1 : 0));
    return Action(kGetURL2, {flags});
  }
  Asm& Call() { return Action(kCall, {}); }
  Asm& GotoFrame2(bool play) { return Action(kGotoFrame2, {static_cast<std::uint8_t>(play ? 1 : 0)}); }
  Asm& GotoFrame2(bool play, std::uint16_t sceneBias) {
    std::vector<std::uint8_t> p{static_cast<std::uint8_t>(2 | (play ? 1 : 0))};
    Append(p, Le16(sceneBias));
    return Action(kGotoFrame2, p);
  }

  // One Push action holding every value given.
  template <class... Values>
  Asm& Push(const Values&... values) {
    static_assert(sizeof...(values) > 0);
    std::vector<std::uint8_t> p;
    (PushValue(values).AppendTo(p), ...);
    return Action(kPush, p);
  }
  Asm& Push(const std::vector<PushValue>& values) {
    std::vector<std::uint8_t> p;
    for (const auto& v : values) v.AppendTo(p);
    return Action(kPush, p);
  }

  // Branch offsets count from the end of the branch action.
  Asm& Jump(const std::string& label) { return Branch(kJump, label); }
  Asm& If(const std::string& label) { return Branch(kIf, label); }
  Asm& Jump(std::int16_t offset) { return Action(kJump, Le16(static_cast<std::uint16_t>(offset))); }
  Asm& If(std::int16_t offset) { return Action(kIf, Le16(static_cast<std::uint16_t>(offset))); }
  Asm& Label(const std::string& name) {
    if (!labels_.emplace(name, out_.size()).second) throw std::logic_error("label defined twice: " + name);
    return *this;
  }
  std::size_t Here() const { return out_.size(); }

  Asm& DefineFunction(const std::string& name, const std::vector<std::string>& params, const Block& body) {
    std::vector<std::uint8_t> p;
    PutString(p, name);
    Append(p, Le16(Checked16(params.size(), "parameters")));
    for (const auto& s : params) PutString(p, s);
    Append(p, Le16(0));
    Action(kDefineFunction, p);
    return Sized(out_.size() - 2, body);
  }
  // Register count is the highest parameter register plus one; no flags.
  Asm& DefineFunction2(const std::string& name, const std::vector<Param>& params, const Block& body) {
    std::uint8_t registers = 0;
    for (const auto& param : params)
      if (param.reg >= registers) registers = static_cast<std::uint8_t>(param.reg + 1);
    return DefineFunction2(name, registers, 0, params, body);
  }
  Asm& DefineFunction2(const std::string& name, std::uint8_t registers, std::uint16_t flags,
                       const std::vector<Param>& params, const Block& body) {
    std::vector<std::uint8_t> p;
    PutString(p, name);
    Append(p, Le16(Checked16(params.size(), "parameters")));
    p.push_back(registers);
    Append(p, Le16(flags));
    for (const auto& param : params) {
      p.push_back(param.reg);
      PutString(p, param.name);
    }
    Append(p, Le16(0));
    Action(kDefineFunction2, p);
    return Sized(out_.size() - 2, body);
  }

  // Catch flag set when a catch body is given, finally flag when a finally body is given.
  Asm& Try(const Block& body, const std::string& catchName, const Block& catchBody, const Block& finallyBody = {}) {
    std::vector<std::uint8_t> name;
    PutString(name, catchName);
    return TryRecord(0, name, body, catchBody, finallyBody);
  }
  Asm& Try(const Block& body, Reg catchReg, const Block& catchBody, const Block& finallyBody = {}) {
    return TryRecord(4, {catchReg.index}, body, catchBody, finallyBody);
  }
  Asm& TryFinally(const Block& body, const Block& finallyBody) { return Try(body, "", {}, finallyBody); }

  Asm& With(const Block& body) {
    Action(kWith, Le16(0));
    return Sized(out_.size() - 2, body);
  }

  // The block with its end action; Code() leaves the end action off.
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out = Code();
    out.push_back(kEnd);
    return out;
  }
  std::vector<std::uint8_t> Code() const {
    std::vector<std::uint8_t> out = out_;
    for (const auto& f : branches_) {
      const auto delta = static_cast<long>(Find(f.label)) - static_cast<long>(f.from);
      if (delta < INT16_MIN || delta > INT16_MAX) throw std::logic_error("branch out of range: " + f.label);
      const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(delta));
      out[f.at] = static_cast<std::uint8_t>(v);
      out[f.at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    for (const auto& s : skips_) {
      const std::size_t to = Find(s.label);
      if (to < s.from) throw std::logic_error("skip label before its wait: " + s.label);
      std::size_t count = 0;
      for (const std::size_t start : starts_) count += start >= s.from && start < to;
      if (count > 255) throw std::logic_error("skip count beyond 255: " + s.label);
      out[s.at] = static_cast<std::uint8_t>(count);
    }
    return out;
  }

 private:
  struct Fixup {
    std::size_t at;    // where the value goes
    std::size_t from;  // the offset it counts from
    std::string label;
  };

  static std::uint16_t Checked16(std::size_t n, const char* what) {
    if (n > 0xFFFF) throw std::logic_error(std::string(what) + " beyond 16 bits");
    return static_cast<std::uint16_t>(n);
  }
  static std::vector<std::uint8_t> Le16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  }
  static void PutString(std::vector<std::uint8_t>& p, const std::string& s) {
    p.insert(p.end(), s.begin(), s.end());
    p.push_back(0);
  }
  static void Append(std::vector<std::uint8_t>& p, const std::vector<std::uint8_t>& more) {
    p.insert(p.end(), more.begin(), more.end());
  }
  void Start() { starts_.push_back(out_.size()); }
  void Put16(std::uint16_t v) { Append(out_, Le16(v)); }
  void Patch16(std::size_t at, std::uint16_t v) {
    out_[at] = static_cast<std::uint8_t>(v);
    out_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  std::size_t Find(const std::string& label) const {
    const auto it = labels_.find(label);
    if (it == labels_.end()) throw std::logic_error("unknown label: " + label);
    return it->second;
  }
  Asm& Branch(std::uint8_t code, const std::string& label) {
    Action(code, Le16(0));
    branches_.push_back({out_.size() - 2, out_.size(), label});
    return *this;
  }
  // Assembles body after the record and stores its byte size at sizeAt.
  Asm& Sized(std::size_t sizeAt, const Block& body) {
    const std::size_t start = out_.size();
    if (body) body(*this);
    Patch16(sizeAt, Checked16(out_.size() - start, "body"));
    return *this;
  }
  Asm& TryRecord(std::uint8_t flags, const std::vector<std::uint8_t>& catchTarget, const Block& body,
                 const Block& catchBody, const Block& finallyBody) {
    if (catchBody) flags |= 1;
    if (finallyBody) flags |= 2;
    std::vector<std::uint8_t> p{flags, 0, 0, 0, 0, 0, 0};
    Append(p, catchTarget);
    Action(kTry, p);
    const std::size_t sizes = out_.size() - p.size() + 1;
    Sized(sizes, body);
    Sized(sizes + 2, catchBody);
    return Sized(sizes + 4, finallyBody);
  }

  std::vector<std::uint8_t> out_;
  std::vector<std::size_t> starts_;  // offsets of every action record, nested ones too
  std::map<std::string, std::size_t> labels_;
  std::vector<Fixup> branches_, skips_;
};

}  // namespace quillon::player::avm1::testing
