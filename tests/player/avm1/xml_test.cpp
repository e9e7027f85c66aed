// XML: the reader on its own (structure, status codes, entities, printing), then the script
// classes over it (the node API, namespaces, idMap, onData, subclasses, the collector).
#include "avm1/classes/xml.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "avm1/classes/array.h"
#include "avm1/fake_host.h"
#include "avm1/xml_parse.h"

namespace quillon::player::avm1::testing {
namespace {

// ---- the reader ----

TEST(XmlParseTest, NodesComeInDocumentOrderWithTheirParents) {
  const xml::Document d = xml::Parse("<a x='1' y=\"two\"><b/>text<c>in</c></a>tail", false);
  ASSERT_EQ(d.status, xml::kOk);
  ASSERT_EQ(d.nodes.size(), 6u);
  EXPECT_TRUE(d.nodes[0].element);
  EXPECT_EQ(d.nodes[0].text, "a");
  EXPECT_EQ(d.nodes[0].parent, xml::kTopLevel);
  ASSERT_EQ(d.nodes[0].attributes.size(), 2u);
  EXPECT_EQ(d.nodes[0].attributes[0], (std::pair<std::string, std::string>{"x", "1"}));
  EXPECT_EQ(d.nodes[0].attributes[1], (std::pair<std::string, std::string>{"y", "two"}));
  EXPECT_EQ(d.nodes[1].text, "b");
  EXPECT_EQ(d.nodes[1].parent, 0u);
  EXPECT_FALSE(d.nodes[2].element);
  EXPECT_EQ(d.nodes[2].text, "text");
  EXPECT_EQ(d.nodes[3].text, "c");
  EXPECT_EQ(d.nodes[4].text, "in");
  EXPECT_EQ(d.nodes[4].parent, 3u);
  EXPECT_EQ(d.nodes[5].text, "tail");
  EXPECT_EQ(d.nodes[5].parent, xml::kTopLevel);
  EXPECT_FALSE(d.xmlDecl);
  EXPECT_FALSE(d.docTypeDecl);
}

TEST(XmlParseTest, TagsAreReadLeniently) {
  // White space around '=' and before the end, any characters in names, both quotes.
  const xml::Document d = xml::Parse("<ns:a-b.c  k = \"v\"\n\tk2='\"' ></ns:a-b.c >", false);
  ASSERT_EQ(d.status, xml::kOk);
  ASSERT_EQ(d.nodes.size(), 1u);
  EXPECT_EQ(d.nodes[0].text, "ns:a-b.c");
  ASSERT_EQ(d.nodes[0].attributes.size(), 2u);
  EXPECT_EQ(d.nodes[0].attributes[0].second, "v");
  EXPECT_EQ(d.nodes[0].attributes[1].second, "\"");
  // A repeated attribute keeps its first place and takes the last value.
  const xml::Document r = xml::Parse("<a p='1' q='2' p='3'/>", false);
  ASSERT_EQ(r.nodes.at(0).attributes.size(), 2u);
  EXPECT_EQ(r.nodes[0].attributes[0], (std::pair<std::string, std::string>{"p", "3"}));
  EXPECT_EQ(r.nodes[0].attributes[1].first, "q");
}

TEST(XmlParseTest, CommentsDeclarationsAndCdata) {
  const xml::Document d = xml::Parse(
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"x\">]><!-- gone --><r><![CDATA[<b>&amp;]]>after</r>", false);
  ASSERT_EQ(d.status, xml::kOk);
  EXPECT_EQ(d.xmlDecl.value_or("?"), "<?xml version=\"1.0\"?>");
  // The internal subset's own '>' does not end the declaration.
  EXPECT_EQ(d.docTypeDecl.value_or("?"), "<!DOCTYPE r [<!ENTITY e \"x\">]>");
  ASSERT_EQ(d.nodes.size(), 3u);
  EXPECT_EQ(d.nodes[1].text, "<b>&amp;");  // CDATA is text as written
  EXPECT_FALSE(d.nodes[1].element);
  EXPECT_EQ(d.nodes[2].text, "after");
  // The last declaration is the one kept.
  EXPECT_EQ(xml::Parse("<?a?><?b?>", false).xmlDecl.value_or("?"), "<?b?>");
}

TEST(XmlParseTest, EveryMalformationHasItsStatus) {
  struct Case {
    const char* text;
    int status;
  };
  const Case cases[] = {
      {"<a><![CDATA[open", xml::kCdataNotTerminated},
      {"<?xml version='1.0'", xml::kDeclNotTerminated},
      {"<!DOCTYPE a", xml::kDocTypeNotTerminated},
      {"<!DOCTYPE a [ <!ENTITY x 'y'> ", xml::kDocTypeNotTerminated},
      {"<a><!-- never closed -- >", xml::kCommentNotTerminated},
      {"<a", xml::kElementMalformed},
      {"<a b>", xml::kElementMalformed},
      {"<a b=c>", xml::kElementMalformed},
      {"<a ='c'>", xml::kElementMalformed},
      {"<>", xml::kElementMalformed},
      {"< a>", xml::kElementMalformed},
      {"<a></a", xml::kElementMalformed},
      {"<a b='c>", xml::kAttributeNotTerminated},
      {"<a b=\"c'/>", xml::kAttributeNotTerminated},
      {"<a><b></b>", xml::kStartWithoutEnd},
      {"<a>", xml::kStartWithoutEnd},
      {"</a>", xml::kEndWithoutStart},
      {"<a></b>", xml::kEndWithoutStart},
      {"<a><b></a>", xml::kEndWithoutStart},
      {"<a></A>", xml::kEndWithoutStart},
      {"", xml::kOk},
      {"just text", xml::kOk},
      {"a > b", xml::kOk},
  };
  for (const Case& c : cases) EXPECT_EQ(xml::Parse(c.text, false).status, c.status) << c.text;
}

TEST(XmlParseTest, WhatCameBeforeAnErrorStays) {
  const xml::Document d = xml::Parse("<a>one<b>two</c>three", false);
  EXPECT_EQ(d.status, xml::kEndWithoutStart);
  ASSERT_EQ(d.nodes.size(), 4u);
  EXPECT_EQ(d.nodes[3].text, "two");
  EXPECT_EQ(d.nodes[3].parent, 2u);
  // An element cut short is still there.
  const xml::Document cut = xml::Parse("<a><b x='1'", false);
  EXPECT_EQ(cut.status, xml::kElementMalformed);
  ASSERT_EQ(cut.nodes.size(), 2u);
  EXPECT_EQ(cut.nodes[1].attributes.size(), 1u);
}

TEST(XmlParseTest, TooManyNodesIsOutOfMemory) {
  std::string many;
  for (std::size_t i = 0; i <= xml::kMaxNodes; ++i) many += "<a/>";
  const xml::Document d = xml::Parse(many, false);
  EXPECT_EQ(d.status, xml::kOutOfMemory);
  EXPECT_EQ(d.nodes.size(), xml::kMaxNodes);
}

TEST(XmlParseTest, IgnoreWhiteDropsOnlyBlankText) {
  const char* text = "<r>\n  <a> x </a>\t<b>\r\n</b> <![CDATA[  ]]></r>\n";
  const xml::Document kept = xml::Parse(text, false);
  const xml::Document dropped = xml::Parse(text, true);
  ASSERT_EQ(dropped.status, xml::kOk);
  // r, a, " x ", b: text with anything else in it keeps its spaces.
  ASSERT_EQ(dropped.nodes.size(), 4u);
  EXPECT_EQ(dropped.nodes[2].text, " x ");
  EXPECT_EQ(dropped.nodes[3].text, "b");
  // Without it: r, "\n  ", a, " x ", "\t", b, "\r\n", " ", "  ", "\n".
  EXPECT_EQ(kept.nodes.size(), 10u);
  EXPECT_FALSE(xml::IsWhite("\n x"));
  EXPECT_TRUE(xml::IsWhite(""));
}

TEST(XmlParseTest, EntitiesDecodeInTextAndAttributes) {
  EXPECT_EQ(xml::DecodeEntities("&lt;&gt;&amp;&quot;&apos;"), "<>&\"'");
  EXPECT_EQ(xml::DecodeEntities("&#65;&#x42;&#X43;"), "ABC");
  EXPECT_EQ(xml::DecodeEntities("&#233;&#x20AC;&#x1F600;"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // What names no character stays as written.
  EXPECT_EQ(xml::DecodeEntities("&nbsp; & &; &#; &#0; &#xD800; &#x110000; &#12a; &amp"),
            "&nbsp; & &; &#; &#0; &#xD800; &#x110000; &#12a; &amp");
  EXPECT_EQ(xml::DecodeEntities("a&amp;amp;b"), "a&amp;b");
  const xml::Document d = xml::Parse("<a t='&lt;&#x41;'>&quot;x&quot;</a>", false);
  EXPECT_EQ(d.nodes.at(0).attributes.at(0).second, "<A");
  EXPECT_EQ(d.nodes.at(1).text, "\"x\"");
}

TEST(XmlParseTest, PrintingRoundTrips) {
  EXPECT_EQ(xml::Escape("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;");
  // Canonical text prints as it was read.
  const char* canonical[] = {
      "<a />",
      "<?xml version=\"1.0\"?><!DOCTYPE a><a x=\"1\" y=\"&lt;&amp;&quot;&apos;&gt;\"><b /><c>t&amp;</c></a>",
      "one<a>two</a>three",
      "<p:q xmlns:p=\"urn:x\"><p:r>\xD0\xBF</p:r></p:q>",
  };
  for (const char* text : canonical) EXPECT_EQ(xml::Print(xml::Parse(text, false)), text);
  // Other forms normalise: quotes, empty elements, entities, CDATA, comments.
  EXPECT_EQ(xml::Print(xml::Parse("<a k='v'></a><!--c--><![CDATA[<]]>&#65;", false)), "<a k=\"v\" />&lt;A");
}

TEST(XmlParseTest, DeepNestingNeedsNoRecursion) {
  constexpr int kDepth = 200000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<d>";
  text += "x";
  for (int i = 0; i < kDepth; ++i) text += "</d>";
  const xml::Document d = xml::Parse(text, false);
  ASSERT_EQ(d.status, xml::kOk);
  EXPECT_EQ(d.nodes.size(), static_cast<std::size_t>(kDepth) + 1);
  EXPECT_EQ(xml::Print(d), text);
}

// ---- the script classes ----

Value S(const char* s) { return Value::Str(s); }
Value N(double n) { return Value::Num(n); }

struct XmlRig : Rig {
  explicit XmlRig(int version = 8) : Rig(version) {}
  Value Class(const char* name) { return vm.global()->Get(name); }
  Value NewXml(const char* text) {
    const Value args[] = {S(text)};
    return vm.Construct(Class("XML"), args);
  }
  Value NewNode(int type, const char* text) {
    const Value args[] = {N(type), S(text)};
    return vm.Construct(Class("XMLNode"), args);
  }
  Value Call(const Value& self, const char* method, std::vector<Value> args = {}) {
    return vm.CallMethod(vm.ToObject(self), method, args);
  }
  Value Get(const Value& self, const char* name) { return vm.ToObject(self)->Get(name); }
  std::string Text(const Value& v) { return vm.ToString(v); }
  // A path of child indices from `self`.
  Value Child(Value self, std::initializer_list<int> path) {
    for (int i : path) self = Get(Get(self, "childNodes"), std::to_string(i).c_str());
    return self;
  }
  bool Same(const Value& a, const Value& b) { return vm.StrictEquals(a, b); }
};

TEST(XmlTest, DocumentsParseAndPrint) {
  XmlRig rig;
  const Value doc = rig.NewXml("<?xml version=\"1.0\"?>\n<list n='2'><item>I'm &lt;here&gt;</item><empty></empty></list>");
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(doc, "status")), 0);
  EXPECT_EQ(rig.Text(rig.Get(doc, "xmlDecl")), "<?xml version=\"1.0\"?>");
  EXPECT_TRUE(rig.Get(doc, "docTypeDecl").IsUndefined());
  EXPECT_EQ(rig.Text(doc),
            "<?xml version=\"1.0\"?>\n<list n=\"2\"><item>I&apos;m &lt;here&gt;</item><empty /></list>");
  // The document itself is an unnamed element; its first child is the line break.
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(doc, "nodeType")), 1);
  EXPECT_TRUE(rig.Get(doc, "nodeName").IsNull());
  EXPECT_TRUE(rig.Get(doc, "parentNode").IsNull());
  const Value br = rig.Get(doc, "firstChild");
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(br, "nodeType")), 3);
  EXPECT_EQ(rig.Text(rig.Get(br, "nodeValue")), "\n");
  EXPECT_TRUE(rig.Get(br, "nodeName").IsNull());
  const Value text = rig.Child(doc, {1, 0, 0});
  EXPECT_EQ(rig.Text(rig.Get(text, "nodeValue")), "I'm <here>");
  EXPECT_EQ(rig.Text(rig.Get(rig.Get(rig.Child(doc, {1}), "attributes"), "n")), "2");
  EXPECT_TRUE(rig.Get(rig.Child(doc, {1}), "nodeValue").IsNull());

  // ignoreWhite comes from the object or its prototype, read when parsing.
  rig.vm.ToObject(rig.Get(rig.Class("XML"), "prototype"))->Set("ignoreWhite", Value::Bool(true));
  const Value trimmed = rig.NewXml("<a>\n <b/>\n</a>");
  EXPECT_EQ(rig.Text(trimmed), "<a><b /></a>");
  rig.vm.ToObject(trimmed)->Set("ignoreWhite", Value::Bool(false));
  rig.Call(trimmed, "parseXML", {S("<a>\n</a>")});
  EXPECT_EQ(rig.Text(trimmed), "<a>\n</a>");
}

