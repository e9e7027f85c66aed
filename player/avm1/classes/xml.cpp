// XML and XMLNode. Each node's state lives in a NodeData; nodes the classes make are NodeData
// themselves, while an object that a subclass constructor hands to super() gets one attached
// under a hidden name, so subclasses work as in the reference player. Every visible property
// is a getter (and sometimes a setter) on the prototypes, as there.
#include "avm1/classes/xml.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "avm1/classes/array.h"
#include "avm1/classes/string.h"
#include "avm1/xml_parse.h"

namespace quillon::player::avm1 {
namespace {

constexpr std::string_view kNodeKey = "\x01" "xmlNode";
// The XMLNode class, whose current prototype new nodes take (scripts may replace it).
constexpr std::string_view kClassKey = "\x01" "xmlNodeClass";
constexpr int kElement = 1;
constexpr int kText = 3;

struct DocState {
  double status = xml::kOk;
  Value xmlDecl, docTypeDecl;
  Value idMap;
};

class NodeData : public Object {
 public:
  explicit NodeData(Machine& vm) : Object(vm) {}
  std::string_view ClassName() const override { return doc ? "XML" : "XMLNode"; }
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (self != this) out.push_back(self);
    if (parent) out.push_back(parent);
    out.insert(out.end(), children.begin(), children.end());
    if (attributes) out.push_back(attributes);
    if (childArray) out.push_back(childArray);
    if (doc)
      for (const Value* v : {&doc->xmlDecl, &doc->docTypeDecl, &doc->idMap})
        if (v->object) out.push_back(v->object);
  }

  bool IsElement() const { return type == kElement; }
  Value Script() { return Value::Obj(self); }

  Object* self = this;  // the object scripts see
  int type = kElement;
  std::optional<std::string> name;   // elements
  std::optional<std::string> value;  // text nodes
  Object* attributes = nullptr;      // made when first asked for
  NodeData* parent = nullptr;
  std::vector<NodeData*> children;
  std::size_t index = 0;               // place among the parent's children
  ArrayObject* childArray = nullptr;  // childNodes, kept in step with `children`
  std::unique_ptr<DocState> doc;      // XML documents
};

NodeData* NodeOf(Object* o) {
  if (!o) return nullptr;
  if (auto* d = dynamic_cast<NodeData*>(o)) return d;
  if (Property* p = o->FindOwn(kNodeKey); p && p->value.IsObject()) return dynamic_cast<NodeData*>(p->value.object);
  return nullptr;
}
NodeData* NodeOf(const Value& v) { return v.IsObject() ? NodeOf(v.object) : nullptr; }
NodeData* ThisNode(const Call& c) { return NodeOf(c.This()); }

Object* NodePrototype(Machine& vm) {
  if (Property* p = vm.global()->FindOwn(kClassKey); p && p->value.IsObject()) {
    const Value proto = p->value.object->Get("prototype");
    if (proto.IsObject()) return proto.object;
  }
  return vm.objectProto;
}

NodeData* NewNode(Machine& vm, int type) {
  NodeData* n = vm.Make<NodeData>();
  n->SetProto(NodePrototype(vm));
  n->type = type;
  return n;
}

Object* Attributes(NodeData* n) {
  if (!n->attributes) n->attributes = n->vm().NewObject();
  return n->attributes;
}

// The attribute names toString and the namespace lookups see, oldest first.
std::vector<std::string> AttributeNames(NodeData* n) {
  std::vector<std::string> names;
  if (!n->attributes) return names;
  n->attributes->ForEachOwn([&](const std::string& name, const Property& p) {
    if (!(p.flags & kDontEnum)) names.push_back(name);
  });
  return names;
}

// ---- the tree ----

void RefreshChildArray(NodeData* n) {
  if (!n->childArray) return;
  std::vector<Value> items;
  items.reserve(n->children.size());
  for (NodeData* c : n->children) items.push_back(c->Script());
  if (items.size() > kMaxArrayLength) items.resize(kMaxArrayLength);
  n->childArray->items = std::move(items);
}

void Renumber(NodeData* n, std::size_t from) {
  for (std::size_t i = from; i < n->children.size(); ++i) n->children[i]->index = i;
}

void Detach(NodeData* child) {
  NodeData* p = child->parent;
  if (!p) return;
  p->children.erase(p->children.begin() + static_cast<std::ptrdiff_t>(child->index));
  Renumber(p, child->index);
  child->parent = nullptr;
  child->index = 0;
  RefreshChildArray(p);
}

void InsertAt(NodeData* parent, std::size_t at, NodeData* child) {
  if (at > parent->children.size()) at = parent->children.size();
  parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(at), child);
  child->parent = parent;
  Renumber(parent, at);
  RefreshChildArray(parent);
}

