// quillon-avm1-dump: prints every script block of a movie (frame actions, init actions, clip
// event actions, button actions) as a disassembly, to read why a movie's scripts misbehave.
// A development tool, never shipped inside outputs. It walks the tag stream itself, so blocks
// the player would drop (damaged tags, unusual nesting) still show.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "swf/bytes.h"
#include "swf/movie.h"
#include "swf/records.h"

namespace {

using namespace quillon::player;

using Bytes = std::span<const std::uint8_t>;

constexpr int kMaxNesting = 64;  // deeper bodies are listed flat: a hostile movie must not blow the stack

const char* ShortActionName(std::uint8_t code) {
  switch (code) {
    case 0x00: return "End";
    case 0x04: return "NextFrame";
    case 0x05: return "PreviousFrame";
    case 0x06: return "Play";
    case 0x07: return "Stop";
    case 0x08: return "ToggleQuality";
    case 0x09: return "StopSounds";
    case 0x0A: return "Add";
    case 0x0B: return "Subtract";
    case 0x0C: return "Multiply";
    case 0x0D: return "Divide";
    case 0x0E: return "Equals";
    case 0x0F: return "Less";
    case 0x10: return "And";
    case 0x11: return "Or";
    case 0x12: return "Not";
    case 0x13: return "StringEquals";
    case 0x14: return "StringLength";
    case 0x15: return "StringExtract";
    case 0x17: return "Pop";
    case 0x18: return "ToInteger";
    case 0x1C: return "GetVariable";
    case 0x1D: return "SetVariable";
    case 0x20: return "SetTarget2";
    case 0x21: return "StringAdd";
    case 0x22: return "GetProperty";
    case 0x23: return "SetProperty";
    case 0x24: return "CloneSprite";
    case 0x25: return "RemoveSprite";
    case 0x26: return "Trace";
    case 0x27: return "StartDrag";
    case 0x28: return "EndDrag";
    case 0x29: return "StringLess";
    case 0x2A: return "Throw";
    case 0x2B: return "CastOp";
    case 0x2C: return "ImplementsOp";
    case 0x2D: return "FSCommand2";
    case 0x30: return "RandomNumber";
    case 0x31: return "MBStringLength";
    case 0x32: return "CharToAscii";
    case 0x33: return "AsciiToChar";
    case 0x34: return "GetTime";
    case 0x35: return "MBStringExtract";
    case 0x36: return "MBCharToAscii";
    case 0x37: return "MBAsciiToChar";
    case 0x3A: return "Delete";
    case 0x3B: return "Delete2";
    case 0x3C: return "DefineLocal";
    case 0x3D: return "CallFunction";
    case 0x3E: return "Return";
    case 0x3F: return "Modulo";
    case 0x40: return "NewObject";
    case 0x41: return "DefineLocal2";
    case 0x42: return "InitArray";
    case 0x43: return "InitObject";
    case 0x44: return "TypeOf";
    case 0x45: return "TargetPath";
    case 0x46: return "Enumerate";
    case 0x47: return "Add2";
    case 0x48: return "Less2";
    case 0x49: return "Equals2";
    case 0x4A: return "ToNumber";
    case 0x4B: return "ToString";
    case 0x4C: return "PushDuplicate";
    case 0x4D: return "StackSwap";
    case 0x4E: return "GetMember";
    case 0x4F: return "SetMember";
    case 0x50: return "Increment";
    case 0x51: return "Decrement";
    case 0x52: return "CallMethod";
    case 0x53: return "NewMethod";
    case 0x54: return "InstanceOf";
    case 0x55: return "Enumerate2";
    case 0x60: return "BitAnd";
    case 0x61: return "BitOr";
    case 0x62: return "BitXor";
    case 0x63: return "BitLShift";
    case 0x64: return "BitRShift";
    case 0x65: return "BitURShift";
    case 0x66: return "StrictEquals";
    case 0x67: return "Greater";
    case 0x68: return "StringGreater";
    case 0x69: return "Extends";
    default: return nullptr;
  }
}

const char* LongActionName(std::uint8_t code) {
  switch (code) {
    case 0x81: return "GotoFrame";
    case 0x83: return "GetURL";
    case 0x87: return "StoreRegister";
    case 0x88: return "ConstantPool";
    case 0x89: return "StrictMode";
    case 0x8A: return "WaitForFrame";
    case 0x8B: return "SetTarget";
    case 0x8C: return "GotoLabel";
    case 0x8D: return "WaitForFrame2";
    case 0x8E: return "DefineFunction2";
    case 0x8F: return "Try";
    case 0x94: return "With";
    case 0x96: return "Push";
    case 0x99: return "Jump";
    case 0x9A: return "GetURL2";
    case 0x9B: return "DefineFunction";
    case 0x9D: return "If";
    case 0x9E: return "Call";
    case 0x9F: return "GotoFrame2";
    default: return nullptr;
  }
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

// Shortest text that reads back to the same number; doubles keep a point so they stand apart
// from integers.
template <class F>
std::string Number(F v, bool markDouble) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, res.ptr);
  if (markDouble && s.find_first_of(".einfa") == std::string::npos) s += ".0";
  return s;
}