TEST(XmlTest, StatusAndDeclarationsFollowEachParse) {
  XmlRig rig;
  const Value doc = rig.NewXml("<!DOCTYPE x><?xml v?><a><b></a>");
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(doc, "status")), xml::kEndWithoutStart);
  EXPECT_EQ(rig.Text(rig.Get(doc, "docTypeDecl")), "<!DOCTYPE x>");
  // What was read before the error stays in the tree.
  EXPECT_EQ(rig.Text(rig.Get(rig.Get(doc, "firstChild"), "nodeName")), "a");
  rig.Call(doc, "parseXML", {S("<c/>")});
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(doc, "status")), 0);
  EXPECT_TRUE(rig.Get(doc, "docTypeDecl").IsUndefined());
  EXPECT_TRUE(rig.Get(doc, "xmlDecl").IsUndefined());
  EXPECT_EQ(rig.Text(doc), "<c />");
  // A fresh document without text has no children and status 0.
  const Value empty = rig.vm.Construct(rig.Class("XML"), {});
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(empty, "status")), 0);
  EXPECT_EQ(rig.Text(empty), "");
  EXPECT_FALSE(rig.vm.ToBool(rig.Call(empty, "hasChildNodes")));
  EXPECT_EQ(rig.Text(rig.Get(empty, "contentType")), "application/x-www-form-urlencoded");
}

