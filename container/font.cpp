#include "font.h"

#include <algorithm>

namespace quillon::container {

FontSubscription::FontSubscription(FontSubscription&& other) noexcept
    : font_(std::move(other.font_)), id_(other.id_) {
  other.font_.reset();
}

FontSubscription& FontSubscription::operator=(FontSubscription&& other) noexcept {
  if (this != &other) {
    Reset();
    font_ = std::move(other.font_);
    id_ = other.id_;
    other.font_.reset();
  }
  return *this;
}

FontSubscription::~FontSubscription() { Reset(); }

void FontSubscription::Reset() {
  if (auto font = font_.lock()) font->Unsubscribe(id_);
  font_.reset();
}

std::shared_ptr<Font> Font::Create(FontDescription description) {
  return std::make_shared<Font>(Token{}, std::move(description));
}

void Font::SetName(std::wstring face) {
  if (face == description_.face) return;
  description_.face = std::move(face);
  Notify(L"Name");
}

void Font::SetSize(double points) {
  FontDescription d = description_;
  d.SetSizePoints(points);
  if (d.size10k == description_.size10k) return;
  description_.size10k = d.size10k;
  Notify(L"Size");
}

void Font::SetBold(bool bold) {
  const std::int16_t weight = bold ? 700 : 400;
  if (bold == description_.Bold() && (bold || description_.weight == weight)) return;
  description_.weight = weight;
  Notify(L"Bold");
}

void Font::SetWeight(std::int16_t weight) {
  Change(description_.weight, weight, L"Weight");
}

void Font::SetItalic(bool italic) {
  Change(description_.italic, italic, L"Italic");
}

void Font::SetUnderline(bool underline) {
  Change(description_.underline, underline, L"Underline");
}

void Font::SetStrikethrough(bool strikethrough) {
  Change(description_.strikethrough, strikethrough, L"Strikethrough");
}

void Font::SetCharset(std::int16_t charset) {
  Change(description_.charset, charset, L"Charset");
}

FontSubscription Font::Subscribe(Listener listener) {
  const std::uint64_t id = nextId_++;
  listeners_.emplace_back(id, std::move(listener));
  return FontSubscription(weak_from_this(), id);
}

void Font::Unsubscribe(std::uint64_t id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void Font::Notify(std::wstring_view attribute) {
  // A listener may unsubscribe (or subscribe) while being told; work on a copy of the ids.
  std::vector<std::uint64_t> ids;
  ids.reserve(listeners_.size());
  for (const auto& entry : listeners_) ids.push_back(entry.first);
  for (std::uint64_t id : ids) {
    auto it = std::find_if(listeners_.begin(), listeners_.end(), [id](const auto& e) { return e.first == id; });
    if (it == listeners_.end()) continue;
    Listener call = it->second;
    call(attribute);
  }
}

}  // namespace quillon::container
