#include "win_overlapped.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "win_raii.h"

namespace quillon::app {
namespace {

// One operation in flight on a file opened for overlapped IO, with its own event.
class Operation {
 public:
  Operation() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;
  ~Operation() { Settle(); }

  bool ready() const { return static_cast<bool>(event_); }

  // Starts reading or writing `size` bytes at `offset`; false (with the error) when it could
  // not start. A read that starts at the end counts as started and gives 0 bytes.
  bool Start(HANDLE file, bool write, void* buffer, DWORD size, std::uint64_t offset) {
    ov_ = {};
    ov_.Offset = static_cast<DWORD>(offset);
    ov_.OffsetHigh = static_cast<DWORD>(offset >> 32);
    ov_.hEvent = event_.get();
    const BOOL done = write ? WriteFile(file, buffer, size, nullptr, &ov_) : ReadFile(file, buffer, size, nullptr, &ov_);
    if (done || GetLastError() == ERROR_IO_PENDING) {
      file_ = file;
      return true;
    }
    error_ = GetLastError();
    if (!write && error_ == ERROR_HANDLE_EOF) {
      atEnd_ = true;
      return true;
    }
    return false;
  }

  // Waits for the operation; the bytes it moved, nothing on failure.
  std::optional<DWORD> Wait() {
    if (atEnd_) {
      atEnd_ = false;
      return 0;
    }
    if (!file_) return std::nullopt;
    DWORD moved = 0;
    const BOOL ok = GetOverlappedResult(file_, &ov_, &moved, TRUE);
    file_ = nullptr;
    if (ok) return moved;
    error_ = GetLastError();
    if (error_ == ERROR_HANDLE_EOF) return 0;
    return std::nullopt;
  }

  DWORD error() const { return error_; }

 private:
  // A buffer must not go while the system still writes into it or reads from it.
  void Settle() {
    if (!file_) return;
    CancelIoEx(file_, &ov_);
    DWORD moved = 0;
    GetOverlappedResult(file_, &ov_, &moved, TRUE);
    file_ = nullptr;
  }

  UniqueHandle event_;
  OVERLAPPED ov_{};
  HANDLE file_ = nullptr;
  DWORD error_ = 0;
  bool atEnd_ = false;
};

class OverlappedInput final : public convert::InputFile {
 public:
  OverlappedInput(HANDLE h, ErrorSink errors) : h_(h), errors_(std::move(errors)) {}
  HANDLE handle() const { return h_.get(); }
  std::uint64_t& position() { return position_; }
  void Failed(DWORD error) { *errors_ = error; }

  std::optional<std::uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h_.get(), &size)) return Failed(GetLastError()), std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> into) override {
    Operation op;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(into.size(), kOverlappedBlock));
    if (!op.ready() || !op.Start(h_.get(), false, into.data(), want, position_)) return Failed(op.error()), std::nullopt;
    const auto got = op.Wait();
    if (!got) return Failed(op.error()), std::nullopt;
    position_ += *got;
    return *got;
  }
  bool Seek(std::uint64_t offset) override {
    position_ = offset;
    return true;
  }

 private:
  UniqueHandle h_;
  ErrorSink errors_;
  std::uint64_t position_ = 0;
};

// The copy's blocks, filled in turn by a reading thread and emptied in turn by the writer.
class Blocks {
 public:
  Blocks(std::size_t size, std::size_t count) : bytes_(count, std::vector<std::uint8_t>(size)), filled_(count, 0) {}
  std::size_t count() const { return bytes_.size(); }
  std::uint8_t* data(std::size_t i) { return bytes_[i].data(); }
  DWORD readError() const { return readError_; }

  // The reading thread: reads `length` bytes of `in` block by block.
  void Fill(OverlappedInput& in, std::uint64_t length) {
    Operation reading;
    std::uint64_t done = 0;
    for (std::size_t i = 0; done < length; i = (i + 1) % count()) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || filled_[i] == 0; });
        if (stop_) return;
      }
      const auto want = static_cast<DWORD>(std::min<std::uint64_t>(length - done, bytes_[i].size()));
      std::optional<DWORD> got;
      if (reading.ready() && reading.Start(in.handle(), false, bytes_[i].data(), want, in.position())) got = reading.Wait();
      std::lock_guard lock(mutex_);
      if (!got || *got == 0) {
        readError_ = got ? ERROR_HANDLE_EOF : reading.ready() ? reading.error() : GetLastError();
        failed_ = true;
        changed_.notify_all();
        return;
      }
      in.position() += *got;
      done += *got;
      filled_[i] = *got;
      changed_.notify_all();
    }
  }
  // The writer: waits for block `i`; its byte count, 0 when reading failed.
  DWORD Take(std::size_t i) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return filled_[i] != 0 || failed_; });
    return filled_[i];
  }
  void Give(std::size_t i) {
    std::lock_guard lock(mutex_);
    filled_[i] = 0;
    changed_.notify_all();
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

 private:
  std::vector<std::vector<std::uint8_t>> bytes_;
  std::vector<DWORD> filled_;  // bytes waiting to be written in each block, 0 when free
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false, failed_ = false;
  DWORD readError_ = 0;
};