TEST(XmlTest, PropertiesAreGettersOnThePrototypes) {
  XmlRig rig;
  const Value node = rig.NewNode(1, "n");
  Object* nodeProto = rig.vm.ToObject(rig.Get(rig.Class("XMLNode"), "prototype"));
  Object* xmlProto = rig.vm.ToObject(rig.Get(rig.Class("XML"), "prototype"));
  EXPECT_EQ(xmlProto->Proto(), nodeProto);
  for (const char* name : {"nodeName", "nodeType", "nodeValue", "firstChild", "childNodes", "attributes",
                           "namespaceURI", "prefix", "localName", "parentNode"}) {
    EXPECT_FALSE(node.object->HasOwn(name)) << name;
    ASSERT_NE(nodeProto->FindOwn(name), nullptr) << name;
    EXPECT_TRUE(nodeProto->FindOwn(name)->IsVirtual()) << name;
  }
  for (const char* name : {"status", "xmlDecl", "docTypeDecl", "idMap"})
    EXPECT_TRUE(xmlProto->FindOwn(name) && xmlProto->FindOwn(name)->IsVirtual()) << name;
  // Nothing of a node shows in for..in.
  EXPECT_TRUE(node.object->EnumerableKeys().empty());
  // Read-only ones ignore assignment and make no own property.
  node.object->Set("nodeType", N(3));
  node.object->Set("firstChild", S("x"));
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(node, "nodeType")), 1);
  EXPECT_TRUE(rig.Get(node, "firstChild").IsNull());
  EXPECT_FALSE(node.object->HasOwn("nodeType"));
  // The getters answer undefined for objects that are no nodes.
  EXPECT_TRUE(nodeProto->Get("nodeName").IsUndefined());
}

