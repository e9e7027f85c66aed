// The XML and XMLNode classes: a tree of nodes behind the script objects, the parser's result
// turned into it, and the printing of toString. Loading lives with the other loaders; they hand
// what they read to the object's onData, which parses it here.
#pragma once

#include <string>
#include <string_view>

#include "avm1/machine.h"

namespace quillon::player::avm1 {

void InstallXml(Machine& vm, Object* global);

// Any object XMLNode or XML made a node of (subclass instances included).
bool IsXmlNode(Object* o);
// A node that XML made a document of.
bool IsXmlDocument(Object* o);
// What toString gives for the node; empty for anything else.
std::string XmlToString(Machine& vm, Object* node);
// Replaces the document's children with the parsed text, as parseXML does (ignoreWhite read
// from the object). False when `doc` is not a node.
bool ParseXmlInto(Machine& vm, Object* doc, std::string_view text);
// A document as `new XML(text)` makes it; undefined where XML is missing.
Value NewXmlDocument(Machine& vm, std::string_view text);

}  // namespace quillon::player::avm1
