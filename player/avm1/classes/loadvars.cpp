// LoadVars, loadVariables and the loading methods of XML: requests go to the host's loader,
// and each completion comes back on a later frame to the object that asked (onHTTPStatus, then
// onData, whose default decodes the text and calls onLoad).
#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "avm1/classes/data_classes.h"
#include "avm1/classes/extra_classes.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::string_view kStateKey = "\x01" "loads";
constexpr std::string_view kFormType = "application/x-www-form-urlencoded";

struct LoadState {
  std::shared_ptr<data::Loader> loader;
  struct Pending {
    int ticket;
    bool variables;  // loadVariables: onto a clip
    bool web;
  };
  std::vector<Pending> pending;
  std::vector<std::pair<int, data::Response>> ready;  // polled on the previous delivery
};

std::shared_ptr<LoadState> State(Machine& vm) { return extra_detail::StateOf<LoadState>(vm, kStateKey); }

// Objects waiting for a load stay reachable as properties of the state's holder on the global
// object, so a collection between frames keeps them.
Object* Holder(Machine& vm) {
  State(vm);
  Property* p = vm.global()->FindOwn(kStateKey);
  return p && p->value.IsObject() ? p->value.object : nullptr;
}

std::string TicketKey(int ticket) { return "t" + std::to_string(ticket); }

data::Loader& LoaderOf(Machine& vm) {
  const auto state = State(vm);
  if (!state->loader) {
    std::error_code ec;
    state->loader = std::make_shared<data::Loader>(std::filesystem::current_path(ec));
  }
  return *state->loader;
}

// Scripts that the player starts between frames: time limits apply, and what they throw is
// reported as an uncaught exception.
void StartLoad(Machine& vm, Object* target, const data::Request& request, bool variables) {
  data::Loader& loader = LoaderOf(vm);
  const bool web = loader.Classify(request.url) == data::Source::Web;
  const int ticket = loader.Start(request);
  if (Object* holder = Holder(vm)) holder->Define(TicketKey(ticket), Value::Obj(target), kDontEnum);
  State(vm)->pending.push_back({ticket, variables, web});
  if (!variables) {
    target->Define("_bytesLoaded", Value::Num(0), kDontEnum);
    target->Define("_bytesTotal", Value::Undefined(), kDontEnum);
    target->Set("loaded", Value::Bool(false));
  }
}

