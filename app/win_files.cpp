#include "win_files.h"

#include <windows.h>

namespace quillon::app {
namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  bool Close() {
    const bool ok = valid() && CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

class WinInput final : public convert::InputFile {
 public:
  explicit WinInput(HANDLE h) : h_(h) {}
  std::optional<std::uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h_.get(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> into) override {
    DWORD got = 0;
    if (!ReadFile(h_.get(), into.data(), static_cast<DWORD>(into.size()), &got, nullptr)) return std::nullopt;
    return got;
  }

 private:
  Handle h_;
};

class WinOutput final : public convert::OutputFile {
 public:
  explicit WinOutput(HANDLE h) : h_(h) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      DWORD put = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      if (!WriteFile(h_.get(), bytes.data(), want, &put, nullptr) || put == 0) return false;
      bytes = bytes.subspan(put);
    }
    return true;
  }
  bool Close() override { return h_.Close(); }

 private:
  Handle h_;
};

}  // namespace

bool WinFileSystem::Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::unique_ptr<convert::InputFile> WinFileSystem::OpenRead(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinInput>(h);
}

convert::CreateResult WinFileSystem::CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? convert::CreateResult::AlreadyExists
                                                                        : convert::CreateResult::Failed;
  }
  file = std::make_unique<WinOutput>(h);
  return convert::CreateResult::Created;
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