// A node may not become a child of itself or of anything below it.
bool CanAdopt(NodeData* parent, NodeData* child) {
  for (NodeData* n = parent; n; n = n->parent)
    if (n == child) return false;
  return true;
}

void ClearChildren(NodeData* n) {
  for (NodeData* c : n->children) {
    c->parent = nullptr;
    c->index = 0;
  }
  n->children.clear();
  RefreshChildArray(n);
}

NodeData* NextSibling(NodeData* n) {
  if (!n->parent || n->index + 1 >= n->parent->children.size()) return nullptr;
  return n->parent->children[n->index + 1];
}

// Copies run without recursion: documents may nest as deep as their text allows.
NodeData* Clone(Machine& vm, NodeData* from, bool deep) {
  const auto copyOne = [&](NodeData* src) {
    NodeData* n = NewNode(vm, src->type);
    n->name = src->name;
    n->value = src->value;
    if (src->attributes) {
      Object* attrs = Attributes(n);
      for (const std::string& name : AttributeNames(src)) attrs->Set(name, src->attributes->Get(name));
    }
    return n;
  };
  NodeData* root = copyOne(from);
  if (!deep) return root;
  std::vector<std::pair<NodeData*, NodeData*>> work{{from, root}};
  while (!work.empty()) {
    auto [src, dst] = work.back();
    work.pop_back();
    for (NodeData* c : src->children) {
      NodeData* copy = copyOne(c);
      copy->parent = dst;
      copy->index = dst->children.size();
      dst->children.push_back(copy);
      work.emplace_back(c, copy);
    }
  }
  return root;
}

// ---- printing ----

void Append(std::string& out, std::string_view s) { strings::AppendBounded(out, s); }

void AppendEscaped(std::string& out, std::string_view s) { Append(out, xml::Escape(s)); }

// Writes the node's opening; true when it has children to write and a closing to follow.
bool Open(Machine& vm, NodeData* n, std::string& out) {
  if (!n->IsElement()) {
    if (n->value) AppendEscaped(out, *n->value);
    return false;
  }
  if (!n->name) return !n->children.empty();
  Append(out, "<");
  Append(out, *n->name);
  for (const std::string& name : AttributeNames(n)) {
    if (!n->attributes) break;  // a value's toString may have run anything
    const std::string value = vm.ToString(n->attributes->Get(name));
    Append(out, " ");
    Append(out, name);
    Append(out, "=\"");
    AppendEscaped(out, value);
    Append(out, "\"");
  }
  if (n->children.empty()) {
    Append(out, " />");
    return false;
  }
  Append(out, ">");
  return true;
}

std::string Print(Machine& vm, NodeData* root) {
  std::string out;
  if (root->doc) {
    for (const Value* v : {&root->doc->xmlDecl, &root->doc->docTypeDecl})
      if (!v->IsUndefined()) Append(out, vm.ToString(*v));
  }
  struct Frame {
    NodeData* node;
    std::size_t next;
  };
  std::vector<Frame> stack;
  if (Open(vm, root, out)) stack.push_back({root, 0});
  while (!stack.empty()) {
    NodeData* n = stack.back().node;
    const std::size_t i = stack.back().next++;
    if (i < n->children.size()) {
      NodeData* c = n->children[i];
      if (Open(vm, c, out)) stack.push_back({c, 0});
      continue;
    }
    if (n->name && n->IsElement()) {
      Append(out, "</");
      Append(out, *n->name);
      Append(out, ">");
    }
    stack.pop_back();
  }
  return out;
}

