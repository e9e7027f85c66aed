// The stored form text: a form's design (its objects, their places, fonts, colours and
// the controls' property bags) as UTF-8 text, read and written by the same code.
//
// Format, line by line (leading blanks ignored, "#" starts a comment line):
//   begin <kind> <name>        opens an object; objects nest
//   <key> = <value>            a property of the innermost open object
//   end                        closes it
// There is exactly one top-level object. Values carry their type:
//   empty                      no value (also a missing picture)
//   true | false               boolean
//   -12 | 0x80000012           32-bit integer (hex is taken as the unsigned bit pattern)
//   byte 255 | i16 -1          unsigned byte, 16-bit integer
//   "text"                     text; escapes \\ \" \n \r \t and \u{hex code point}
//   font "Tahoma" 8.25 700 [italic] [underline] [strikethrough] [charset 134]
//                              face, size in points (up to 4 decimals), weight
//   picture resource "name"    a picture of the program, found through the reader's resolver
//   picture bitmap|icon <w> <h> <bits> [alpha] <himetric w> <himetric h> <base64>
//                              inline pixels: w*h little-endian 0xAARRGGBB values, top-down
// Keys are written in lower case and matched regardless of case.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "property_bag.h"

namespace quillon::container {

struct FormObject {
  std::wstring kind;
  std::wstring name;
  PropertyBag properties;
  std::vector<FormObject> children;

  // The first child (at any depth) with the name, matched regardless of case.
  const FormObject* FindChild(std::wstring_view childName) const;
  bool operator==(const FormObject&) const = default;
};

class FormTextError : public std::runtime_error {
 public:
  FormTextError(std::size_t line, const std::string& message);
  std::size_t Line() const { return line_; }

 private:
  std::size_t line_;
};

// Finds a program picture by resource name; returns null when there is none.
using PictureResolver = std::function<PicturePtr(std::wstring_view name)>;

// Throws FormTextError (with the 1-based line) on any malformed input.
FormObject ReadFormText(std::string_view utf8, const PictureResolver& resolver = {});
std::string WriteFormText(const FormObject& object);

// UTF-8 to wide and back (UTF-16 where wchar_t is 16-bit). Decoding throws ValueError on
// malformed input.
std::wstring FromUtf8(std::string_view utf8);
std::string ToUtf8(std::wstring_view text);
// As FromUtf8, with U+FFFD for each malformed byte (messages, never data).
std::wstring FromUtf8Lossy(std::string_view utf8);

}  // namespace quillon::container
