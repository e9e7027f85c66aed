// The Array class: element storage behind the index properties and `length`, the constructor,
// and the prototype's methods. The methods also work on any object that has a `length` and
// index properties, reading and writing them directly as the reference player does.
#include "avm1/classes/array.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <utility>

#include "avm1/machine.h"

namespace quillon::player::avm1 {
namespace {

enum SortFlag : int { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

// A slot never written (new Array(n), a gap left by a far assignment) reads as undefined but is
// not an own property: an undefined value that carries this mark. Values handed out are always
// cleaned, so the mark never leaves this file.
constexpr double kHoleMark = -0x1.5p-1000;
Value Hole() {
  Value v;
  v.boolean = true;
  v.number = kHoleMark;
  return v;
}
bool IsHole(const Value& v) { return v.type == Value::Type::Undefined && v.boolean && v.number == kHoleMark; }
Value Clean(const Value& v) { return v.IsUndefined() ? Value::Undefined() : v; }
std::vector<Value> Cleaned(std::span<const Value> values) {
  std::vector<Value> out;
  out.reserve(values.size());
  for (const Value& v : values) out.push_back(Clean(v));
  return out;
}

// "0", "17": canonical element names below the array limit. "01", "-1", "1.5" stay ordinary.
bool ParseIndex(std::string_view name, std::size_t& out) {
  if (name.empty() || name.size() > 9 || (name.size() > 1 && name[0] == '0')) return false;
  std::size_t n = 0;
  for (char ch : name) {
    if (ch < '0' || ch > '9') return false;
    n = n * 10 + static_cast<std::size_t>(ch - '0');
  }
  if (n >= kMaxArrayLength) return false;
  out = n;
  return true;
}

bool IsLengthName(const Machine& vm, std::string_view name) {
  if (name.size() != 6) return false;
  if (vm.caseSensitive()) return name == "length";
  for (std::size_t i = 0; i < 6; ++i)
    if ((name[i] | 0x20) != "length"[i]) return false;
  return true;
}

// A script length as a count: integers, NaN as 0, clamped to what an array may hold.
std::size_t ClampCount(double n) {
  if (!(n > 0)) return 0;
  return n >= static_cast<double>(kMaxArrayLength) ? kMaxArrayLength : static_cast<std::size_t>(n);
}

// A negative length (new Array(-1), length = -1) is kept as written, in an own plain `length`
// property that hides the computed one until the array changes size again.
Property* LengthOverride(Object* o) {
  Property* p = o->FindOwn("length");
  return p && !p->IsVirtual() ? p : nullptr;
}

void KeepNegativeLength(ArrayObject* a, double n) {
  a->items.clear();
  a->Define("length", Value::Num(std::max(n, -2147483648.0)), kDontEnum);
}

std::size_t Total(std::size_t a, std::size_t b) {
  if (a > kMaxArrayLength || b > kMaxArrayLength - a) throw ScriptAbort{"array too long"};
  return a + b;
}

// What a method works on: an array's own storage, or any other object's own `length` and index
// properties, read without the prototype chain and without running getters.
class Elements {
 public:
  Elements(Machine& vm, Object* self) : vm_(vm), self_(self), array_(dynamic_cast<ArrayObject*>(self)) {}

  ArrayObject* array() const { return array_; }

  std::size_t Length() {
    if (array_) return array_->items.size();
    return ClampCount(vm_.ToInteger(Raw("length")));
  }

  Value At(std::size_t i) {
    if (array_) return i < array_->items.size() ? Clean(array_->items[i]) : Value::Undefined();
    return Raw(std::to_string(i));
  }

  std::vector<Value> All() {
    std::vector<Value> out;
    if (array_) {
      out.reserve(array_->items.size());
      for (const Value& v : array_->items) out.push_back(Clean(v));
      return out;
    }
    const std::size_t n = Length();
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) out.push_back(Raw(std::to_string(i)));
    return out;
  }