// ---- parsing ----

DocState& Doc(NodeData* n) {
  if (!n->doc) n->doc = std::make_unique<DocState>();
  return *n->doc;
}

Object* IdMap(NodeData* n) {
  DocState& d = Doc(n);
  if (!d.idMap.IsObject()) d.idMap = Value::Obj(n->vm().NewObject());
  return d.idMap.object;
}

void ParseInto(Machine& vm, NodeData* doc, std::string_view text) {
  const bool ignoreWhite = vm.ToBool(doc->self->Get("ignoreWhite"));
  xml::Document parsed = xml::Parse(text, ignoreWhite);
  ClearChildren(doc);
  DocState& state = Doc(doc);
  state.status = parsed.status;
  state.xmlDecl = parsed.xmlDecl ? Value::Str(std::move(*parsed.xmlDecl)) : Value::Undefined();
  state.docTypeDecl = parsed.docTypeDecl ? Value::Str(std::move(*parsed.docTypeDecl)) : Value::Undefined();
  std::vector<NodeData*> made;
  made.reserve(parsed.nodes.size());
  for (xml::Node& p : parsed.nodes) {
    NodeData* n = NewNode(vm, p.element ? kElement : kText);
    if (p.element) {
      n->name = std::move(p.text);
      if (!p.attributes.empty()) {
        Object* attrs = Attributes(n);
        for (auto& [name, value] : p.attributes) {
          if (name == "id") IdMap(doc)->Set(value, n->Script());
          attrs->Set(name, Value::Str(std::move(value)));
        }
      }
    } else {
      n->value = std::move(p.text);
    }
    NodeData* parent = p.parent == xml::kTopLevel ? doc : made[p.parent];
    n->parent = parent;
    n->index = parent->children.size();
    parent->children.push_back(n);
    made.push_back(n);
  }
  RefreshChildArray(doc);
}

// ---- namespaces ----

// "xmlns" declares the default namespace, "xmlns:p" the prefix p; the reference player takes
// any name that starts so, and a name without a colon for the default.
bool DeclaredPrefix(std::string_view attr, std::string& prefix) {
  if (attr.substr(0, 5) != "xmlns") return false;
  const std::size_t colon = attr.find(':');
  prefix = colon == std::string_view::npos ? std::string() : std::string(attr.substr(colon + 1));
  return true;
}

template <typename F> Value FindDeclaration(Machine& vm, NodeData* start, F&& match) {
  for (NodeData* n = start; n; n = n->parent) {
    if (!n->IsElement() || !n->name) continue;
    for (const std::string& attr : AttributeNames(n)) {
      std::string prefix;
      if (!DeclaredPrefix(attr, prefix) || !n->attributes) continue;
      const std::string uri = vm.ToString(n->attributes->Get(attr));
      if (match(prefix, uri)) return Value::Str(match.answerPrefix ? prefix : uri);
    }
  }
  return Value::Null();
}

struct PrefixIs {
  std::string wanted;
  bool answerPrefix = false;
  bool operator()(const std::string& prefix, const std::string&) const { return prefix == wanted; }
};
struct UriIs {
  std::string wanted;
  bool answerPrefix = true;
  bool operator()(const std::string&, const std::string& uri) const { return uri == wanted; }
};

