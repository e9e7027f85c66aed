// The conversion's file access over POSIX files, for native tests, with fault injection.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "projector.h"

namespace quillon::testing {

inline std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) {
    const auto u = static_cast<std::uint32_t>(c);
    if (u < 0x80) {
      s += static_cast<char>(u);
    } else if (u < 0x800) {
      s += static_cast<char>(0xC0 | (u >> 6));
      s += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      s += static_cast<char>(0xE0 | (u >> 12));
      s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (u >> 18));
      s += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return s;
}

class PosixInput final : public convert::InputFile {
 public:
  explicit PosixInput(int fd) : fd_(fd) {}
  ~PosixInput() override { ::close(fd_); }
  std::optional<std::uint64_t> Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> into) override {
    const ssize_t n = ::read(fd_, into.data(), into.size());
    if (n < 0) return std::nullopt;
    return static_cast<std::size_t>(n);
  }
  bool Seek(std::uint64_t offset) override { return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0; }

 private:
  int fd_;
};

class PosixOutput final : public convert::OutputFile {
 public:
  PosixOutput(int fd, std::uint64_t failAfter) : fd_(fd), left_(failAfter) {}
  ~PosixOutput() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Write(std::span<const std::uint8_t> bytes) override {
    // Simulates a full disk: writes up to the limit, then fails.
    const std::size_t allowed = bytes.size() <= left_ ? bytes.size() : static_cast<std::size_t>(left_);
    std::size_t done = 0;
    while (done < allowed) {
      const ssize_t n = ::write(fd_, bytes.data() + done, allowed - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    left_ -= allowed;
    return allowed == bytes.size();
  }
  bool Close() override {
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
  std::uint64_t left_;
};

class PosixFileSystem : public convert::FileSystem {
 public:
  std::uint64_t failWritesAfter = ~std::uint64_t{0};
  int openedForReading = 0;
  std::wstring createBeforeCreateNew;  // a file that appears between the check and the write

  bool Exists(const std::wstring& path) override {
    struct stat st;
    return ::stat(Narrow(path).c_str(), &st) == 0;
  }
  std::unique_ptr<convert::InputFile> OpenRead(const std::wstring& path) override {
    const int fd = ::open(Narrow(path).c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    ++openedForReading;
    return std::make_unique<PosixInput>(fd);
  }
  convert::CreateResult CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) override {
    if (!createBeforeCreateNew.empty()) {
      const int fd = ::open(Narrow(createBeforeCreateNew).c_str(), O_WRONLY | O_CREAT, 0644);
      if (fd >= 0) ::close(fd);
    }
    const int fd = ::open(Narrow(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return errno == EEXIST ? convert::CreateResult::AlreadyExists : convert::CreateResult::Failed;
    file = std::make_unique<PosixOutput>(fd, failWritesAfter);
    return convert::CreateResult::Created;
  }
  void Remove(const std::wstring& path) override { ::unlink(Narrow(path).c_str()); }
};

}  // namespace quillon::testing
