// FormT's stored design as the window reads it: places in twips turned into pixels, the
// tab order, the form's own keys kept apart from a control's property bag. Portable.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "form_text.h"

namespace quillon::app {

// The container's own keys of a hosted control; everything else in its block is the
// control's property bag.
inline constexpr std::wstring_view kExtenderKeys[] = {L"left", L"top", L"width", L"height", L"tabindex"};

struct DesignPlace {  // twips
  std::int32_t left = 0, top = 0, width = 0, height = 0;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A missing or malformed part of the design (the window cannot be built from it).
class DesignError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FormDesign {
 public:
  // Throws container::FormTextError for malformed text and DesignError when the top object
  // is not a form.
  FormDesign(std::string_view utf8, const container::PictureResolver& resolver);
  explicit FormDesign(container::FormObject form);

  const container::FormObject& Form() const { return form_; }
  std::wstring Caption() const;
  // The client area, in pixels at the given twips per pixel.
  int ClientWidth(double twipsPerPixel) const;
  int ClientHeight(double twipsPerPixel) const;

  // The object of that name anywhere in the design; throws DesignError when there is none.
  const container::FormObject& Control(std::wstring_view name) const;
  // The objects directly on `parent` (the form itself when null), top of the stacking order first.
  const std::vector<container::FormObject>& Children(const container::FormObject* parent = nullptr) const;
  // Every object that has a tab index, from index 0 upward (ties keep their design order).
  std::vector<const container::FormObject*> TabOrder() const;

 private:
  container::FormObject form_;
};

DesignPlace PlaceOf(const container::FormObject& object);
// Each of left, top, width and height divided by the twips per pixel of its axis and
// rounded to the nearest pixel, ties to even.
PixelRect ToPixels(const DesignPlace& place, double twipsPerPixelX, double twipsPerPixelY);
// The control's own property bag: the object's properties without the extender keys, in
// their stored order.
container::PropertyBag ControlBag(const container::FormObject& object);

}  // namespace quillon::app