  // Replaces the whole content; the reference rewrites every element, so gaps become undefined.
  void Replace(std::vector<Value> values) {
    if (array_) {
      if (LengthOverride(array_)) array_->Resize(0);
      for (Value& v : values)
        if (v.IsUndefined()) v = Value::Undefined();
      array_->items = std::move(values);
      return;
    }
    const std::size_t old = Length();
    for (std::size_t i = values.size(); i < old; ++i) self_->Delete(std::to_string(i));
    for (std::size_t i = 0; i < values.size(); ++i) Put(std::to_string(i), values[i]);
    Put("length", Value::Num(static_cast<double>(values.size())));
  }

  void Put(const std::string& name, const Value& value) {
    const Value v = Clean(value);
    if (self_->SetSpecial(name, v)) return;
    if (Property* p = self_->FindOwn(name)) {
      if (!(p->flags & kReadOnly)) p->value = v;
      return;
    }
    self_->Define(name, v);
  }

 private:
  Value Raw(std::string_view name) {
    Value v;
    if (self_->GetSpecial(name, v)) return Clean(v);
    if (Property* p = self_->FindOwn(name)) return Clean(p->value);
    return {};
  }

  Machine& vm_;
  Object* self_;
  ArrayObject* array_;
};

// A relative position argument: negative counts from the end, then clamped into [0, length].
std::size_t RelativeIndex(Machine& vm, const Value& v, std::size_t length) {
  const double n = vm.ToInteger(v);
  const double len = static_cast<double>(length);
  if (n < 0) return n + len <= 0 ? 0 : static_cast<std::size_t>(n + len);
  return n >= len ? length : static_cast<std::size_t>(n);
}

Value Join(Machine& vm, Object* self, const std::string& separator) {
  // An array inside itself joins as empty there instead of recursing without end.
  thread_local std::vector<Object*> active;
  if (std::find(active.begin(), active.end(), self) != active.end()) return Value::Str("");
  active.push_back(self);
  struct Pop {
    ~Pop() { active.pop_back(); }
  } pop;
  Elements e(vm, self);
  const std::size_t n = e.Length();
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) out += separator;
    out += vm.ToString(e.At(i));
    if (out.size() > kMaxStringLength) throw ScriptAbort{"string too long"};
  }
  return Value::Str(std::move(out));
}

// ---- Sorting ----

// The reference player's quicksort: the first element of a range is its pivot, the left part is
// done before the right. Scripts that log their comparator see the same calls in the same order.
// Every step is bounds-checked, so an inconsistent comparator only gives an odd order, and a swap
// budget per range keeps one from looping for ever. `cmp(p, x)` compares the pivot with x.
template <typename Compare>
void QuickSort(std::vector<std::size_t>& a, Compare&& cmp) {
  if (a.size() < 2) return;
  std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, a.size() - 1}};
  while (!ranges.empty()) {
    const auto [lo, hi] = ranges.back();
    ranges.pop_back();
    const std::size_t pivot = a[lo];
    std::size_t i = lo + 1, j = hi;
    std::size_t budget = 4 * (hi - lo) + 16;
    for (;;) {
      while (i < j && cmp(pivot, a[i]) > 0) ++i;
      while (j > lo && cmp(pivot, a[j]) <= 0) --j;
      if (i >= j || budget-- == 0) break;
      std::swap(a[i], a[j]);
    }
    std::swap(a[lo], a[j]);
    if (j + 1 < hi) ranges.emplace_back(j + 1, hi);
    if (j > lo + 1) ranges.emplace_back(lo, j - 1);
  }
}

int Sign(double d) { return d > 0 ? 1 : d < 0 ? -1 : 0; }

void FoldCase(std::string& s) {
  for (char& ch : s)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
}

// What the built-in orders compare. Primitives convert without side effects, so their text and
// number are worked out once; objects convert at every comparison, as their methods may tell.
struct SortKey {
  Value value;
  bool cached = false;
  std::string text;
  double number = 0;
};

