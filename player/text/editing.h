// Changes to a field's content as scripts and typing make them: whole text, ranges, formats of
// ranges, and the filters typing goes through. Positions are UTF-16 units of Field::text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/field.h"

namespace quillon::player::text {

// What a field starts with before any script or tag sets it: the format of createTextField.
TextFormat DefaultFormat();

// Line ends as a field keeps them: "\r\n" and "\n" become "\r".
std::u16string FieldNewlines(std::u16string_view s);

// Merges neighbours of one format and drops empty spans; the result covers [0, length), with
// one empty span when length is 0 (in `fallback` when there is nothing to keep).
void NormaliseSpans(std::vector<Span>& spans, std::size_t length, const TextFormat& fallback);

// The whole text, in one format.
void SetText(Field& field, std::u16string_view text, const TextFormat& format);
// Content from elsewhere (HTML): text and spans as they are.
void SetContent(Field& field, std::u16string text, std::vector<Span> spans);
// Replaces [begin, end) (clamped) with `text` in `format`; the selection follows the edit.
void ReplaceRange(Field& field, std::size_t begin, std::size_t end, std::u16string_view text, const TextFormat& format);
// The format of the character at `index` (the last one at the end), or the new text format.
TextFormat FormatAt(const Field& field, std::size_t index);

// Sets the members `format` has on [begin, end); paragraph members (align, margins, indents,
// leading, bullet, tab stops) apply to each whole paragraph the range touches.
void ApplyFormat(Field& field, std::size_t begin, std::size_t end, const TextFormat& format);
// The format of [begin, end): members that differ across it are unset. An empty range gives
// the format of the character at begin.
TextFormat RangeFormat(const Field& field, std::size_t begin, std::size_t end);

// Where the paragraph holding `index` starts and ends (its '\r' excluded).
std::size_t ParagraphStart(const std::u16string& text, std::size_t index);
std::size_t ParagraphEnd(const std::u16string& text, std::size_t index);

// Whether typing may enter `ch` under a restrict pattern ("a-z", "^0-9", "\\-"...); a
// missing pattern allows everything, an empty one nothing.
bool RestrictAllows(const std::optional<std::u16string>& pattern, char16_t ch);
// Typed text through restrict (letters may change case to fit it) and maxChars (0: no limit),
// for insertion over `replacing` units of a field holding `length`.
std::u16string FilterTyped(std::u16string_view typed, const std::optional<std::u16string>& pattern, int maxChars,
                           std::size_t length, std::size_t replacing);

}  // namespace quillon::player::text
