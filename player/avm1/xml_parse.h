// The XML reader behind the script XML class: as tolerant as the reference player (names are
// whatever stands between the delimiters, comments are dropped, CDATA becomes text), with its
// status codes. No script objects here, so the reader can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::player::avm1::xml {

// What XML.status reports after a parse.
enum Status : int {
  kOk = 0,
  kCdataNotTerminated = -2,
  kDeclNotTerminated = -3,
  kDocTypeNotTerminated = -4,
  kCommentNotTerminated = -5,
  kElementMalformed = -6,
  kOutOfMemory = -7,
  kAttributeNotTerminated = -8,
  kStartWithoutEnd = -9,
  kEndWithoutStart = -10,
};

// A document holds at most this many nodes; a bigger one stops with kOutOfMemory.
inline constexpr std::size_t kMaxNodes = 1u << 20;
inline constexpr std::size_t kTopLevel = static_cast<std::size_t>(-1);

struct Node {
  std::size_t parent = kTopLevel;  // index into the node list, or kTopLevel
  bool element = false;
  std::string text;  // an element's name, a text node's value (entities decoded)
  // In document order; a repeated name keeps its first place and takes the last value.
  std::vector<std::pair<std::string, std::string>> attributes;
};

struct Document {
  int status = kOk;
  // In document order, parents before their children. After an error, what was read before it.
  std::vector<Node> nodes;
  std::optional<std::string> xmlDecl;      // the last "<?...?>" seen, as written
  std::optional<std::string> docTypeDecl;  // the last "<!DOCTYPE ...>" seen, as written
};

// `ignoreWhite` drops text nodes made of spaces, tabs and line breaks only.
Document Parse(std::string_view source, bool ignoreWhite);

// &amp; &lt; &gt; &quot; &apos; and numeric references; anything else stays as written.
std::string DecodeEntities(std::string_view s);
// The five characters the printer writes as entities.
std::string Escape(std::string_view s);
void AppendEscaped(std::string& out, std::string_view s);
bool IsWhite(std::string_view s);

// The document as XML.toString prints it: declaration, doc type, then the nodes.
std::string Print(const Document& doc);

}  // namespace quillon::player::avm1::xml
