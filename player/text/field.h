// A text field's content and settings: the text with its formatted spans, and the field's
// options, as the timeline (DefineEditText) and scripts (TextField, TextFormat) set them.
// Layout and drawing read it; scripts change it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon::player::text {

enum class Align : std::uint8_t { Left, Right, Center, Justify };
enum class AutoSize : std::uint8_t { None, Left, Center, Right };

// A format as TextFormat holds it: each member unset where a range mixes values or a script
// left it out. Lengths are pixels, colours 0xRRGGBB.
struct TextFormat {
  std::optional<std::string> font;
  std::optional<double> size;
  std::optional<std::uint32_t> color;
  std::optional<bool> bold, italic, underline;
  std::optional<std::string> url, target;
  std::optional<Align> align;
  std::optional<double> leftMargin, rightMargin, indent, leading, blockIndent, letterSpacing;
  std::optional<bool> bullet, kerning;
  std::optional<std::vector<double>> tabStops;
  // Members set here replace those of `this`.
  void MergeFrom(const TextFormat& other);
  bool operator==(const TextFormat&) const = default;
};

// A run of text in one complete format (every member set).
struct Span {
  std::size_t start = 0, end = 0;  // UTF-16 units, [start, end)
  TextFormat format;
};

struct Field {
  // The text in UTF-16 units; paragraphs end at '\r' (a '\n' set by a script becomes '\r').
  std::u16string text;
  // Spans cover [0, text.size()) in order without gaps; one empty span when the text is empty.
  std::vector<Span> spans;
  TextFormat newFormat;  // complete: what text typed or set next gets

  // The box, in twips, in the field's own coordinates (DefineEditText's bounds, or
  // createTextField's x, y, width and height).
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  // How far auto-size has moved the box's left edge (twips) since the field was made: _x
  // reports the field's position plus this, as the reference does.
  double autoShift = 0;
  // The movie's SWF version: from 8 on, right and centred lines leave trailing spaces out.
  int swfVersion = 8;

  std::uint16_t fontId = 0;  // an embedded font of the movie, 0 for a device font by name
  bool embedFonts = false;   // glyphs come from the movie's fonts (DefineEditText's outlines flag)
  bool wordWrap = false, multiline = false, password = false, readOnly = true, selectable = true;
  bool border = false, background = false, html = false, condenseWhite = false;
  bool wasStatic = false;  // DefineEditText's flag: made from static text by the authoring tool
  std::uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
  std::uint32_t textColorAlpha = 0xFF;  // the alpha byte of DefineEditText's colour
  int maxChars = 0;  // 0 for no limit
  AutoSize autoSize = AutoSize::None;
  std::string variable;     // the bound variable's path, empty for none
  std::string restrict;     // the characters typing may enter, empty for any
  std::optional<std::string> restrictSet;  // unset: restrict is null
  std::string antiAliasType = "normal", gridFitType = "pixel";
  double sharpness = 0, thickness = 0;
  int scroll = 1;   // the first line shown, 1-based
  double hscroll = 0;  // pixels scrolled to the left
  bool mouseWheelEnabled = true;
  // Input: the caret and the selection, in UTF-16 units; equal for a caret only.
  std::size_t selectionBegin = 0, selectionEnd = 0;
  bool focused = false;
  // The bound variable's value as the field last saw it, so either side's change shows.
  std::string boundText;
  bool boundKnown = false;
  // Bumped by every change that can move glyphs, so layout can be cached against it.
  std::uint64_t revision = 0;
};

}  // namespace quillon::player::text