// Ends the reading thread however the copy ends.
struct Joiner {
  std::thread& thread;
  Blocks& blocks;
  ~Joiner() {
    blocks.Stop();
    thread.join();
  }
};

class OverlappedOutput final : public convert::OutputFile {
 public:
  OverlappedOutput(HANDLE h, ErrorSink errors) : h_(h), errors_(std::move(errors)) {}
  ~OverlappedOutput() override {
    if (h_) CloseHandle(h_);
  }
  OverlappedOutput(const OverlappedOutput&) = delete;
  OverlappedOutput& operator=(const OverlappedOutput&) = delete;

  bool Write(std::span<const std::uint8_t> bytes) override {
    Operation op;
    while (!bytes.empty()) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kOverlappedBlock));
      if (!op.ready() || !op.Start(h_, true, const_cast<std::uint8_t*>(bytes.data()), want, position_))
        return Failed(op.error());
      const auto put = op.Wait();
      if (!put || *put == 0) return Failed(put ? ERROR_WRITE_FAULT : op.error());
      position_ += *put;
      bytes = bytes.subspan(*put);
    }
    return true;
  }

  // Two blocks: while one is written, the next is read into the other. The reads run on a
  // thread of their own, so they overlap the writes even where the system completes an
  // overlapped call before returning (as Wine does for disk files).
  convert::CopyResult AppendFrom(convert::InputFile& from, std::uint64_t length,
                                 const convert::CopyProgress& progress) override {
    auto* in = dynamic_cast<OverlappedInput*>(&from);
    if (!in) return OutputFile::AppendFrom(from, length, progress);
    if (length == 0) return convert::CopyResult::Done;
    const auto blockSize = static_cast<std::size_t>(std::min<std::uint64_t>(length, kOverlappedBlock));
    Blocks blocks(blockSize, length > blockSize ? 2 : 1);
    Operation writing;
    if (!writing.ready()) return Failed(GetLastError()), convert::CopyResult::WriteFailed;
    {
      std::thread reader([&] { blocks.Fill(*in, length); });
      Joiner join{reader, blocks};
      std::uint64_t done = 0;
      for (std::size_t i = 0; done < length; i = (i + 1) % blocks.count()) {
        const auto got = blocks.Take(i);
        // A movie that shrank while being copied cannot match the length already taken.
        if (got == 0) return in->Failed(blocks.readError()), convert::CopyResult::ReadFailed;
        if (!writing.Start(h_, true, blocks.data(i), got, position_)) return Failed(writing.error()), convert::CopyResult::WriteFailed;
        const auto put = writing.Wait();
        if (!put || *put != got) return Failed(put ? ERROR_WRITE_FAULT : writing.error()), convert::CopyResult::WriteFailed;
        position_ += got;
        done += got;
        blocks.Give(i);
        if (progress) progress(done, length);
      }
    }
    return convert::CopyResult::Done;
  }

  bool Close() override {
    if (!h_) return false;
    const bool ok = CloseHandle(std::exchange(h_, nullptr)) != 0;
    if (!ok) Failed(GetLastError());
    return ok;
  }

 private:
  bool Failed(DWORD error) {
    *errors_ = error;
    return false;
  }

  HANDLE h_;
  ErrorSink errors_;
  std::uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<convert::InputFile> OpenOverlappedRead(const std::wstring& path, const ErrorSink& errors) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *errors = GetLastError();
    return nullptr;
  }
  // A folder opens (with backup semantics) or fails; anything but a plain file is refused.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    *errors = ERROR_INVALID_FUNCTION;
    return nullptr;
  }
  return std::make_unique<OverlappedInput>(h, errors);
}

convert::CreateResult CreateOverlappedNew(const std::wstring& path, const ErrorSink& errors,
                                          std::unique_ptr<convert::OutputFile>& file) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return convert::CreateResult::AlreadyExists;
    *errors = error;
    return convert::CreateResult::Failed;
  }
  file = std::make_unique<OverlappedOutput>(h, errors);
  return convert::CreateResult::Created;
}

}  // namespace quillon::app
