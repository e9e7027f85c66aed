// The fonts a playing movie sees: its embedded fonts by id and name, and the device fonts of
// another source (files here, the system's in the stub).
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "text/device_fonts.h"
#include "text/embedded_face.h"
#include "text/layout.h"

namespace quillon::player::text {

class MovieFonts final : public FontSource {
 public:
  MovieFonts(std::shared_ptr<const Movie> movie, std::shared_ptr<const FontSource> device);

  const Face* Embedded(std::uint16_t id) const override;
  const Face* EmbeddedNamed(std::string_view name, bool bold, bool italic) const override;
  const Face* Device(std::string_view name, bool bold, bool italic) const override;
  const Face* Fallback(char32_t ch, bool bold, bool italic) const override;

 private:
  std::shared_ptr<const Movie> movie_;
  std::shared_ptr<const FontSource> device_;
  mutable std::mutex lock_;  // bands of a frame look faces up at once
  mutable std::map<std::uint16_t, std::unique_ptr<EmbeddedFace>> faces_;
};

}  // namespace quillon::player::text
