#include "text/movie_fonts.h"

#include <algorithm>
#include <cctype>

namespace quillon::player::text {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

MovieFonts::MovieFonts(std::shared_ptr<const Movie> movie, std::shared_ptr<const FontSource> device)
    : movie_(std::move(movie)), device_(std::move(device)) {}

const Face* MovieFonts::Embedded(std::uint16_t id) const {
  const std::lock_guard<std::mutex> hold(lock_);
  if (const auto it = faces_.find(id); it != faces_.end()) return it->second.get();
  if (!movie_) return nullptr;
  const auto dict = movie_->dictionary.find(id);
  if (dict == movie_->dictionary.end() || !std::holds_alternative<FontDef>(*dict->second)) return nullptr;
  return faces_.emplace(id, std::make_unique<EmbeddedFace>(dict->second)).first->second.get();
}

// Of the fonts of a name, the one of the style asked for, else one with outlines.
const Face* MovieFonts::EmbeddedNamed(std::string_view name, bool bold, bool italic) const {
  if (!movie_) return nullptr;
  std::uint16_t best = 0;
  int bestScore = -1;
  for (const auto& [id, c] : movie_->dictionary) {
    const auto* font = std::get_if<FontDef>(c.get());
    if (!font || font->glyphs.empty() || !SameName(font->name, name)) continue;
    const int score = (font->bold == bold ? 2 : 0) + (font->italic == italic ? 1 : 0);
    if (score > bestScore) best = id, bestScore = score;
  }
  return bestScore < 0 ? nullptr : Embedded(best);
}

const Face* MovieFonts::Device(std::string_view name, bool bold, bool italic) const {
  return device_ ? device_->Device(name, bold, italic) : nullptr;
}

const Face* MovieFonts::Fallback(char32_t ch, bool bold, bool italic) const {
  return device_ ? device_->Fallback(ch, bold, italic) : nullptr;
}

}  // namespace quillon::player::text