TEST(XmlTest, NamesAndValuesChange) {
  XmlRig rig;
  const Value doc = rig.NewXml("<a>t</a>");
  rig.vm.ToObject(doc)->Set("nodeName", S("root"));
  EXPECT_EQ(rig.Text(doc), "<root><a>t</a></root>");
  // undefined and null leave the name.
  rig.vm.ToObject(doc)->Set("nodeName", Value::Undefined());
  rig.vm.ToObject(doc)->Set("nodeName", Value::Null());
  EXPECT_EQ(rig.Text(rig.Get(doc, "nodeName")), "root");
  const Value t = rig.Child(doc, {0, 0});
  rig.vm.ToObject(t)->Set("nodeValue", N(5));
  EXPECT_EQ(rig.Text(rig.Child(doc, {0})), "<a>5</a>");
  // Attributes are a plain object, printed in the order they were made.
  Object* attrs = rig.vm.ToObject(rig.Get(rig.Child(doc, {0}), "attributes"));
  attrs->Set("z", S("\"q\""));
  attrs->Set("a", N(1));
  EXPECT_EQ(rig.Text(rig.Child(doc, {0})), "<a z=\"&quot;q&quot;\" a=\"1\">5</a>");
  // A node made by hand: type 1 is an element, the rest text.
  EXPECT_EQ(rig.Text(rig.NewNode(1, "e")), "<e />");
  EXPECT_EQ(rig.Text(rig.NewNode(3, "a&b")), "a&amp;b");
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(rig.NewNode(3, "x"), "nodeType")), 3);
  const Value made = rig.Call(doc, "createElement", {S("m")});
  EXPECT_EQ(rig.Text(rig.Get(made, "nodeName")), "m");
  EXPECT_TRUE(rig.Get(made, "parentNode").IsNull());
  EXPECT_EQ(rig.Text(rig.Call(doc, "createTextNode", {S("<")})), "&lt;");
}