std::string Hex(Bytes b, std::size_t max) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < b.size() && i < max; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", b[i]);
    if (i) out += ' ';
    out += buf;
  }
  if (b.size() > max) out += " ...";
  return out;
}

std::string Function2Flags(std::uint16_t flags) {
  static const char* const names[] = {"preloadThis",  "suppressThis",  "preloadArguments",
                                      "suppressArguments", "preloadSuper", "suppressSuper",
                                      "preloadRoot",  "preloadParent", "preloadGlobal"};
  std::string out;
  for (int i = 0; i < 9; ++i)
    if (flags & (1u << i)) out += (out.empty() ? "" : "|") + std::string(names[i]);
  if (flags & 0xFE00) out += (out.empty() ? "" : "|") + std::string("reserved bits");
  return out.empty() ? "none" : out;
}

// One action block, printed with offsets from the block's start.
class Disassembler {
 public:
  Disassembler(Bytes block, int indent) : block_(block), indent_(indent) {}

  void Run() {
    std::vector<std::string> pool;
    const std::size_t end = Range(0, block_.size(), 0, pool, true);
    if (end < block_.size()) Note(end, 0, std::to_string(block_.size() - end) + " bytes after the end action");
  }

 private:
  void Line(std::size_t at, int depth, const std::string& text) const {
    std::printf("%*s%04zX  %*s%s\n", indent_, "", at, 2 * depth, "", text.c_str());
  }
  void Note(std::size_t at, int depth, const std::string& text) const { Line(at, depth, "; " + text); }
  void Heading(int depth, const std::string& text) const {
    std::printf("%*s      %*s%s\n", indent_, "", 2 * depth, "", text.c_str());
  }

  // Lists the actions of [begin, end); returns where listing stopped.
  std::size_t Range(std::size_t begin, std::size_t end, int depth, std::vector<std::string>& pool, bool top) {
    std::size_t pos = begin;
    while (pos < end) {
      const std::uint8_t code = block_[pos];
      if (code < 0x80) {
        const char* name = ShortActionName(code);
        char buf[32];
        if (!name) std::snprintf(buf, sizeof buf, "Unknown 0x%02X", code);
        Line(pos, depth, name ? name : buf);
        ++pos;
        if (code == 0 && top) return pos;
        continue;
      }
      if (end - pos < 3) {
        Note(pos, depth, "action header cut short");
        return end;
      }
      const std::size_t length = block_[pos + 1] | static_cast<std::size_t>(block_[pos + 2]) << 8;
      std::size_t payloadEnd = pos + 3 + length;
      std::string trouble;
      if (payloadEnd > end) {
        trouble = " ; length " + std::to_string(length) + " runs past the block";
        payloadEnd = end;
      }
      Reader r(block_.subspan(pos + 3, payloadEnd - pos - 3));
      std::size_t next = payloadEnd;
      const std::string text = Long(code, r, pos, payloadEnd, end, depth, pool, next);
      if (r.failed()) trouble += " ; payload cut short";
      else if (!r.atEnd() && !text.empty())
        trouble += " ; " + std::to_string(r.remaining()) + " payload bytes unread";
      if (!text.empty()) Line(pos, depth, text + trouble);
      else if (!trouble.empty()) Note(pos, depth, trouble.substr(3));
      pos = next;
    }
    return pos;
  }

