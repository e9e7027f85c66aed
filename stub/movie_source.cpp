#include "movie_source.h"

#include <array>
#include <new>

#include "projector.h"

namespace quillon::stub {
namespace {

struct FileHandle {
  HANDLE h;
  explicit FileHandle(HANDLE handle) : h(handle) {}
  ~FileHandle() {
    if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
};

bool ReadAt(HANDLE h, std::uint64_t offset, void* into, DWORD count) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return false;
  DWORD got = 0;
  return ReadFile(h, into, count, &got, nullptr) && got == count;
}

}  // namespace

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  return path;
}

MovieSource ReadOwnMovie(const std::wstring& exePath, std::size_t headBytes) {
  MovieSource source;
  FileHandle file(CreateFileW(exePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (file.h == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.h, &size)) {
    source.error = SourceError::CannotOpen;
    return source;
  }
  const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
  std::array<std::uint8_t, convert::kTrailerSize> last{};
  if (fileSize < last.size() || !ReadAt(file.h, fileSize - last.size(), last.data(), last.size())) {
    source.error = SourceError::NoTrailer;
    return source;
  }
  const auto where = convert::LocateMovie(last, fileSize);
  if (!where) {
    source.error = SourceError::NoTrailer;
    return source;
  }
  source.movieSize = where->length;
  try {
    source.head.resize(std::min<std::size_t>(headBytes, where->length));
  } catch (const std::bad_alloc&) {
    source.error = SourceError::CannotOpen;
    return source;
  }
  if (!source.head.empty() &&
      !ReadAt(file.h, where->offset, source.head.data(), static_cast<DWORD>(source.head.size())))
    source.error = SourceError::CannotOpen;
  return source;
}

}  // namespace quillon::stub
