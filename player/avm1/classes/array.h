// Array objects: elements in a dense vector behind the index properties and `length`.
#pragma once

#include <vector>

#include "avm1/object.h"

namespace quillon::player::avm1 {

class ArrayObject : public Object {
 public:
  explicit ArrayObject(Machine& vm) : Object(vm) {}
  std::string_view ClassName() const override { return "Array"; }

  bool GetSpecial(std::string_view name, Value& out) override;
  bool SetSpecial(std::string_view name, const Value& value) override;
  bool Delete(std::string_view name) override;
  void SpecialKeys(std::vector<std::string>& out) override;
  void Trace(std::vector<Object*>& out) override;

  // Grows or cuts to `length`, bounded by kMaxArrayLength.
  void Resize(std::size_t length);
  void Push(Value v);

  std::vector<Value> items;
};

}  // namespace quillon::player::avm1