TEST(XmlTest, AppendChildMovesAndRefusesCycles) {
  XmlRig rig;
  const Value doc = rig.NewXml("<a><b/><c/></a><d/>");
  const Value a = rig.Child(doc, {0}), b = rig.Child(doc, {0, 0}), c = rig.Child(doc, {0, 1}), d = rig.Child(doc, {1});
  const Value kids = rig.Get(a, "childNodes");
  // A node of another parent leaves it.
  rig.Call(d, "appendChild", {b});
  EXPECT_EQ(rig.Text(doc), "<a><c /></a><d><b /></d>");
  EXPECT_TRUE(rig.Same(rig.Get(b, "parentNode"), d));
  EXPECT_TRUE(rig.Get(c, "previousSibling").IsNull());
  // The childNodes array seen before follows the change.
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(kids, "length")), 1);
  EXPECT_TRUE(rig.Same(rig.Get(kids, "0"), c));
  // A child of the same parent stays where it is.
  rig.Call(doc, "appendChild", {a});
  EXPECT_EQ(rig.Text(doc), "<a><c /></a><d><b /></d>");
  // Neither the node itself nor an ancestor may go below it.
  rig.Call(b, "appendChild", {b});
  rig.Call(b, "appendChild", {d});
  rig.Call(b, "appendChild", {doc});
  EXPECT_EQ(rig.Text(doc), "<a><c /></a><d><b /></d>");
  EXPECT_FALSE(rig.vm.ToBool(rig.Call(b, "hasChildNodes")));
  // Anything that is no node is ignored.
  rig.Call(a, "appendChild", {S("<x/>")});
  rig.Call(a, "appendChild", {Value::Obj(rig.vm.NewObject())});
  EXPECT_EQ(rig.Text(a), "<a><c /></a>");
  // Siblings after the move.
  rig.Call(a, "appendChild", {b});
  EXPECT_TRUE(rig.Same(rig.Get(c, "nextSibling"), b));
  EXPECT_TRUE(rig.Same(rig.Get(b, "previousSibling"), c));
  EXPECT_TRUE(rig.Get(b, "nextSibling").IsNull());
  EXPECT_TRUE(rig.Same(rig.Get(a, "lastChild"), b));
  EXPECT_TRUE(rig.Same(rig.Get(a, "firstChild"), c));
}

