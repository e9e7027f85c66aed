// The conversion's file access over wide-path Win32 files, and the embedded stub.
#pragma once

#include <cstdint>
#include <span>

#include "projector.h"

namespace quillon::app {

class WinFileSystem final : public convert::FileSystem {
 public:
  bool Exists(const std::wstring& path) override;
  std::unique_ptr<convert::InputFile> OpenRead(const std::wstring& path) override;
  convert::CreateResult CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) override;
  void Remove(const std::wstring& path) override;
};

// The stub carried as resource "CUSTOM"/101 (Chinese, PRC); empty when missing.
std::span<const std::uint8_t> EmbeddedStub();

// The name part of an ordinary file as the file system lists it; empty for folders,
// hidden or system files, wildcards and names that do not exist.
std::wstring ListedName(const std::wstring& path);

}  // namespace quillon::app
