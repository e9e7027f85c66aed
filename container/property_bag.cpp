#include "property_bag.h"

#include <algorithm>

namespace quillon::container {
namespace {

template <typename T, typename Convert>
T ReadAs(const PropertyBag& bag, std::wstring_view key, T defaultValue, Convert convert) {
  const Value* v = bag.Find(key);
  if (v == nullptr) return defaultValue;
  try {
    return convert(*v);
  } catch (const ValueError& e) {
    throw BagError(std::wstring(key), e.what());
  }
}

}  // namespace

const Value* PropertyBag::Find(std::wstring_view key) const {
  for (const auto& e : entries_) {
    if (KeyEquals(e.key, key)) return &e.value;
  }
  return nullptr;
}

bool PropertyBag::Contains(std::wstring_view key) const { return Find(key) != nullptr; }

Value PropertyBag::Read(std::wstring_view key, const Value& defaultValue) const {
  const Value* v = Find(key);
  return v != nullptr ? *v : defaultValue;
}

bool PropertyBag::ReadBool(std::wstring_view key, bool defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToBool(v); });
}

std::uint8_t PropertyBag::ReadByte(std::wstring_view key, std::uint8_t defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToByte(v); });
}

std::int16_t PropertyBag::ReadInt16(std::wstring_view key, std::int16_t defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToInt16(v); });
}

std::int32_t PropertyBag::ReadInt32(std::wstring_view key, std::int32_t defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToInt32(v); });
}

std::wstring PropertyBag::ReadText(std::wstring_view key, std::wstring_view defaultValue) const {
  return ReadAs(*this, key, std::wstring(defaultValue), [](const Value& v) { return ToText(v); });
}

FontDescription PropertyBag::ReadFont(std::wstring_view key, const FontDescription& defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToFont(v); });
}

PicturePtr PropertyBag::ReadPicture(std::wstring_view key, const PicturePtr& defaultValue) const {
  return ReadAs(*this, key, defaultValue, [](const Value& v) { return ToPicture(v); });
}

void PropertyBag::Write(std::wstring_view key, const Value& value, const Value& defaultValue) {
  if (SameValue(value, defaultValue)) {
    Remove(key);
    return;
  }
  Set(LowerKey(key), value);
}

void PropertyBag::Set(std::wstring_view key, Value value) {
  for (auto& e : entries_) {
    if (KeyEquals(e.key, key)) {
      e.value = std::move(value);
      return;
    }
  }
  entries_.push_back(Entry{std::wstring(key), std::move(value)});
}

bool PropertyBag::Remove(std::wstring_view key) {
  return std::erase_if(entries_, [key](const Entry& e) { return KeyEquals(e.key, key); }) != 0;
}

bool PropertyBag::operator==(const PropertyBag& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!KeyEquals(entries_[i].key, other.entries_[i].key)) return false;
    if (!SameValue(entries_[i].value, other.entries_[i].value)) return false;
  }
  return true;
}

}  // namespace quillon::container