TEST(XmlTest, InsertBeforeAndRemoveNode) {
  XmlRig rig;
  const Value doc = rig.NewXml("<r><a/><b/><c/></r>");
  const Value r = rig.Child(doc, {0}), a = rig.Child(r, {0}), b = rig.Child(r, {1}), c = rig.Child(r, {2});
  rig.Call(r, "insertBefore", {c, a});
  EXPECT_EQ(rig.Text(r), "<r><c /><a /><b /></r>");
  rig.Call(r, "insertBefore", {c, b});  // within the parent, to just before b
  EXPECT_EQ(rig.Text(r), "<r><a /><c /><b /></r>");
  const Value n = rig.NewNode(1, "n");
  rig.Call(r, "insertBefore", {n, b});
  EXPECT_EQ(rig.Text(r), "<r><a /><c /><n /><b /></r>");
  // The reference must be a child of this node, and differ from the new one.
  rig.Call(r, "insertBefore", {rig.NewNode(1, "x"), doc});
  rig.Call(r, "insertBefore", {b, b});
  rig.Call(a, "insertBefore", {r, a});
  rig.Call(r, "insertBefore", {rig.NewNode(1, "y")});
  EXPECT_EQ(rig.Text(r), "<r><a /><c /><n /><b /></r>");
  rig.Call(c, "removeNode");
  EXPECT_EQ(rig.Text(r), "<r><a /><n /><b /></r>");
  EXPECT_TRUE(rig.Get(c, "parentNode").IsNull());
  EXPECT_TRUE(rig.Get(c, "nextSibling").IsNull());
  EXPECT_TRUE(rig.Same(rig.Get(n, "previousSibling"), a));
  rig.Call(c, "removeNode");  // once more: nothing to leave
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(rig.Get(r, "childNodes"), "length")), 3);
}

TEST(XmlTest, CloneNodeCopiesShallowOrDeep) {
  XmlRig rig;
  const Value doc = rig.NewXml("<a k='v'><b>t</b></a>");
  const Value a = rig.Child(doc, {0});
  const Value shallow = rig.Call(a, "cloneNode", {Value::Bool(false)});
  const Value deep = rig.Call(a, "cloneNode", {Value::Bool(true)});
  EXPECT_EQ(rig.Text(shallow), "<a k=\"v\" />");
  EXPECT_EQ(rig.Text(deep), "<a k=\"v\"><b>t</b></a>");
  EXPECT_TRUE(rig.Get(deep, "parentNode").IsNull());
  EXPECT_FALSE(rig.Same(rig.Child(deep, {0}), rig.Child(a, {0})));
  EXPECT_TRUE(rig.Same(rig.Get(rig.Child(deep, {0}), "parentNode"), deep));
  // The copies own their attributes and children.
  rig.vm.ToObject(rig.Get(deep, "attributes"))->Set("k", S("changed"));
  rig.Call(rig.Child(deep, {0}), "removeNode");
  EXPECT_EQ(rig.Text(a), "<a k=\"v\"><b>t</b></a>");
  // A copy is a node of XMLNode.prototype, even of a document.
  const Value copy = rig.Call(doc, "cloneNode", {Value::Bool(true)});
  EXPECT_EQ(rig.vm.ToObject(copy)->Proto(), rig.vm.ToObject(rig.Get(rig.Class("XMLNode"), "prototype")));
  EXPECT_EQ(rig.Text(copy), "<a k=\"v\"><b>t</b></a>");
}

