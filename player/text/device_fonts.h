// Device fonts read from font files: families registered by path, and the usual Windows faces
// mapped to metric-compatible free fonts found under the system's font folders (searched once,
// by file name). Without any font file text measures as zero and draws nothing.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/layout.h"

namespace quillon::player::text {

// A TrueType or OpenType face read with stb_truetype.
class FileFace final : public Face {
 public:
  // Null when the bytes hold no usable face `index` (of a collection).
  static std::unique_ptr<FileFace> Load(std::vector<std::uint8_t> bytes, int index = 0);
  ~FileFace() override;

  double Ascent() const override { return ascent_; }
  double Descent() const override { return descent_; }
  double Leading() const override { return leading_; }
  int Glyph(char32_t ch) const override;
  double Advance(int glyph) const override;
  double Kerning(int left, int right) const override;
  const ShapeGeometry* Outline(int glyph) const override;
  bool IsDevice() const override { return true; }

 private:
  FileFace();
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
  double ascent_ = 0, descent_ = 0, leading_ = 0;
  mutable std::mutex outlinesLock_;  // frames are drawn by several threads at once
  mutable std::map<int, std::unique_ptr<ShapeGeometry>> outlines_;
};

class DeviceFonts final : public FontSource {
 public:
  // Searches `folders` (by default the system's font folders) for the mapped faces.
  DeviceFonts();
  explicit DeviceFonts(std::vector<std::filesystem::path> folders);
  ~DeviceFonts() override;

  // A family from a file, found before any system face of that name.
  void AddFile(const std::string& family, const std::filesystem::path& file, bool bold = false, bool italic = false);
  // What "_sans", "_serif" or "_typewriter" stands for, among the added or mapped families.
  void SetGeneric(const std::string& generic, const std::string& family);

  // The face for a name; unknown names fall back to the generic serif face, as the reference
  // player does with faces a system lacks. Null when no font file is found.
  const Face* Find(std::string_view name, bool bold, bool italic) const;
  // A face holding `ch` among the fallbacks (CJK first).
  const Face* Fallback(char32_t ch, bool bold, bool italic) const override;
  const Face* Device(std::string_view name, bool bold, bool italic) const override { return Find(name, bold, italic); }

  // The system's faces, searched once for the whole process.
  static std::shared_ptr<const DeviceFonts> System();

  static std::vector<std::filesystem::path> SystemFolders();

 private:
  struct Entry;
  const Face* Load(const std::string& family, bool bold, bool italic) const;
  const Face* FromFiles(const std::vector<std::string>& fileNames) const;
  void Scan() const;

  std::vector<std::filesystem::path> folders_;
  std::map<std::string, std::string> generic_;  // lower-case generic name to family
  std::map<std::string, std::vector<std::filesystem::path>> added_;  // lower-case family, style slot
  mutable std::recursive_mutex lock_;  // guards the caches below: bands of a frame share them
  mutable bool scanned_ = false;
  mutable std::map<std::string, std::filesystem::path> files_;  // lower-case file name to path
  mutable std::map<std::string, std::unique_ptr<FileFace>> loaded_;  // by path and index
  mutable std::map<std::string, const Face*> resolved_;  // by lower-case name and style
};

}  // namespace quillon::player::text