  // Decodes one long action; bodies that follow it are listed here and `next` moved past them.
  // Returns the line to print, or empty when this already printed it.
  std::string Long(std::uint8_t code, Reader& r, std::size_t at, std::size_t payloadEnd, std::size_t end, int depth,
                   std::vector<std::string>& pool, std::size_t& next) {
    const char* known = LongActionName(code);
    std::string s = known ? known : "";
    switch (code) {
      case 0x81: return s + " " + std::to_string(r.u16());
      case 0x83: {
        const std::string url = r.str();
        return s + " " + Quote(url) + " " + Quote(r.str());
      }
      case 0x87: return s + " r" + std::to_string(r.u8());
      case 0x88: {
        const std::uint16_t count = r.u16();
        pool.clear();
        Line(at, depth, s + " (" + std::to_string(count) + ")");
        for (std::uint16_t i = 0; i < count && !r.failed(); ++i) {
          pool.push_back(r.str());
          if (!r.failed()) Heading(depth + 1, "c" + std::to_string(i) + " " + Quote(pool.back()));
        }
        if (r.failed()) Note(at, depth, "constant pool cut short");
        return "";
      }
      case 0x89: return s + (r.u8() ? " on" : " off");
      case 0x8A: {
        const std::uint16_t frame = r.u16();
        return s + " " + std::to_string(frame) + " skip " + std::to_string(r.u8());
      }
      case 0x8B:
      case 0x8C: return s + " " + Quote(r.str());
      case 0x8D: return s + " skip " + std::to_string(r.u8());
      case 0x8E:
      case 0x9B: return Function(code, r, at, payloadEnd, end, depth, pool, next);
      case 0x8F: return Try(r, at, payloadEnd, end, depth, pool, next);
      case 0x94: {
        const std::uint16_t size = r.u16();
        Line(at, depth, s + ", body " + std::to_string(size) + " bytes");
        next = Body(payloadEnd, size, end, depth, pool, at);
        return "";
      }
      case 0x96: return s + Push(r, pool);
      case 0x99:
      case 0x9D: {
        const std::int16_t offset = r.s16();
        const long target = static_cast<long>(payloadEnd) + offset;
        char buf[64];
        if (target < 0 || static_cast<std::size_t>(target) > block_.size())
          std::snprintf(buf, sizeof buf, " %+d (outside the block)", offset);
        else
          std::snprintf(buf, sizeof buf, " %+d -> %04lX", offset, static_cast<unsigned long>(target));
        return s + buf;
      }
      case 0x9A: {
        const std::uint8_t f = r.u8();
        static const char* const methods[] = {"none", "GET", "POST", "method 3"};
        s += std::string(" send ") + methods[f >> 6];
        if (f & 2) s += ", target is a clip";
        if (f & 1) s += ", load variables";
        return s;
      }
      case 0x9E: return s;
      case 0x9F: {
        const std::uint8_t f = r.u8();
        s += f & 1 ? " and play" : " and stop";
        if (f & 2) s += ", scene bias " + std::to_string(r.u16());
        return s;
      }
      default: {
        char buf[48];
        std::snprintf(buf, sizeof buf, "Unknown 0x%02X, %zu bytes", code, r.size());
        const Bytes payload = r.rest();
        return std::string(buf) + (payload.empty() ? "" : ": " + Hex(payload, 32));
      }
    }
  }

  std::string Push(Reader& r, const std::vector<std::string>& pool) {
    std::string s;
    while (!r.atEnd() && !r.failed()) {
      const std::uint8_t type = r.u8();
      s += ' ';
      switch (type) {
        case 0: s += Quote(r.str()); break;
        case 1: s += Number(r.f32(), false) + "f"; break;
        case 2: s += "null"; break;
        case 3: s += "undefined"; break;
        case 4: s += "r" + std::to_string(r.u8()); break;
        case 5: s += r.u8() ? "true" : "false"; break;
        case 6: s += Number(r.f64Swapped(), true); break;
        case 7: s += std::to_string(r.s32()); break;
        case 8:
        case 9: {
          const std::size_t i = type == 8 ? r.u8() : r.u16();
          s += "c" + std::to_string(i) + ":" + (i < pool.size() ? Quote(pool[i]) : std::string("?"));
          break;
        }
        default: return s + "?type " + std::to_string(type) + ", rest unread: " + Hex(r.rest(), 16);
      }
    }
    return s;
  }

