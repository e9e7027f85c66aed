#include "win_files.h"

#include <windows.h>

#include "win_overlapped.h"

namespace quillon::app {

bool PathExists(const std::wstring& path, AttributesQuery attributes) {
  // A drive with no disk in it answers "not there" instead of asking the user to insert one.
  DWORD previous = 0;
  const bool set = SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS, &previous);
  const DWORD found = attributes ? attributes(path.c_str()) : GetFileAttributesW(path.c_str());
  if (set) SetThreadErrorMode(previous, nullptr);
  return found != INVALID_FILE_ATTRIBUTES;
}

bool WinFileSystem::Exists(const std::wstring& path) { return PathExists(path); }

std::unique_ptr<convert::InputFile> WinFileSystem::OpenRead(const std::wstring& path) {
  return OpenOverlappedRead(path, error_);
}

convert::CreateResult WinFileSystem::CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) {
  return CreateOverlappedNew(path, error_, file);
}

void WinFileSystem::Remove(const std::wstring& path) { DeleteFileW(path.c_str()); }

std::span<const std::uint8_t> EmbeddedStub() {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceExW(self, L"CUSTOM", MAKEINTRESOURCEW(101),
                              MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  if (!res) return {};
  HGLOBAL loaded = LoadResource(self, res);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(self, res)};
}

std::wstring ListedName(const std::wstring& path) {
  if (path.find_first_of(L"*?") != std::wstring::npos) return {};
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(path.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return {};
  FindClose(h);
  if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return {};
  return found.cFileName;
}

}  // namespace quillon::app