bool IsAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Escape(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsAlnum(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

// GET: the variables go after the address; POST: they are the body.
data::Request MakeRequest(Machine& vm, const std::string& url, const std::string& method, Object* source,
                          const Value& contentType, Object* headerSource) {
  data::Request r;
  r.url = url;
  std::string m = method;
  std::transform(m.begin(), m.end(), m.begin(), [](unsigned char c) { return std::toupper(c); });
  if (source) {
    const std::string vars = EncodeVariables(vm, source);
    if (m == "GET") {
      if (!vars.empty()) r.url += (url.find('?') == std::string::npos ? "?" : "&") + vars;
    } else {
      r.method = "POST";
      r.body = vars;
    }
  }
  if (!contentType.IsUndefined()) r.contentType = vm.ToString(contentType);
  // addRequestHeader keeps name, value, name, value... in _customHeaders.
  if (headerSource) {
    const Value headers = headerSource->Get("_customHeaders");
    if (headers.IsObject()) {
      const double n = vm.ToNumber(headers.object->Get("length"));
      for (double i = 0; i + 1 < n && i < 512; i += 2)
        r.headers.emplace_back(vm.ToString(headers.object->Get(NumberToString(i))),
                               vm.ToString(headers.object->Get(NumberToString(i + 1))));
    }
  }
  return r;
}

Value AddRequestHeader(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Value list = self->Get("_customHeaders");
  if (!list.IsObject()) {
    list = Value::Obj(c.vm.NewArray());
    self->Define("_customHeaders", list, kDontEnum);
  }
  auto push = [&](const Value& name, const Value& value) {
    if (!name.IsString() || !value.IsString()) return;
    const Value args[] = {name, value};
    c.vm.CallMethod(list.object, "push", args);
  };
  if (c.Arg(0).IsObject()) {
    Object* pairs = c.Arg(0).object;
    const double n = c.vm.ToNumber(pairs->Get("length"));
    for (double i = 0; i + 1 < n && i < 512; i += 2)
      push(pairs->Get(NumberToString(i)), pairs->Get(NumberToString(i + 1)));
  } else {
    push(c.Arg(0), c.Arg(1));
  }
  return {};
}

// load, send, sendAndLoad and the progress getters, shared by LoadVars and XML; a send
// carries the variables (`variables`) or the document's text.
void DefineLoading(Object* proto, bool variables) {
  auto bodyOf = [variables](Call& c, Object* self) -> std::string {
    return variables ? EncodeVariables(c.vm, self) : c.vm.ToString(Value::Obj(self));
  };
  proto->DefineNative("load", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0) return Value::Bool(false);
    data::Request r = MakeRequest(c.vm, c.vm.ToString(c.Arg(0)), "GET", nullptr, Value{}, self);
    StartLoad(c.vm, self, r, false);
    return Value::Bool(true);
  }, 1);
  proto->DefineNative("sendAndLoad", [bodyOf](Call& c) -> Value {
    Object* self = c.This();
    Object* target = c.Arg(1).IsObject() ? c.Arg(1).object : nullptr;
    if (!self || !target || c.Count() < 2) return Value::Bool(false);
    const std::string url = c.vm.ToString(c.Arg(0));
    std::string method = c.Count() > 2 ? c.vm.ToString(c.Arg(2)) : "POST";
    for (char& ch : method) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    data::Request r = MakeRequest(c.vm, url, "POST", nullptr, self->Get("contentType"), self);
    const std::string body = bodyOf(c, self);
    if (method == "GET") {
      if (!body.empty()) r.url += (url.find('?') == std::string::npos ? "?" : "&") + body;
    } else {
      r.method = "POST";
      r.body = body;
    }
    StartLoad(c.vm, target, r, false);
    return Value::Bool(true);
  }, 3);
  // A send shows the answer in a browser window: the host opens the address.
  proto->DefineNative("send", [bodyOf](Call& c) -> Value {
    Object* self = c.This();
    if (!self || c.Count() == 0) return Value::Bool(false);
    std::string url = c.vm.ToString(c.Arg(0));
    const std::string window = c.Count() > 1 ? c.vm.ToString(c.Arg(1)) : "_self";
    std::string method = c.Count() > 2 ? c.vm.ToString(c.Arg(2)) : "POST";
    for (char& ch : method) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::string body = bodyOf(c, self);
    if (!body.empty()) url += (url.find('?') == std::string::npos ? "?" : "&") + body;
    c.vm.host().GetUrl(url, window, method == "GET" ? 1 : 2);
    return Value::Bool(true);
  }, 3);
  proto->DefineNative("getBytesLoaded", [](Call& c) -> Value {
    Object* self = c.This();
    return self ? self->Get("_bytesLoaded") : Value{};
  });
  proto->DefineNative("getBytesTotal", [](Call& c) -> Value {
    Object* self = c.This();
    return self ? self->Get("_bytesTotal") : Value{};
  });
  if (!proto->HasOwn("addRequestHeader")) proto->DefineNative("addRequestHeader", AddRequestHeader, 2);
}

void InstallLoadVars(Machine& vm, Object* global) {
  Object* proto = vm.NewObject();
  DefineLoading(proto, true);
  proto->DefineNative("toString", [](Call& c) -> Value {
    Object* self = c.This();
    return Value::Str(self ? EncodeVariables(c.vm, self) : std::string());
  });
  proto->DefineNative("decode", [](Call& c) -> Value {
    Object* self = c.This();
    if (self && c.Count() > 0) DecodeVariables(c.vm, self, c.vm.ToString(c.Arg(0)));
    return {};
  }, 1);
  proto->DefineNative("onLoad", [](Call&) -> Value { return {}; }, 1);
  proto->DefineNative("onData", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    if (c.Arg(0).IsUndefined()) {
      const Value args[] = {Value::Bool(false)};
      c.vm.CallMethod(self, "onLoad", args);
      return {};
    }
    DecodeVariables(c.vm, self, c.vm.ToString(c.Arg(0)));
    self->Set("loaded", Value::Bool(true));
    const Value args[] = {Value::Bool(true)};
    c.vm.CallMethod(self, "onLoad", args);
    return {};
  }, 1);
  proto->Define("contentType", Value::Str(std::string(kFormType)), kDontEnum);
  global->Define("LoadVars", Value::Obj(vm.NewClass([](Call&) -> Value { return {}; }, nullptr, proto)), kDontEnum);
}

// XML parses in its own class; this adds how its documents travel.
void ExtendXml(Object* global) {
  const Value xml = global->Get("XML");
  if (!xml.IsObject()) return;
  const Value proto = xml.object->Get("prototype");
  if (!proto.IsObject()) return;
  DefineLoading(proto.object, false);
  if (!proto.object->Has("contentType"))
    proto.object->Define("contentType", Value::Str(std::string(kFormType)), kDontEnum);
}

