// TextField.StyleSheet: named styles (plain objects of CSS properties, kept in _css) and the
// TextFormat each transforms to (kept in _styles), setStyle, getStyle, parseCSS and load.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

// The TextField.StyleSheet class, for TextField to hang on itself.
Function* NewStyleSheetClass(Machine& vm);

// CSS text as selectors with their properties (names camel-cased, values as written); nothing
// when the text is malformed.
struct CssRule {
  std::vector<std::string> selectors;
  std::vector<std::pair<std::string, std::string>> properties;
};
std::optional<std::vector<CssRule>> ParseCss(std::string_view css);

}  // namespace quillon::player::avm1
