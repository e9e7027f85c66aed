// The conversion's file access over POSIX files, copying file to file inside the kernel.
#pragma once

#include <string>
#include <string_view>

#include "projector.h"

namespace quillon::cli {

// Paths and arguments are bytes, normally UTF-8; bytes that do not decode are kept as
// U+DC80..U+DCFF so that any name survives the trip to text and back.
std::wstring FromNative(std::string_view bytes);
std::string ToNative(std::wstring_view text);

class PosixFiles final : public convert::FileSystem {
 public:
  bool Exists(const std::wstring& path) override;
  std::unique_ptr<convert::InputFile> OpenRead(const std::wstring& path) override;
  convert::CreateResult CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) override;
  void Remove(const std::wstring& path) override;

  // The errno of the last failure since ClearError, 0 for none.
  int LastError() const { return *error_; }
  void ClearError() { *error_ = 0; }

 private:
  // Shared with the files it opens, which report their own failures here.
  std::shared_ptr<int> error_ = std::make_shared<int>(0);
};

}  // namespace quillon::cli
