#include "posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace quillon::cli {
namespace {

constexpr wchar_t kEscapeBase = 0xDC80;
// With a progress bar, one kernel copy call moves at most this much, so the bar moves as it goes.
constexpr std::size_t kKernelCopyStep = 16u << 20;
// The buffer of the copy through user space, where the kernel cannot copy between the files.
constexpr std::size_t kFallbackBuffer = 4u << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const bool ok = fd_ >= 0 && ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

class PosixInput final : public convert::InputFile {
 public:
  PosixInput(int fd, std::shared_ptr<int> error) : fd_(fd), error_(std::move(error)) {}
  int fd() const { return fd_.get(); }
  void Failed(int err) { *error_ = err; }

  std::optional<std::uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_.get(), &st) != 0) return Failed(errno), std::nullopt;
    if (S_ISDIR(st.st_mode)) return Failed(EISDIR), std::nullopt;
    if (!S_ISREG(st.st_mode)) return Failed(EINVAL), std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> into) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), into.data(), into.size());
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) return Failed(errno), std::nullopt;
    }
  }
  bool Seek(std::uint64_t offset) override {
    if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
    Failed(errno);
    return false;
  }

 private:
  Fd fd_;
  std::shared_ptr<int> error_;
};

// Errors that belong to the file written rather than the one read.
bool IsWriteError(int err) {
  return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS || err == EPERM;
}

class PosixOutput final : public convert::OutputFile {
 public:
  PosixOutput(int fd, std::shared_ptr<int> error) : fd_(fd), error_(std::move(error)) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_.get(), bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        *error_ = n < 0 ? errno : ENOSPC;
        return false;
      }
      bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
  }

  convert::CopyResult AppendFrom(convert::InputFile& in, std::uint64_t length,
                                 const convert::CopyProgress& progress) override {
    auto* file = dynamic_cast<PosixInput*>(&in);
    if (!file) return OutputFile::AppendFrom(in, length, progress);
    ::posix_fadvise(file->fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // Blocks reserved at once copy faster than blocks found on the way, and a full disk shows
    // before anything is copied. Where the file system cannot reserve, the copy goes on anyway.
    // The file keeps its size: what follows the copy, if anything, is the caller's.
    if (const off_t at = ::lseek(fd_.get(), 0, SEEK_CUR); at >= 0 && length > 0) {
      if (::fallocate(fd_.get(), FALLOC_FL_KEEP_SIZE, at, static_cast<off_t>(length)) != 0 && IsWriteError(errno) &&
          errno != EPERM) {
        *error_ = errno;
        return convert::CopyResult::WriteFailed;
      }
    }
    // Without a progress bar, one call copies everything.
    const std::uint64_t most = progress ? kKernelCopyStep : length;
    std::uint64_t done = 0;
    while (done < length) {
      const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, most));
      const ssize_t n = ::copy_file_range(file->fd(), nullptr, fd_.get(), nullptr, step, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && done == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                                 errno == EBADF)) {
        return CopyThroughBuffer(*file, length, progress);  // files the kernel cannot copy between
      }
      if (n < 0) {
        const int err = errno;
        *error_ = err;
        return IsWriteError(err) ? convert::CopyResult::WriteFailed : convert::CopyResult::ReadFailed;
      }
      // A movie that shrank while being copied cannot match the length already taken.
      if (n == 0) return convert::CopyResult::ReadFailed;
      done += static_cast<std::uint64_t>(n);
      if (progress) progress(done, length);
    }
    return convert::CopyResult::Done;
  }

  bool Close() override {
    if (fd_.Close()) return true;
    *error_ = errno;
    return false;
  }

 private:
  convert::CopyResult CopyThroughBuffer(PosixInput& in, std::uint64_t length, const convert::CopyProgress& progress) {
    std::vector<std::uint8_t> buffer(kFallbackBuffer);
    std::uint64_t done = 0;
    while (done < length) {
      const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, buffer.size()));
      const auto got = in.Read(std::span(buffer.data(), want));
      if (!got || *got == 0) return convert::CopyResult::ReadFailed;
      if (!Write(std::span<const std::uint8_t>(buffer.data(), *got))) return convert::CopyResult::WriteFailed;
      done += *got;
      if (progress) progress(done, length);
    }
    return convert::CopyResult::Done;
  }

  Fd fd_;
  std::shared_ptr<int> error_;
};

}  // namespace

std::wstring FromNative(std::string_view s) {
  std::wstring w;
  w.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1Fu) : extra == 2 ? (b & 0x0Fu) : (b & 0x07u);
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto cont = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cont & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode do not decode.
    static constexpr char32_t kMinFor[] = {0, 0x80, 0x800, 0x10000};
    if (ok && (c < kMinFor[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) ok = false;
    if (!ok) {
      w.push_back(static_cast<wchar_t>(kEscapeBase + b - 0x80));
      ++i;
      continue;
    }
    w.push_back(static_cast<wchar_t>(c));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return w;
}

std::string ToNative(std::wstring_view w) {
  std::string s;
  for (wchar_t wc : w) {
    const auto u = static_cast<std::uint32_t>(wc);
    if (u >= kEscapeBase && u <= kEscapeBase + 0x7F) {
      s += static_cast<char>(u - kEscapeBase + 0x80);
    } else if (u < 0x80) {
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

bool PosixFiles::Exists(const std::wstring& path) {
  struct stat st;
  return ::stat(ToNative(path).c_str(), &st) == 0;
}

std::unique_ptr<convert::InputFile> PosixFiles::OpenRead(const std::wstring& path) {
  const int fd = ::open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error_ = errno;
    return nullptr;
  }
  return std::make_unique<PosixInput>(fd, error_);
}

convert::CreateResult PosixFiles::CreateNew(const std::wstring& path, std::unique_ptr<convert::OutputFile>& file) {
  const int fd = ::open(ToNative(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return convert::CreateResult::AlreadyExists;
    *error_ = errno;
    return convert::CreateResult::Failed;
  }
  file = std::make_unique<PosixOutput>(fd, error_);
  return convert::CreateResult::Created;
}

void PosixFiles::Remove(const std::wstring& path) { ::unlink(ToNative(path).c_str()); }

}  // namespace quillon::cli