SortKey MakeKey(Machine& vm, Value v, int flags) {
  SortKey k;
  k.cached = !v.IsObject();
  if (k.cached) {
    k.text = vm.ToString(v);
    if (flags & kCaseInsensitive) FoldCase(k.text);
    if (flags & kNumeric) k.number = vm.ToNumber(v);
  }
  k.value = std::move(v);
  return k;
}

// The built-in orders: strings by character codes, or numbers when both sides are numeric.
int CompareKeys(Machine& vm, const SortKey& a, const SortKey& b, int flags) {
  int r = 0;
  bool done = false;
  if (flags & kNumeric) {
    const double x = a.cached ? a.number : vm.ToNumber(a.value);
    const double y = b.cached ? b.number : vm.ToNumber(b.value);
    if (!std::isnan(x) && !std::isnan(y)) {
      r = x < y ? -1 : x > y ? 1 : 0;
      done = true;
    }
  }
  if (!done) {
    std::string tx, ty;
    if (!a.cached) {
      tx = vm.ToString(a.value);
      if (flags & kCaseInsensitive) FoldCase(tx);
    }
    if (!b.cached) {
      ty = vm.ToString(b.value);
      if (flags & kCaseInsensitive) FoldCase(ty);
    }
    const int k = (a.cached ? a.text : tx).compare(b.cached ? b.text : ty);
    r = (k > 0) - (k < 0);
  }
  return (flags & kDescending) ? -r : r;
}

int OptionFlags(Machine& vm, const Value& v) { return v.IsUndefined() ? 0 : ToInt32(vm.ToNumber(v)); }