void Deliver(Machine& vm, Object* target, const LoadState::Pending& p, const data::Response& r) {
  vm.CallFromHost([&] {
    if (p.variables) {
      if (r.ok) DecodeVariables(vm, target, DecodeLoadedText(r.body));
      const Value handler = target->Get("onData");
      if (handler.IsObject()) vm.CallMethod(target, "onData", {});
      return;
    }
    if (r.ok) {
      target->Define("_bytesLoaded", Value::Num(static_cast<double>(r.body.size())), kDontEnum);
      target->Define("_bytesTotal", Value::Num(static_cast<double>(r.body.size())), kDontEnum);
    }
    if (p.web) {
      const Value args[] = {Value::Num(r.status)};
      vm.CallMethod(target, "onHTTPStatus", args);
    }
    const Value args[] = {r.ok ? Value::Str(DecodeLoadedText(r.body)) : Value::Undefined()};
    vm.CallMethod(target, "onData", args);
  });
}

}  // namespace

std::string EncodeVariables(Machine& vm, Object* obj) {
  std::string out;
  for (const std::string& key : obj->EnumerableKeys()) {
    const Value v = obj->Get(key);
    if (!out.empty()) out.push_back('&');
    out += Escape(key);
    out.push_back('=');
    out += Escape(vm.ToString(v));
  }
  return out;
}

void DecodeVariables(Machine&, Object* target, std::string_view text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = text.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    const auto eq = pair.find('=');
    const std::string name = data::PercentDecode(pair.substr(0, eq));
    if (name.empty()) continue;
    const std::string value = eq == std::string_view::npos ? std::string() : data::PercentDecode(pair.substr(eq + 1));
    target->Set(name, Value::Str(value));
  }
}

std::string DecodeLoadedText(std::string_view bytes) {
  auto utf8 = [](std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  };
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return std::string(bytes.substr(3));
  if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    const bool little = byte(0) == 0xFF;
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      std::uint32_t u = little ? (byte(i) | byte(i + 1) << 8) : (byte(i) << 8 | byte(i + 1));
      if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
        const std::uint32_t lo = little ? (byte(i + 2) | byte(i + 3) << 8) : (byte(i + 2) << 8 | byte(i + 3));
        if (lo >= 0xDC00 && lo < 0xE000) {
          u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      utf8(out, u);
    }
    return out;
  }
  // Valid UTF-8 stays as it is.
  bool valid = true;
  for (std::size_t i = 0; i < bytes.size() && valid;) {
    const unsigned char c = byte(i);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > bytes.size()) valid = false;
    for (std::size_t k = 1; valid && k < n; ++k)
      if ((byte(i + k) & 0xC0) != 0x80) valid = false;
    i += n ? n : 1;
  }
  if (valid) return std::string(bytes);
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) utf8(out, byte(i));
  return out;
}

void SetLoader(Machine& vm, std::shared_ptr<data::Loader> loader) { State(vm)->loader = std::move(loader); }

void DeliverLoads(Machine& vm) {
  const auto state = State(vm);
  auto ready = std::exchange(state->ready, {});
  if (state->loader)
    for (auto& done : state->loader->Poll()) state->ready.push_back(std::move(done));
  Object* holder = Holder(vm);
  for (auto& [ticket, response] : ready) {
    const auto it = std::find_if(state->pending.begin(), state->pending.end(),
                                 [t = ticket](const LoadState::Pending& p) { return p.ticket == t; });
    if (it == state->pending.end()) continue;
    const LoadState::Pending p = *it;
    state->pending.erase(it);
    const std::string key = TicketKey(ticket);
    const Value target = holder ? holder->Get(key) : Value{};
    if (holder) holder->Delete(key);
    if (target.IsObject()) Deliver(vm, target.object, p, response);
  }
}

bool LoadsPending(Machine& vm) {
  const auto state = State(vm);
  return !state->pending.empty();
}

bool LoadText(Machine& vm, Object* target, const Value& url) {
  if (!target || url.IsUndefined()) return false;
  StartLoad(vm, target, MakeRequest(vm, vm.ToString(url), "GET", nullptr, Value{}, nullptr), false);
  return true;
}

void LoadVariables(Machine& vm, Object* target, const std::string& url, int method, Object* source) {
  if (!target) return;
  data::Request r = MakeRequest(vm, url, method == 1 ? "GET" : "POST", (method == 1 || method == 2) ? source : nullptr,
                                Value{}, nullptr);
  StartLoad(vm, target, r, true);
}

void InstallDataClasses(Machine& vm, Object* global) {
  InstallLoadVars(vm, global);
  ExtendXml(global);
  InstallSharedObject(vm, global);
}

}  // namespace quillon::player::avm1
