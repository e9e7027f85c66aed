#include "avm1/xml_parse.h"

#include <cstdint>

namespace quillon::player::avm1::xml {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// "#65" or "#x41" (without & and ;) as a code point; false for anything else.
bool NumericReference(std::string_view name, std::uint32_t& out) {
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t n = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    n = n * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
  }
  // NUL, surrogates and what lies past Unicode have no character to stand for.
  if (n == 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return false;
  out = n;
  return true;
}

class Reader {
 public:
  Reader(std::string_view src, bool ignoreWhite) : s_(src), ignoreWhite_(ignoreWhite) {}

  Document Run() {
    while (pos_ < s_.size() && doc_.status == kOk) {
      if (s_[pos_] == '<') Markup();
      else Text();
    }
    if (doc_.status == kOk && !open_.empty()) doc_.status = kStartWithoutEnd;
    return std::move(doc_);
  }

 private:
  bool At(std::string_view what) const { return s_.substr(pos_, what.size()) == what; }

  std::size_t Parent() const { return open_.empty() ? kTopLevel : open_.back(); }

  bool AddNode(bool element, std::string text) {
    if (doc_.nodes.size() >= kMaxNodes) {
      doc_.status = kOutOfMemory;
      return false;
    }
    doc_.nodes.push_back(Node{Parent(), element, std::move(text), {}});
    return true;
  }

  void AddText(std::string_view raw, bool decode) {
    if (ignoreWhite_ && IsWhite(raw)) return;
    AddNode(false, decode ? DecodeEntities(raw) : std::string(raw));
  }

  void Text() {
    std::size_t end = s_.find('<', pos_);
    if (end == std::string_view::npos) end = s_.size();
    AddText(s_.substr(pos_, end - pos_), true);
    pos_ = end;
  }

  // Everything from `pos_` to the end of `terminator`, or the status when it never comes.
  bool Through(std::string_view terminator, std::size_t from, int failure, std::string_view* body) {
    const std::size_t end = s_.find(terminator, from);
    if (end == std::string_view::npos) {
      doc_.status = failure;
      return false;
    }
    if (body) *body = s_.substr(from, end - from);
    pos_ = end + terminator.size();
    return true;
  }

  void Markup() {
    const std::size_t start = pos_;
    std::string_view body;
    if (At("<!--")) {
      Through("-->", pos_ + 4, kCommentNotTerminated, nullptr);
    } else if (At("<![CDATA[")) {
      if (Through("]]>", pos_ + 9, kCdataNotTerminated, &body)) AddText(body, false);
    } else if (At("<?")) {
      if (Through("?>", pos_ + 2, kDeclNotTerminated, nullptr)) doc_.xmlDecl = std::string(s_.substr(start, pos_ - start));
    } else if (At("<!")) {
      DocType(start);
    } else if (At("</")) {
      EndTag();
    } else {
      StartTag();
    }
  }

  // A bracketed internal subset may hold '>' of its own.
  void DocType(std::size_t start) {
    std::size_t i = start + 2;
    int depth = 0;
    for (; i < s_.size(); ++i) {
      if (s_[i] == '[') ++depth;
      else if (s_[i] == ']' && depth > 0) --depth;
      else if (s_[i] == '>' && depth == 0) break;
    }
    if (i >= s_.size()) {
      doc_.status = kDocTypeNotTerminated;
      return;
    }
    pos_ = i + 1;
    doc_.docTypeDecl = std::string(s_.substr(start, pos_ - start));
  }

  void EndTag() {
    std::string_view name;
    if (!Through(">", pos_ + 2, kElementMalformed, &name)) return;
    while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
    if (open_.empty() || doc_.nodes[open_.back()].text != name) {
      doc_.status = kEndWithoutStart;
      return;
    }
    open_.pop_back();
  }

  void SkipSpace() {
    while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
  }