// Sorts positions 0..n-1 with `cmp(i, j)` and applies the result as the options ask: `values`
// reordered into the object (which is returned), the sorted positions as a new array, or 0 when a
// unique sort meets equal elements.
template <typename Compare>
Value FinishSort(Machine& vm, Object* self, Elements& e, std::vector<Value> values, int flags, Compare&& cmp) {
  std::vector<std::size_t> order(values.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool equalSeen = false;
  std::size_t calls = 0;
  QuickSort(order, [&](std::size_t x, std::size_t y) {
    if (++calls % 1024 == 0 && vm.InScript()) vm.CheckTime();
    const int r = cmp(x, y);
    if (r == 0) equalSeen = true;
    return r;
  });
  if ((flags & kUniqueSort) && equalSeen) return Value::Num(0);
  if (flags & kReturnIndexedArray) {
    std::vector<Value> indices;
    indices.reserve(order.size());
    for (std::size_t i : order) indices.push_back(Value::Num(static_cast<double>(i)));
    return Value::Obj(vm.NewArray(std::move(indices)));
  }
  std::vector<Value> sorted;
  sorted.reserve(order.size());
  for (std::size_t i : order) sorted.push_back(std::move(values[i]));
  e.Replace(std::move(sorted));
  return Value::Obj(self);
}

Value Sort(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Machine& vm = c.vm;
  Value fn;
  int flags = 0;
  if (c.Arg(0).IsObject() && dynamic_cast<Function*>(c.Arg(0).object)) {
    fn = c.Arg(0);
    flags = OptionFlags(vm, c.Arg(1));
  } else {
    flags = OptionFlags(vm, c.Arg(0).IsUndefined() ? c.Arg(1) : c.Arg(0));
  }
  Elements e(vm, self);
  const std::vector<Value> values = e.All();
  if (fn.IsUndefined()) {
    std::vector<SortKey> keys;
    keys.reserve(values.size());
    for (const Value& v : values) keys.push_back(MakeKey(vm, v, flags));
    return FinishSort(vm, self, e, values, flags,
                      [&](std::size_t a, std::size_t b) { return CompareKeys(vm, keys[a], keys[b], flags); });
  }
  return FinishSort(vm, self, e, values, flags, [&](std::size_t a, std::size_t b) {
    const Value args[] = {values[a], values[b]};
    const int r = Sign(vm.ToNumber(vm.CallValue(fn, Value::Undefined(), args)));
    return (flags & kDescending) ? -r : r;
  });
}

Value SortOn(Call& c) {
  Object* self = c.This();
  if (!self || c.Count() == 0) return {};
  Machine& vm = c.vm;
  std::vector<std::string> names;
  if (auto* list = c.Arg(0).IsObject() ? dynamic_cast<ArrayObject*>(c.Arg(0).object) : nullptr) {
    for (const Value& v : list->items) names.push_back(vm.ToString(Clean(v)));
  } else {
    names.push_back(vm.ToString(c.Arg(0)));
  }
  std::vector<int> fieldFlags(names.size(), 0);
  if (auto* list = c.Arg(1).IsObject() ? dynamic_cast<ArrayObject*>(c.Arg(1).object) : nullptr) {
    // Options that do not pair up with the names are ignored.
    if (list->items.size() == names.size())
      for (std::size_t i = 0; i < names.size(); ++i) fieldFlags[i] = OptionFlags(vm, Clean(list->items[i]));
  } else {
    std::fill(fieldFlags.begin(), fieldFlags.end(), OptionFlags(vm, c.Arg(1)));
  }
  const int flags = fieldFlags.empty() ? 0 : fieldFlags[0];

  Elements e(vm, self);
  std::vector<Value> values = e.All();
  // Each element's fields, looked up once.
  std::vector<std::vector<SortKey>> fields(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    Object* o = vm.ToObject(values[i]);
    for (std::size_t k = 0; k < names.size(); ++k)
      fields[i].push_back(MakeKey(vm, o ? o->Get(names[k]) : Value::Undefined(), fieldFlags[k]));
  }
  return FinishSort(vm, self, e, std::move(values), flags, [&](std::size_t a, std::size_t b) {
    for (std::size_t k = 0; k < names.size(); ++k)
      if (const int r = CompareKeys(vm, fields[a][k], fields[b][k], fieldFlags[k])) return r;
    return 0;
  });
}

// ---- The other methods ----

Value Push(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  if (ArrayObject* a = e.array()) {
    Total(a->items.size(), c.Count());
    for (const Value& v : c.args) a->Push(v);
    return Value::Num(static_cast<double>(a->items.size()));
  }
  const std::size_t n = e.Length();
  const std::size_t total = Total(n, c.Count());
  for (std::size_t i = 0; i < c.Count(); ++i) e.Put(std::to_string(n + i), c.args[i]);
  e.Put("length", Value::Num(static_cast<double>(total)));
  return Value::Num(static_cast<double>(total));
}

Value PopMethod(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  if (ArrayObject* a = e.array()) {
    if (a->items.empty()) return {};
    const Value last = Clean(a->items.back());
    a->Resize(a->items.size() - 1);
    return last;
  }
  const std::size_t n = e.Length();
  if (n == 0) {
    e.Put("length", Value::Num(0));
    return {};
  }
  const Value last = e.At(n - 1);
  self->Delete(std::to_string(n - 1));
  e.Put("length", Value::Num(static_cast<double>(n - 1)));
  return last;
}

Value Shift(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  std::vector<Value> values = e.All();
  if (values.empty()) {
    e.Replace({});
    return {};
  }
  const Value first = values.front();
  values.erase(values.begin());
  e.Replace(std::move(values));
  return first;
}

Value Unshift(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  std::vector<Value> values = e.All();
  Total(values.size(), c.Count());
  values.insert(values.begin(), c.args.begin(), c.args.end());
  const double n = static_cast<double>(values.size());
  e.Replace(std::move(values));
  return Value::Num(n);
}

Value Concat(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  std::vector<Value> out = e.All();
  for (const Value& v : c.args) {
    // Arrays among the arguments give their elements; arrays inside them stay whole.
    if (auto* a = v.IsObject() ? dynamic_cast<ArrayObject*>(v.object) : nullptr) {
      Total(out.size(), a->items.size());
      for (const Value& item : a->items) out.push_back(Clean(item));
    } else {
      Total(out.size(), 1);
      out.push_back(Clean(v));
    }
  }
  return Value::Obj(c.vm.NewArray(std::move(out)));
}

Value JoinMethod(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  const std::string separator = c.Arg(0).IsUndefined() ? "," : c.vm.ToString(c.Arg(0));
  return Join(c.vm, self, separator);
}

Value ToStringMethod(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  return Join(c.vm, self, ",");
}

Value Reverse(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  std::vector<Value> values = e.All();
  std::reverse(values.begin(), values.end());
  e.Replace(std::move(values));
  return Value::Obj(self);
}

Value Slice(Call& c) {
  Object* self = c.This();
  if (!self) return {};
  Elements e(c.vm, self);
  const std::size_t n = e.Length();
  const std::size_t from = RelativeIndex(c.vm, c.Arg(0), n);
  const std::size_t to = c.Arg(1).IsUndefined() ? n : RelativeIndex(c.vm, c.Arg(1), n);
  std::vector<Value> out;
  for (std::size_t i = from; i < to; ++i) out.push_back(e.At(i));
  return Value::Obj(c.vm.NewArray(std::move(out)));
}

Value Splice(Call& c) {
  Object* self = c.This();
  if (!self || c.Count() == 0) return {};
  Elements e(c.vm, self);
  std::vector<Value> values = e.All();
  const std::size_t n = values.size();
  const std::size_t from = RelativeIndex(c.vm, c.Arg(0), n);
  std::size_t count = n - from;
  if (c.Count() > 1) {
    const double d = c.vm.ToInteger(c.Arg(1));
    count = d <= 0 ? 0 : std::min(count, ClampCount(d));
  }
  const auto at = values.begin() + static_cast<std::ptrdiff_t>(from);
  std::vector<Value> removed(at, at + static_cast<std::ptrdiff_t>(count));
  values.erase(at, at + static_cast<std::ptrdiff_t>(count));
  if (c.Count() > 2) {
    Total(values.size(), c.Count() - 2);
    const std::vector<Value> added = Cleaned(c.args.subspan(2));
    values.insert(values.begin() + static_cast<std::ptrdiff_t>(from), added.begin(), added.end());
  }
  e.Replace(std::move(values));
  return Value::Obj(c.vm.NewArray(std::move(removed)));
}

// ---- The constructor ----

ArrayObject* MakeArray(Call& c) {
  // One number gives that many empty slots; anything else gives the arguments as elements.
  const bool sized = c.Count() == 1 && c.Arg(0).IsNumber();
  auto* a = static_cast<ArrayObject*>(c.vm.NewArray(sized ? std::vector<Value>{} : Cleaned(c.args)));
  if (sized) {
    const double length = ToInt32(c.Arg(0).number);
    if (length < 0) KeepNegativeLength(a, length);
    else a->Resize(ClampCount(length));
  }
  return a;
}

bool InheritsArray(Machine& vm, Object* o) {
  int guard = 0;
  for (Object* p = o->Proto(); p && guard < 256; p = p->Proto(), ++guard)
    if (p == vm.arrayProto) return true;
  return false;
}

Value CallArray(Call& c) {
  ArrayObject* made = MakeArray(c);
  // super() from a subclass: the instance gets the elements as its own properties.
  Object* self = c.This();
  if (self && !dynamic_cast<ArrayObject*>(self) && self != c.vm.global() && (c.constructing || InheritsArray(c.vm, self))) {
    Elements e(c.vm, self);
    if (c.Count() == 1 && c.Arg(0).IsNumber()) {
      e.Put("length", Value::Num(static_cast<double>(ToInt32(c.Arg(0).number))));
    } else {
      e.Replace(Cleaned(c.args));
    }
  }
  return Value::Obj(made);
}

Value ConstructArray(Call& c) {
  ArrayObject* made = MakeArray(c);
  // `new` hands over a fresh object: the array takes its prototype link and whatever the
  // machine put on it.
  if (Object* shell = c.This()) {
    Object* proto = shell->Proto();
    shell->ForEachOwn([&](const std::string& name, const Property& p) {
      if (!IsLengthName(c.vm, name)) made->Define(name, p.value, p.flags);
    });
    made->SetProto(proto);
  }
  return Value::Obj(made);
}

}  // namespace