  std::string Function(std::uint8_t code, Reader& r, std::size_t at, std::size_t payloadEnd, std::size_t end,
                       int depth, const std::vector<std::string>& pool, std::size_t& next) {
    std::string s = code == 0x8E ? "DefineFunction2 " : "DefineFunction ";
    s += Quote(r.str());
    const std::uint16_t count = r.u16();
    std::uint8_t registers = 0;
    std::uint16_t flags = 0;
    if (code == 0x8E) {
      registers = r.u8();
      flags = r.u16();
    }
    s += " (";
    for (std::uint16_t i = 0; i < count && !r.failed(); ++i) {
      if (i) s += ", ";
      if (code == 0x8E) {
        const std::uint8_t reg = r.u8();
        if (reg) s += "r" + std::to_string(reg) + ":";
      }
      s += r.str();
    }
    s += ")";
    if (code == 0x8E) s += " registers " + std::to_string(registers) + " flags " + Function2Flags(flags);
    const std::uint16_t size = r.u16();
    s += ", body " + std::to_string(size) + " bytes";
    if (r.failed()) s += " ; header cut short";
    Line(at, depth, s);
    std::vector<std::string> inner = pool;  // a function sees the pool it was defined under
    next = Body(payloadEnd, size, end, depth, inner, at);
    return "";
  }

  std::string Try(Reader& r, std::size_t at, std::size_t payloadEnd, std::size_t end, int depth,
                  std::vector<std::string>& pool, std::size_t& next) {
    const std::uint8_t flags = r.u8();
    const std::uint16_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
    std::string target = flags & 4 ? "r" + std::to_string(r.u8()) : Quote(r.str());
    std::string s = "Try";
    if (flags & 1) s += " catch " + target;
    if (flags & 2) s += " finally";
    if (!(flags & 3)) s += " (no catch, no finally)";
    s += ", sizes " + std::to_string(trySize) + " " + std::to_string(catchSize) + " " + std::to_string(finallySize);
    if (r.failed()) s += " ; header cut short";
    Line(at, depth, s);
    std::size_t pos = payloadEnd;
    const std::pair<const char*, std::uint16_t> parts[] = {{"try:", trySize}, {"catch:", catchSize}, {"finally:", finallySize}};
    for (const auto& [name, size] : parts) {
      if (size == 0) continue;
      Heading(depth + 1, name);
      pos = Body(pos, size, end, depth + 1, pool, at);
    }
    next = pos;
    return "";
  }

  // Lists a body of `size` bytes at `begin`, one level deeper; returns the offset after it.
  std::size_t Body(std::size_t begin, std::size_t size, std::size_t end, int depth, std::vector<std::string>& pool,
                   std::size_t owner) {
    std::size_t bodyEnd = begin + size;
    if (bodyEnd > end) {
      Note(owner, depth, "body runs " + std::to_string(bodyEnd - end) + " bytes past its block");
      bodyEnd = end;
    }
    if (depth + 1 >= kMaxNesting) return begin;  // too deep: the caller lists the body flat
    return std::max(Range(begin, bodyEnd, depth + 1, pool, false), bodyEnd);
  }

  Bytes block_;
  int indent_;
};

std::string ClipEvents(std::uint32_t flags) {
  static const char* const names[] = {"load",    "enterFrame",     "unload",   "mouseMove", "mouseDown", "mouseUp",
                                      "keyDown", "keyUp",          "data",     "initialize", "press",    "release",
                                      "releaseOutside", "rollOver", "rollOut", "dragOver",  "dragOut",   "keyPress",
                                      "construct"};
  std::string out;
  for (int i = 0; i < 19; ++i)
    if (flags & (1u << i)) out += (out.empty() ? "" : ", ") + std::string(names[i]);
  if (flags & ~((1u << 19) - 1)) out += (out.empty() ? "" : ", ") + std::string("reserved bits");
  return out.empty() ? "no events" : out;
}

std::string KeyName(unsigned key) {
  static const std::map<unsigned, const char*> names = {
      {1, "left"},       {2, "right"},  {3, "home"},   {4, "end"},      {5, "insert"}, {6, "delete"}, {8, "backspace"},
      {13, "enter"},     {14, "up"},    {15, "down"},  {16, "pageUp"},  {17, "pageDown"}, {18, "tab"}, {19, "escape"}};
  const auto it = names.find(key);
  if (it != names.end()) return it->second;
  if (key >= 32 && key < 127) return "'" + std::string(1, static_cast<char>(key)) + "'";
  return std::to_string(key);
}