std::string_view PrefixOf(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}
std::string_view LocalOf(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// ---- XMLNode.prototype ----

Value NodeOrNull(NodeData* n) { return n ? n->Script() : Value::Null(); }

void InitNode(Machine& vm, NodeData* n, const Value& type, const Value& text) {
  n->type = vm.ToNumber(type) == kElement ? kElement : kText;
  std::optional<std::string> s;
  if (!text.IsUndefined()) s = vm.ToString(text);
  n->name.reset();
  n->value.reset();
  if (n->type == kElement) n->name = std::move(s);
  else n->value = std::move(s);
}

// `new` hands the constructor a fresh object; the node takes over its prototype link and what
// else the machine put on it.
NodeData* TakeOver(Call& c, int type) {
  NodeData* n = c.vm.Make<NodeData>();
  n->type = type;
  if (Object* shell = c.This()) shell->ForEachOwn([&](const std::string& name, const Property& p) { n->Define(name, p.value, p.flags); });
  else n->SetProto(NodePrototype(c.vm));
  return n;
}

// super() from a subclass constructor: the object becomes a node itself.
NodeData* Attach(Call& c) {
  Object* self = c.This();
  if (!self) return nullptr;
  if (NodeData* n = NodeOf(self)) return n;
  NodeData* n = c.vm.Make<NodeData>();
  n->self = self;
  self->Define(kNodeKey, Value::Obj(n), kDontEnum | kDontDelete | kReadOnly);
  return n;
}

void AddGetter(Machine& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set = nullptr) {
  proto->AddProperty(name, vm.NewNative(std::move(get)), set ? vm.NewNative(std::move(set)) : nullptr);
  proto->SetFlags(name, kDontEnum | kDontDelete, 0);
}

// A getter of the node's `this`, undefined for anything that is no node.
template <typename F> NativeFn NodeGetter(F f) {
  return [f](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    return n ? f(c, n) : Value::Undefined();
  };
}

void InstallNodePrototype(Machine& vm, Object* proto) {
  AddGetter(vm, proto, "nodeType", NodeGetter([](Call&, NodeData* n) { return Value::Num(n->type); }));
  AddGetter(
      vm, proto, "nodeName",
      NodeGetter([](Call&, NodeData* n) { return n->IsElement() && n->name ? Value::Str(*n->name) : Value::Null(); }),
      NodeGetter([](Call& c, NodeData* n) {
        // Assigning undefined or null leaves the name as it was.
        if (!c.Arg(0).IsNullish()) n->name = c.vm.ToString(c.Arg(0));
        return Value::Undefined();
      }));
  AddGetter(
      vm, proto, "nodeValue",
      NodeGetter([](Call&, NodeData* n) { return !n->IsElement() && n->value ? Value::Str(*n->value) : Value::Null(); }),
      NodeGetter([](Call& c, NodeData* n) {
        if (!c.Arg(0).IsNullish()) n->value = c.vm.ToString(c.Arg(0));
        return Value::Undefined();
      }));
  AddGetter(vm, proto, "prefix", NodeGetter([](Call&, NodeData* n) {
              return n->IsElement() && n->name ? Value::Str(std::string(PrefixOf(*n->name))) : Value::Null();
            }));
  AddGetter(vm, proto, "localName", NodeGetter([](Call&, NodeData* n) {
              return n->IsElement() && n->name ? Value::Str(std::string(LocalOf(*n->name))) : Value::Null();
            }));
  AddGetter(vm, proto, "namespaceURI", NodeGetter([](Call& c, NodeData* n) {
              if (!n->IsElement() || !n->name) return Value::Null();
              const Value uri = FindDeclaration(c.vm, n, PrefixIs{std::string(PrefixOf(*n->name))});
              return uri.IsNull() ? Value::Str("") : uri;
            }));
  AddGetter(vm, proto, "attributes", NodeGetter([](Call&, NodeData* n) { return Value::Obj(Attributes(n)); }));
  AddGetter(vm, proto, "parentNode", NodeGetter([](Call&, NodeData* n) { return NodeOrNull(n->parent); }));
  AddGetter(vm, proto, "firstChild", NodeGetter([](Call&, NodeData* n) {
              return NodeOrNull(n->children.empty() ? nullptr : n->children.front());
            }));
  AddGetter(vm, proto, "lastChild", NodeGetter([](Call&, NodeData* n) {
              return NodeOrNull(n->children.empty() ? nullptr : n->children.back());
            }));
  AddGetter(vm, proto, "previousSibling", NodeGetter([](Call&, NodeData* n) {
              return NodeOrNull(n->parent && n->index > 0 ? n->parent->children[n->index - 1] : nullptr);
            }));
  AddGetter(vm, proto, "nextSibling", NodeGetter([](Call&, NodeData* n) { return NodeOrNull(NextSibling(n)); }));
  AddGetter(vm, proto, "childNodes", NodeGetter([](Call& c, NodeData* n) {
              if (!n->childArray) {
                n->childArray = static_cast<ArrayObject*>(c.vm.NewArray());
                RefreshChildArray(n);
              }
              return Value::Obj(n->childArray);
            }));

  proto->DefineNative("appendChild", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    NodeData* child = NodeOf(c.Arg(0));
    // A child of this node already stays where it is.
    if (!n || !child || child->parent == n || !CanAdopt(n, child)) return {};
    Detach(child);
    InsertAt(n, n->children.size(), child);
    return {};
  }, 1);
  proto->DefineNative("insertBefore", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    NodeData* child = NodeOf(c.Arg(0));
    NodeData* before = NodeOf(c.Arg(1));
    if (!n || !child || !before || before->parent != n || child == before || !CanAdopt(n, child)) return {};
    Detach(child);
    InsertAt(n, before->index, child);
    return {};
  }, 2);
  proto->DefineNative("removeNode", [](Call& c) -> Value {
    if (NodeData* n = ThisNode(c)) Detach(n);
    return {};
  });
  proto->DefineNative("cloneNode", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    return n ? Clone(c.vm, n, c.vm.ToBool(c.Arg(0)))->Script() : Value::Undefined();
  }, 1);
  proto->DefineNative("hasChildNodes", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    return n ? Value::Bool(!n->children.empty()) : Value::Undefined();
  });
  proto->DefineNative("toString", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    return n ? Value::Str(Print(c.vm, n)) : Value::Str("");
  });
  proto->DefineNative("getNamespaceForPrefix", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    if (!n) return {};
    return FindDeclaration(c.vm, n, PrefixIs{c.vm.ToString(c.Arg(0))});
  }, 1);
  proto->DefineNative("getPrefixForNamespace", [](Call& c) -> Value {
    NodeData* n = ThisNode(c);
    if (!n) return {};
    return FindDeclaration(c.vm, n, UriIs{c.vm.ToString(c.Arg(0))});
  }, 1);
}