TEST(XmlTest, NamespacesResolveThroughAncestors) {
  XmlRig rig;
  const Value doc = rig.NewXml(
      "<p:root xmlns:p='urn:p' xmlns='urn:default'><child><p:leaf xmlns:q='urn:q'/></child></p:root><plain/>");
  const Value root = rig.Child(doc, {0}), child = rig.Child(root, {0}), leaf = rig.Child(child, {0});
  EXPECT_EQ(rig.Text(rig.Get(root, "prefix")), "p");
  EXPECT_EQ(rig.Text(rig.Get(root, "localName")), "root");
  EXPECT_EQ(rig.Text(rig.Get(root, "namespaceURI")), "urn:p");
  EXPECT_EQ(rig.Text(rig.Get(child, "prefix")), "");
  EXPECT_EQ(rig.Text(rig.Get(child, "localName")), "child");
  EXPECT_EQ(rig.Text(rig.Get(child, "namespaceURI")), "urn:default");
  EXPECT_EQ(rig.Text(rig.Get(leaf, "namespaceURI")), "urn:p");
  EXPECT_EQ(rig.Text(rig.Call(leaf, "getNamespaceForPrefix", {S("q")})), "urn:q");
  EXPECT_EQ(rig.Text(rig.Call(leaf, "getNamespaceForPrefix", {S("p")})), "urn:p");
  EXPECT_EQ(rig.Text(rig.Call(leaf, "getPrefixForNamespace", {S("urn:default")})), "");
  EXPECT_EQ(rig.Text(rig.Call(leaf, "getPrefixForNamespace", {S("urn:q")})), "q");
  EXPECT_TRUE(rig.Call(root, "getNamespaceForPrefix", {S("q")}).IsNull());
  EXPECT_TRUE(rig.Call(root, "getPrefixForNamespace", {S("urn:none")}).IsNull());
  // Without a declaration the address is empty; text and the document have no names at all.
  const Value plain = rig.Child(doc, {1});
  EXPECT_EQ(rig.Get(plain, "namespaceURI").type, Value::Type::String);
  EXPECT_EQ(rig.Text(rig.Get(plain, "namespaceURI")), "");
  for (const char* name : {"prefix", "localName", "namespaceURI"}) {
    EXPECT_TRUE(rig.Get(doc, name).IsNull()) << name;
    EXPECT_TRUE(rig.Get(rig.NewNode(3, "t"), name).IsNull()) << name;
  }
  // Any attribute starting "xmlns" declares: without a colon, the default namespace.
  const Value odd = rig.Child(rig.NewXml("<e xmlnsX='urn:x'/>"), {0});
  EXPECT_EQ(rig.Text(rig.Get(odd, "namespaceURI")), "urn:x");
  EXPECT_EQ(rig.Text(rig.Call(odd, "getPrefixForNamespace", {S("urn:x")})), "");
}

TEST(XmlTest, IdMapCollectsWhatParsingFinds) {
  XmlRig rig;
  const Value doc = rig.NewXml("<a id='one'><b id='two'/></a>");
  const Value map = rig.Get(doc, "idMap");
  EXPECT_TRUE(rig.Same(rig.Get(map, "one"), rig.Child(doc, {0})));
  EXPECT_TRUE(rig.Same(rig.Get(map, "two"), rig.Child(doc, {0, 0})));
  // Nodes added by hand are not entered; a later parse adds to the same object.
  const Value extra = rig.NewNode(1, "c");
  rig.vm.ToObject(rig.Get(extra, "attributes"))->Set("id", S("three"));
  rig.Call(doc, "appendChild", {extra});
  EXPECT_TRUE(rig.Get(map, "three").IsUndefined());
  rig.Call(doc, "parseXML", {S("<d id='four'/>")});
  EXPECT_TRUE(rig.Same(rig.Get(doc, "idMap"), map));
  EXPECT_FALSE(rig.Get(map, "one").IsUndefined());
  EXPECT_TRUE(rig.Same(rig.Get(map, "four"), rig.Child(doc, {0})));
}

TEST(XmlTest, OnDataParsesAndTellsOnLoad) {
  XmlRig rig;
  const Value doc = rig.vm.Construct(rig.Class("XML"), {});
  std::vector<std::string> heard;
  rig.vm.ToObject(doc)->Set("onLoad", Value::Obj(rig.vm.NewNative([&](Call& c) -> Value {
    heard.push_back(c.vm.ToString(c.Arg(0)) + " " + c.vm.ToString(c.thisValue));
    return {};
  })));
  rig.Call(doc, "onData", {});
  EXPECT_TRUE(rig.Get(doc, "loaded").IsUndefined());
  rig.Call(doc, "onData", {S("<got/>")});
  EXPECT_TRUE(rig.vm.ToBool(rig.Get(doc, "loaded")));
  EXPECT_EQ(heard, (std::vector<std::string>{"false ", "true <got />"}));
  // The default onLoad does nothing.
  const Value other = rig.vm.Construct(rig.Class("XML"), {});
  rig.Call(other, "onData", {S("<x/>")});
  EXPECT_EQ(rig.Text(other), "<x />");
}