std::string ButtonConditions(std::uint8_t lo, std::uint8_t hi) {
  static const char* const names[] = {"idleToOverUp (rollOver)",      "overUpToIdle (rollOut)",
                                      "overUpToOverDown (press)",     "overDownToOverUp (release)",
                                      "overDownToOutDown (dragOut)",  "outDownToOverDown (dragOver)",
                                      "outDownToIdle (releaseOutside)", "idleToOverDown (menu dragOver)"};
  std::string out;
  for (int i = 0; i < 8; ++i)
    if (lo & (1u << i)) out += (out.empty() ? "" : ", ") + std::string(names[i]);
  if (hi & 1) out += (out.empty() ? "" : ", ") + std::string("overDownToIdle (menu dragOut)");
  if (hi >> 1) out += (out.empty() ? "" : ", ") + std::string("keyPress ") + KeyName(hi >> 1);
  return out.empty() ? "no conditions" : out;
}

class Walker {
 public:
  explicit Walker(int version) : version_(version) {}

  void Tags(Reader& r, const std::string& where, int nesting) {
    int frame = 1;
    std::string label;
    while (!r.atEnd()) {
      const std::uint16_t header = r.u16();
      const int code = header >> 6;
      std::size_t length = header & 0x3F;
      if (length == 0x3F) length = r.u32();
      if (r.failed()) {
        std::printf("; %s: tag header cut short\n", where.c_str());
        return;
      }
      if (length > r.remaining()) {
        std::printf("; %s frame %d: tag %d declares %zu bytes, %zu remain\n", where.c_str(), frame, code, length,
                    r.remaining());
        length = r.remaining();
      }
      Reader t(r.bytes(length));
      const std::string at = where + " frame " + std::to_string(frame) + (label.empty() ? "" : " " + Quote(label));
      switch (code) {
        case 0: return;
        case 1: ++frame; label.clear(); break;
        case 43: label = t.str(); break;
        case 12: Block("DoAction, " + at, t.rest()); break;
        case 59: {
          const std::uint16_t id = t.u16();
          Block("DoInitAction for " + Sprite(id) + ", " + at, t.rest());
          break;
        }
        case 56:  // export names, to tell init actions apart
        case 57: {
          if (code == 57) t.str();  // imported from this URL
          const std::uint16_t count = t.u16();
          for (std::uint16_t i = 0; i < count && !t.failed(); ++i) {
            const std::uint16_t id = t.u16();
            exports_[id] = t.str();
          }
          break;
        }
        case 39: {
          const std::uint16_t id = t.u16();
          t.u16();  // frame count
          if (nesting >= 8) {
            std::printf("; %s: sprite %u nested too deep, skipped\n", at.c_str(), id);
            break;
          }
          Tags(t, Sprite(id), nesting + 1);
          break;
        }
        case 26:
        case 70: Place(t, code, at); break;
        case 7: Button1(t, at); break;
        case 34: Button2(t, at); break;
        default: break;
      }
    }
  }

 private:
  std::string Sprite(std::uint16_t id) const {
    const auto it = exports_.find(id);
    return "sprite " + std::to_string(id) + (it == exports_.end() ? "" : " (" + Quote(it->second) + ")");
  }

  void Block(const std::string& title, Bytes code) {
    std::printf("\n== %s, %zu bytes\n", title.c_str(), code.size());
    Disassembler(code, 2).Run();
  }

  std::uint32_t Events(Reader& t) const {
    std::uint32_t v = t.u16();
    if (version_ >= 6) v |= static_cast<std::uint32_t>(t.u16()) << 16;
    return v;
  }