// ---- ArrayObject ----

bool ArrayObject::GetSpecial(std::string_view name, Value& out) {
  std::size_t i = 0;
  if (ParseIndex(name, i)) {
    if (i >= items.size() || IsHole(items[i]) || (!slots_.empty() && FindOwn(name))) return false;
    out = items[i];
    return true;
  }
  if (!IsLengthName(vm(), name) || FindOwn("length")) return false;
  out = Value::Num(static_cast<double>(items.size()));
  return true;
}

bool ArrayObject::SetSpecial(std::string_view name, const Value& value) {
  std::size_t i = 0;
  if (ParseIndex(name, i)) {
    if (!slots_.empty() && FindOwn(name)) return false;
    if (i >= items.size()) Resize(i + 1);
    items[i] = Clean(value);
    return true;
  }
  if (!IsLengthName(vm(), name)) return false;
  if (Property* p = FindOwn("length"); p && p->IsVirtual()) return false;
  const double n = vm().ToInteger(value);
  if (n < 0) KeepNegativeLength(this, n);
  else Resize(ClampCount(n));
  return true;
}

bool ArrayObject::Delete(std::string_view name) {
  if (FindOwn(name)) return !IsLengthName(vm(), name) && Object::Delete(name);
  std::size_t i = 0;
  if (!ParseIndex(name, i)) return Object::Delete(name);
  if (i >= items.size() || IsHole(items[i])) return false;
  items[i] = Hole();
  return true;
}