// ---- XML.prototype ----

void InitDocument(Call& c, NodeData* n) {
  n->type = kElement;
  n->name.reset();
  Doc(n);
  const Value& src = c.Arg(0);
  if (!src.IsNullish()) ParseInto(c.vm, n, c.vm.ToString(src));
}

void InstallXmlPrototype(Machine& vm, Object* proto) {
  proto->Define("contentType", Value::Str("application/x-www-form-urlencoded"), kDontEnum);
  proto->Define("ignoreWhite", Value::Bool(false), kDontEnum);
  AddGetter(
      vm, proto, "status", NodeGetter([](Call&, NodeData* n) { return Value::Num(n->doc ? n->doc->status : 0); }),
      NodeGetter([](Call& c, NodeData* n) {
        Doc(n).status = c.vm.ToNumber(c.Arg(0));
        return Value::Undefined();
      }));
  AddGetter(
      vm, proto, "xmlDecl", NodeGetter([](Call&, NodeData* n) { return n->doc ? n->doc->xmlDecl : Value::Undefined(); }),
      NodeGetter([](Call& c, NodeData* n) {
        Doc(n).xmlDecl = c.Arg(0);
        return Value::Undefined();
      }));
  AddGetter(vm, proto, "docTypeDecl",
            NodeGetter([](Call&, NodeData* n) { return n->doc ? n->doc->docTypeDecl : Value::Undefined(); }));
  AddGetter(
      vm, proto, "idMap", NodeGetter([](Call&, NodeData* n) { return Value::Obj(IdMap(n)); }),
      NodeGetter([](Call& c, NodeData* n) {
        Doc(n).idMap = c.Arg(0);
        return Value::Undefined();
      }));

  proto->DefineNative("createElement", [](Call& c) -> Value {
    NodeData* n = NewNode(c.vm, kElement);
    n->name = c.vm.ToString(c.Arg(0));
    return n->Script();
  }, 1);
  proto->DefineNative("createTextNode", [](Call& c) -> Value {
    NodeData* n = NewNode(c.vm, kText);
    n->value = c.vm.ToString(c.Arg(0));
    return n->Script();
  }, 1);
  proto->DefineNative("parseXML", [](Call& c) -> Value {
    if (NodeData* n = ThisNode(c)) ParseInto(c.vm, n, c.vm.ToString(c.Arg(0)));
    return {};
  }, 1);
  // What a finished load hands over: the text, or undefined when nothing could be read.
  proto->DefineNative("onData", [](Call& c) -> Value {
    Object* self = c.This();
    if (!self) return {};
    if (c.Arg(0).IsUndefined()) {
      const Value args[] = {Value::Bool(false)};
      c.vm.CallMethod(self, "onLoad", args);
      return {};
    }
    const Value src[] = {Value::Str(c.vm.ToString(c.Arg(0)))};
    c.vm.CallMethod(self, "parseXML", src);
    self->Set("loaded", Value::Bool(true));
    const Value args[] = {Value::Bool(true)};
    c.vm.CallMethod(self, "onLoad", args);
    return {};
  }, 1);
  proto->DefineNative("onLoad", [](Call&) -> Value { return {}; }, 1);
}

}  // namespace