TEST(XmlTest, SubclassesAndReplacedPrototypes) {
  XmlRig rig;
  // super() from a subclass constructor makes the object itself a node.
  Object* plain = rig.vm.NewObject();
  const Value args[] = {S("<sub/>")};
  const Value made = rig.vm.CallFunction(dynamic_cast<Function*>(rig.Class("XML").object), Value::Obj(plain), args);
  EXPECT_TRUE(rig.Same(made, Value::Obj(plain)));
  plain->SetProto(rig.vm.ToObject(rig.Get(rig.Class("XML"), "prototype")));
  EXPECT_TRUE(IsXmlDocument(plain));
  EXPECT_EQ(rig.Text(Value::Obj(plain)), "<sub />");
  EXPECT_EQ(rig.Text(rig.Get(rig.Get(Value::Obj(plain), "firstChild"), "nodeName")), "sub");
  EXPECT_TRUE(rig.Same(rig.Get(rig.Get(Value::Obj(plain), "firstChild"), "parentNode"), Value::Obj(plain)));
  // Nodes made later take whatever XMLNode.prototype is then.
  Object* custom = rig.vm.NewObject();
  custom->SetProto(rig.vm.ToObject(rig.Get(rig.Class("XMLNode"), "prototype")));
  custom->Set("mark", S("custom"));
  rig.vm.ToObject(rig.Class("XMLNode"))->Set("prototype", Value::Obj(custom));
  const Value doc = rig.NewXml("<a/>");
  EXPECT_EQ(rig.Text(rig.Get(rig.Get(doc, "firstChild"), "mark")), "custom");
  EXPECT_EQ(rig.Text(rig.Get(rig.Call(doc, "createTextNode", {S("t")}), "mark")), "custom");
  EXPECT_FALSE(IsXmlNode(rig.vm.NewObject()));
  EXPECT_EQ(XmlToString(rig.vm, rig.vm.NewObject()), "");
}

TEST(XmlTest, TreesLiveAsLongAsAnyNodeIsReachable) {
  XmlRig rig;
  const Value doc = rig.NewXml("<a><b><c/></b></a>");
  const Value c = rig.Child(doc, {0, 0, 0});
  rig.host.keep.push_back(c.object);
  rig.vm.Collect();
  const std::size_t live = rig.vm.ObjectCount();
  // From the deepest node back up to the document and its printing.
  Value top = c;
  while (!rig.Get(top, "parentNode").IsNull()) top = rig.Get(top, "parentNode");
  EXPECT_TRUE(rig.Same(top, doc));
  EXPECT_EQ(rig.Text(top), "<a><b><c /></b></a>");
  // Once cut off, the rest of the tree goes.
  rig.Call(c, "removeNode");
  rig.vm.Collect();
  EXPECT_LT(rig.vm.ObjectCount(), live);
  EXPECT_TRUE(rig.Get(c, "parentNode").IsNull());
}

TEST(XmlTest, DeepDocumentsPrintAndCopyWithoutRecursion) {
  XmlRig rig;
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<d>";
  for (int i = 0; i < kDepth; ++i) text += "</d>";
  text.replace(text.find("</d>"), 4, "<e /></d>");
  const Value doc = rig.NewXml(text.c_str());
  EXPECT_EQ(rig.vm.ToNumber(rig.Get(doc, "status")), 0);
  EXPECT_EQ(XmlToString(rig.vm, doc.object), text);
  const Value copy = rig.Call(doc, "cloneNode", {Value::Bool(true)});
  EXPECT_EQ(rig.Text(copy), text);
}

TEST(XmlTest, OlderMoviesFoldNames) {
  XmlRig rig(6);
  const Value doc = rig.NewXml("<A ID='x'/>");
  EXPECT_EQ(rig.Text(rig.Get(rig.Get(doc, "FIRSTCHILD"), "NodeName")), "A");
  EXPECT_EQ(rig.Text(NewXmlDocument(rig.vm, "<q/>")), "<q />");
  ASSERT_TRUE(ParseXmlInto(rig.vm, doc.object, "<r/>"));
  EXPECT_EQ(rig.Text(doc), "<r />");
}

}  // namespace
}  // namespace quillon::player::avm1::testing
