// The conversion's file access over wide-path Win32 files, and the embedded stub.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "projector.h"

namespace quillon::app {

class WinFileSystem final : public convert::FileSystem {
 public:
  bool Exists(const std::wstring& path) override;
  std::unique_ptr<convert::InputFile> OpenRead(const std::wstring& path) override;
  convert::CreateResult CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) override;
  void Remove(const std::wstring& path) override;

  // The system's error code of the last failure since ClearError, 0 for none.
  std::uint32_t LastError() const { return static_cast<std::uint32_t>(*error_); }
  void ClearError() { *error_ = 0; }

 private:
  // Shared with the files opened here, which report their own failures.
  std::shared_ptr<unsigned long> error_ = std::make_shared<unsigned long>(0);
};

// Whether a file or folder of that name exists, asked through `attributes` (the system's
// attributes query when null) with the system's critical-error box suppressed, so a removed
// disk gets the program's own message only.
using AttributesQuery = std::uint32_t (*)(const wchar_t* path);
bool PathExists(const std::wstring& path, AttributesQuery attributes = nullptr);

// The stub carried as resource "CUSTOM"/101 (Chinese, PRC); empty when missing.
std::span<const std::uint8_t> EmbeddedStub();

// The name part of an ordinary file as the file system lists it; empty for folders,
// hidden or system files, wildcards and names that do not exist.
std::wstring ListedName(const std::wstring& path);

}  // namespace quillon::app
