// Property bags: named, typed values with keys matched regardless of case. A control
// reads each key with a read default and writes each key with a write default; a write
// equal to its default leaves no entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "value.h"

namespace quillon::container {

// A read that failed: the key and why.
class BagError : public std::runtime_error {
 public:
  BagError(std::wstring key, const std::string& what) : std::runtime_error(what), key_(std::move(key)) {}
  const std::wstring& Key() const { return key_; }

 private:
  std::wstring key_;
};

class PropertyBag {
 public:
  struct Entry {
    std::wstring key;  // as written (lower case when written through Write)
    Value value;
  };

  // The stored value, or the default when the key is missing.
  Value Read(std::wstring_view key, const Value& defaultValue) const;
  // Typed reads; a stored value that cannot be read as the type throws BagError.
  bool ReadBool(std::wstring_view key, bool defaultValue) const;
  std::uint8_t ReadByte(std::wstring_view key, std::uint8_t defaultValue) const;
  std::int16_t ReadInt16(std::wstring_view key, std::int16_t defaultValue) const;
  std::int32_t ReadInt32(std::wstring_view key, std::int32_t defaultValue) const;
  std::wstring ReadText(std::wstring_view key, std::wstring_view defaultValue) const;
  FontDescription ReadFont(std::wstring_view key, const FontDescription& defaultValue) const;
  PicturePtr ReadPicture(std::wstring_view key, const PicturePtr& defaultValue) const;

  // Stores the value under the key in lower case, replacing an entry of the same key;
  // when the value equals the default, removes any entry instead.
  void Write(std::wstring_view key, const Value& value, const Value& defaultValue);
  // Stores unconditionally (the container's own keys, the stored-text reader).
  void Set(std::wstring_view key, Value value);
  bool Contains(std::wstring_view key) const;
  const Value* Find(std::wstring_view key) const;
  bool Remove(std::wstring_view key);

  const std::vector<Entry>& Entries() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  void Clear() { entries_.clear(); }
  bool operator==(const PropertyBag& other) const;

 private:
  std::vector<Entry> entries_;
};

}  // namespace quillon::container