bool IsXmlNode(Object* o) { return NodeOf(o) != nullptr; }

bool IsXmlDocument(Object* o) {
  NodeData* n = NodeOf(o);
  return n && n->doc;
}

std::string XmlToString(Machine& vm, Object* node) {
  NodeData* n = NodeOf(node);
  return n ? Print(vm, n) : std::string();
}

bool ParseXmlInto(Machine& vm, Object* doc, std::string_view text) {
  NodeData* n = NodeOf(doc);
  if (!n) return false;
  ParseInto(vm, n, text);
  return true;
}

Value NewXmlDocument(Machine& vm, std::string_view text) {
  const Value args[] = {Value::Str(std::string(text))};
  return vm.Construct(vm.global()->Get("XML"), args);
}

void InstallXml(Machine& vm, Object* global) {
  Object* nodeProto = vm.NewObject();
  Function* nodeClass = vm.NewClass(
      [](Call& c) -> Value {
        if (NodeData* n = Attach(c)) InitNode(c.vm, n, c.Arg(0), c.Arg(1));
        return c.thisValue;
      },
      [](Call& c) -> Value {
        NodeData* n = TakeOver(c, kElement);
        InitNode(c.vm, n, c.Arg(0), c.Arg(1));
        return n->Script();
      },
      nodeProto);
  InstallNodePrototype(vm, nodeProto);

  Object* xmlProto = vm.NewObject();
  xmlProto->SetProto(nodeProto);
  Function* xmlClass = vm.NewClass(
      [](Call& c) -> Value {
        if (NodeData* n = Attach(c)) InitDocument(c, n);
        return c.thisValue;
      },
      [](Call& c) -> Value {
        NodeData* n = TakeOver(c, kElement);
        InitDocument(c, n);
        return n->Script();
      },
      xmlProto);
  InstallXmlPrototype(vm, xmlProto);

  global->Define("XMLNode", Value::Obj(nodeClass), kDontEnum);
  global->Define("XML", Value::Obj(xmlClass), kDontEnum);
  global->Define(kClassKey, Value::Obj(nodeClass), kDontEnum | kDontDelete | kReadOnly);
}

}  // namespace quillon::player::avm1