void ArrayObject::SpecialKeys(std::vector<std::string>& out) {
  // Elements are written in ascending order almost always, and for..in lists the newest first.
  for (std::size_t i = items.size(); i-- > 0;) {
    if (IsHole(items[i])) continue;
    std::string name = std::to_string(i);
    if (slots_.empty() || !FindOwn(name)) out.push_back(std::move(name));
  }
}

void ArrayObject::Trace(std::vector<Object*>& out) {
  Object::Trace(out);
  for (const Value& v : items)
    if (v.IsObject()) out.push_back(v.object);
}

void ArrayObject::Resize(std::size_t length) {
  if (LengthOverride(this)) Object::Delete("length");
  items.resize(std::min(length, kMaxArrayLength), Hole());
}

void ArrayObject::Push(Value v) {
  if (items.size() >= kMaxArrayLength) throw ScriptAbort{"array too long"};
  if (LengthOverride(this)) Object::Delete("length");
  items.push_back(Clean(v));
}

void InstallArray(Machine& vm, Object* global) {
  Object* proto = vm.Make<Object>();
  proto->SetProto(vm.objectProto);
  vm.arrayProto = proto;
  proto->DefineNative("push", Push, 1);
  proto->DefineNative("pop", PopMethod);
  proto->DefineNative("shift", Shift);
  proto->DefineNative("unshift", Unshift, 1);
  proto->DefineNative("concat", Concat, 1);
  proto->DefineNative("join", JoinMethod, 1);
  proto->DefineNative("reverse", Reverse);
  proto->DefineNative("slice", Slice, 2);
  proto->DefineNative("splice", Splice, 2);
  proto->DefineNative("sort", Sort, 1);
  proto->DefineNative("sortOn", SortOn, 2);
  proto->DefineNative("toString", ToStringMethod);

  Function* cls = vm.NewClass(CallArray, ConstructArray, proto);
  constexpr std::uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;
  cls->Define("CASEINSENSITIVE", Value::Num(kCaseInsensitive), kConstant);
  cls->Define("DESCENDING", Value::Num(kDescending), kConstant);
  cls->Define("UNIQUESORT", Value::Num(kUniqueSort), kConstant);
  cls->Define("RETURNINDEXEDARRAY", Value::Num(kReturnIndexedArray), kConstant);
  cls->Define("NUMERIC", Value::Num(kNumeric), kConstant);
  global->Define("Array", Value::Obj(cls), kDontEnum);
}

}  // namespace quillon::player::avm1
