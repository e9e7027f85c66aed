// Font objects shared between a control and its host: a description plus a change
// notification, so that a host changing an attribute of the object it got back from a
// control's Font property makes the control redraw.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "value.h"

namespace quillon::container {

class Font;

// Keeps a change listener registered for as long as it lives.
class FontSubscription {
 public:
  FontSubscription() = default;
  FontSubscription(const FontSubscription&) = delete;
  FontSubscription& operator=(const FontSubscription&) = delete;
  FontSubscription(FontSubscription&& other) noexcept;
  FontSubscription& operator=(FontSubscription&& other) noexcept;
  ~FontSubscription();
  void Reset();
  bool Active() const { return !font_.expired(); }

 private:
  friend class Font;
  FontSubscription(std::weak_ptr<Font> font, std::uint64_t id) : font_(std::move(font)), id_(id) {}
  std::weak_ptr<Font> font_;
  std::uint64_t id_ = 0;
};

class Font : public std::enable_shared_from_this<Font> {
 public:
  // The attribute name passed to listeners: "Name", "Size", "Bold", "Weight", "Italic",
  // "Underline", "Strikethrough", "Charset".
  using Listener = std::function<void(std::wstring_view attribute)>;

  static std::shared_ptr<Font> Create(FontDescription description = {});
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const FontDescription& Description() const { return description_; }
  std::shared_ptr<Font> Clone() const { return Create(description_); }

  // Each setter notifies only when the attribute actually changes.
  void SetName(std::wstring face);
  void SetSize(double points);
  void SetBold(bool bold);
  void SetWeight(std::int16_t weight);
  void SetItalic(bool italic);
  void SetUnderline(bool underline);
  void SetStrikethrough(bool strikethrough);
  void SetCharset(std::int16_t charset);

  [[nodiscard]] FontSubscription Subscribe(Listener listener);

 private:
  struct Token {};
  friend class FontSubscription;

 public:
  Font(Token, FontDescription description) : description_(std::move(description)) {}

 private:
  void Notify(std::wstring_view attribute);
  // Stores an attribute and notifies, only when it differs.
  template <typename T>
  void Change(T& field, T value, std::wstring_view attribute) {
    if (value == field) return;
    field = value;
    Notify(attribute);
  }
  void Unsubscribe(std::uint64_t id);

  FontDescription description_;
  std::vector<std::pair<std::uint64_t, Listener>> listeners_;
  std::uint64_t nextId_ = 1;
};
using FontPtr = std::shared_ptr<Font>;

}  // namespace quillon::container
