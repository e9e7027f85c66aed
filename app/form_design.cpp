#include "form_design.h"

#include <algorithm>

#include "placement.h"

namespace quillon::app {
namespace {

using container::FormObject;

const FormObject* FindIn(const FormObject& object, std::wstring_view name) {
  if (container::KeyEquals(object.name, name)) return &object;
  return object.FindChild(name);
}

void CollectTabbed(const FormObject& object, std::vector<const FormObject*>& out) {
  for (const FormObject& child : object.children) {
    if (child.properties.Contains(L"tabindex")) out.push_back(&child);
    CollectTabbed(child, out);
  }
}

std::int32_t Twips(const FormObject& object, std::wstring_view key) {
  try {
    return object.properties.ReadInt32(key, 0);
  } catch (const container::BagError& e) {
    throw DesignError(container::ToUtf8(object.name) + "." + container::ToUtf8(key) + ": " + e.what());
  }
}

}  // namespace

FormDesign::FormDesign(std::string_view utf8, const container::PictureResolver& resolver)
    : FormDesign(container::ReadFormText(utf8, resolver)) {}

FormDesign::FormDesign(container::FormObject form) : form_(std::move(form)) {
  if (!container::KeyEquals(form_.kind, L"Form")) throw DesignError("the stored design does not hold a form");
}

std::wstring FormDesign::Caption() const { return form_.properties.ReadText(L"caption", form_.name); }

int FormDesign::ClientWidth(double twipsPerPixel) const {
  return RoundHalfEven(Twips(form_, L"clientwidth") / twipsPerPixel);
}

int FormDesign::ClientHeight(double twipsPerPixel) const {
  return RoundHalfEven(Twips(form_, L"clientheight") / twipsPerPixel);
}

const FormObject& FormDesign::Control(std::wstring_view name) const {
  if (const FormObject* found = FindIn(form_, name)) return *found;
  throw DesignError("the stored design has no control " + container::ToUtf8(name));
}

const std::vector<FormObject>& FormDesign::Children(const FormObject* parent) const {
  return (parent ? *parent : form_).children;
}

std::vector<const FormObject*> FormDesign::TabOrder() const {
  std::vector<const FormObject*> tabbed;
  CollectTabbed(form_, tabbed);
  std::stable_sort(tabbed.begin(), tabbed.end(), [](const FormObject* a, const FormObject* b) {
    return Twips(*a, L"tabindex") < Twips(*b, L"tabindex");
  });
  return tabbed;
}

DesignPlace PlaceOf(const FormObject& object) {
  return {Twips(object, L"left"), Twips(object, L"top"), Twips(object, L"width"), Twips(object, L"height")};
}

PixelRect ToPixels(const DesignPlace& place, double twipsPerPixelX, double twipsPerPixelY) {
  return {RoundHalfEven(place.left / twipsPerPixelX), RoundHalfEven(place.top / twipsPerPixelY),
          RoundHalfEven(place.width / twipsPerPixelX), RoundHalfEven(place.height / twipsPerPixelY)};
}

container::PropertyBag ControlBag(const FormObject& object) {
  container::PropertyBag bag;
  for (const auto& entry : object.properties.Entries()) {
    const bool extender = std::any_of(std::begin(kExtenderKeys), std::end(kExtenderKeys),
                                      [&](std::wstring_view key) { return container::KeyEquals(entry.key, key); });
    if (!extender) bag.Set(entry.key, entry.value);
  }
  return bag;
}

}  // namespace quillon::app