  // Runs up to white space or one of `stops`.
  std::string_view Name(std::string_view stops) {
    const std::size_t from = pos_;
    while (pos_ < s_.size() && !IsSpace(s_[pos_]) && stops.find(s_[pos_]) == std::string_view::npos) ++pos_;
    return s_.substr(from, pos_ - from);
  }

  void StartTag() {
    ++pos_;
    const std::string_view name = Name("/>");
    if (name.empty()) {
      doc_.status = kElementMalformed;
      return;
    }
    if (!AddNode(true, std::string(name))) return;
    const std::size_t self = doc_.nodes.size() - 1;
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size()) {
        doc_.status = kElementMalformed;
        return;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        open_.push_back(self);
        return;
      }
      if (At("/>")) {
        pos_ += 2;
        return;
      }
      if (!Attribute(doc_.nodes[self])) return;
    }
  }

  bool Attribute(Node& node) {
    const std::string_view name = Name("=/>");
    SkipSpace();
    if (name.empty() || pos_ >= s_.size() || s_[pos_] != '=') {
      doc_.status = kElementMalformed;
      return false;
    }
    ++pos_;
    SkipSpace();
    if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) {
      doc_.status = kElementMalformed;
      return false;
    }
    const char quote = s_[pos_];
    std::string_view raw;
    if (!Through(std::string_view(&quote, 1), pos_ + 1, kAttributeNotTerminated, &raw)) return false;
    std::string value = DecodeEntities(raw);
    for (auto& a : node.attributes)
      if (a.first == name) {
        a.second = std::move(value);
        return true;
      }
    node.attributes.emplace_back(std::string(name), std::move(value));
    return true;
  }

  std::string_view s_;
  bool ignoreWhite_;
  std::size_t pos_ = 0;
  std::vector<std::size_t> open_;
  Document doc_;
};

}  // namespace

bool IsWhite(std::string_view s) {
  for (char c : s)
    if (!IsSpace(c)) return false;
  return true;
}

std::string DecodeEntities(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t amp = s.find('&', i);
    if (amp == std::string_view::npos) break;
    out.append(s.substr(i, amp - i));
    // Entity names are short: a far semicolon belongs to something else.
    const std::size_t semi = s.substr(amp, 12).find(';');
    if (semi == std::string_view::npos) {
      out += '&';
      i = amp + 1;
      continue;
    }
    const std::string_view name = s.substr(amp + 1, semi - 1);
    std::uint32_t code = 0;
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (NumericReference(name, code)) AppendUtf8(out, code);
    else {
      out += '&';
      i = amp + 1;
      continue;
    }
    i = amp + semi + 1;
  }
  out.append(s.substr(i));
  return out;
}

void AppendEscaped(std::string& out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
}

std::string Escape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  AppendEscaped(out, s);
  return out;
}

Document Parse(std::string_view source, bool ignoreWhite) { return Reader(source, ignoreWhite).Run(); }

std::string Print(const Document& doc) {
  std::string out;
  if (doc.xmlDecl) out += *doc.xmlDecl;
  if (doc.docTypeDecl) out += *doc.docTypeDecl;
  std::vector<std::size_t> open;
  const auto close = [&] {
    out += "</";
    out += doc.nodes[open.back()].text;
    out += '>';
    open.pop_back();
  };
  for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
    const Node& n = doc.nodes[i];
    while (!open.empty() && open.back() != n.parent) close();
    if (!n.element) {
      AppendEscaped(out, n.text);
      continue;
    }
    out += '<';
    out += n.text;
    for (const auto& [name, value] : n.attributes) {
      out += ' ';
      out += name;
      out += "=\"";
      AppendEscaped(out, value);
      out += '"';
    }
    if (i + 1 < doc.nodes.size() && doc.nodes[i + 1].parent == i) {
      out += '>';
      open.push_back(i);
    } else {
      out += " />";
    }
  }
  while (!open.empty()) close();
  return out;
}

}  // namespace quillon::player::avm1::xml