  void Place(Reader& t, int code, const std::string& at) {
    const std::uint8_t f = t.u8();
    const std::uint8_t f2 = code == 70 ? t.u8() : 0;
    const std::uint16_t depth = t.u16();
    std::string what = (code == 70 ? "PlaceObject3 depth " : "PlaceObject2 depth ") + std::to_string(depth);
    if (code == 70 && (f2 & 0x08 || (f2 & 0x10 && f & 0x02))) what += " class " + Quote(t.str());
    if (f & 0x02) what += " character " + std::to_string(t.u16());
    if (f & 0x04) ReadMatrix(t);
    if (f & 0x08) ReadColorTransform(t, true);
    if (f & 0x10) t.u16();
    if (f & 0x20) what += " name " + Quote(t.str());
    if (f & 0x40) t.u16();
    if (!(f & 0x80)) return;
    if (code == 70) {
      if (f2 & 0x01) ReadFilters(t);
      if (f2 & 0x02) t.u8();
      if (f2 & 0x04) t.u8();
      if (f2 & 0x20) t.u8();
      if (f2 & 0x40) t.skip(4);
    }
    t.u16();     // reserved
    Events(t);   // every event used below
    while (!t.failed() && !t.atEnd()) {
      const std::uint32_t events = Events(t);
      if (events == 0) break;
      std::size_t size = t.u32();
      if (t.failed()) break;
      if (size > t.remaining()) {
        std::printf("; %s: clip action record declares %zu bytes, %zu remain\n", at.c_str(), size, t.remaining());
        size = t.remaining();
      }
      Reader rec(t.bytes(size));
      std::string title = what + ", " + at + ": onClipEvent(" + ClipEvents(events) + ")";
      if (events & 0x20000) title += " key " + KeyName(rec.u8());
      Block(title, rec.rest());
    }
    if (t.failed()) std::printf("; %s: %s clip actions cut short\n", at.c_str(), what.c_str());
  }

  void Button1(Reader& t, const std::string& at) {
    const std::uint16_t id = t.u16();
    while (!t.failed()) {
      if (t.u8() == 0) break;
      t.skip(4);
      ReadMatrix(t);
    }
    if (t.failed()) {
      std::printf("; %s: button %u records cut short\n", at.c_str(), id);
      return;
    }
    Block("button " + std::to_string(id) + ", " + at + ": on overDownToOverUp (release)", t.rest());
  }

  void Button2(Reader& t, const std::string& at) {
    const std::uint16_t id = t.u16();
    t.u8();  // track as menu
    const std::size_t offsetAt = t.pos();
    const std::uint16_t offset = t.u16();
    if (offset == 0 || t.failed()) return;
    t.seek(offsetAt + offset);
    while (!t.failed() && !t.atEnd()) {
      const std::size_t start = t.pos();
      const std::uint16_t size = t.u16();
      const std::uint8_t lo = t.u8(), hi = t.u8();
      if (t.failed()) break;
      std::size_t bytes = t.remaining();
      if (size != 0) {
        if (size < 4) {
          std::printf("; %s: button %u condition record of %u bytes\n", at.c_str(), id, size);
          break;
        }
        bytes = std::min<std::size_t>(size - 4, t.remaining());
      }
      Block("button " + std::to_string(id) + ", " + at + ": on " + ButtonConditions(lo, hi), t.bytes(bytes));
      if (size == 0) break;
      t.seek(start + size);
    }
    if (t.failed()) std::printf("; %s: button %u actions cut short\n", at.c_str(), id);
  }

  int version_;
  std::map<std::uint16_t, std::string> exports_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: quillon-avm1-dump MOVIE.swf\n"
                 "Prints every action block of the movie (frame, init, clip event and button actions) as a\n"
                 "disassembly: offset in the block (hex), action, operands; bodies indented.\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto body = DecompressBody(file);
  if (!in.good() && !in.eof()) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 2;
  }
  if (!body) {
    std::fprintf(stderr, "%s: not an SWF movie, or its body does not decompress\n", argv[1]);
    return 2;
  }
  const int version = file[3];
  Reader r(*body);
  const int bits = static_cast<int>(r.ubits(5));
  for (int i = 0; i < 4; ++i) r.sbits(bits);
  const double rate = r.u16() / 256.0;
  const int frames = r.u16();
  const char* packing = file[0] == 'C' ? "zlib" : file[0] == 'Z' ? "LZMA" : "uncompressed";
  std::printf("%s: SWF version %d, %s, %d frames at %g per second, body %zu bytes\n", argv[1], version, packing,
              frames, rate, body->size());
  if (r.failed()) {
    std::printf("; header cut short\n");
    return 1;
  }
  Walker(version).Tags(r, "root", 0);
  return 0;
}
