// The projector output format (stub, movie, 8-byte trailer) and the conversion
// procedure behind the start button. Portable: files and the user interface are
// reached through the narrow interfaces below, supplied by the Win32 side or by tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quillon::convert {

// The trailer's first four bytes, read little-endian.
inline constexpr std::uint32_t kTrailerMagic = 0xFA123456u;
inline constexpr std::size_t kTrailerSize = 8;
// Lengths are held in signed 32-bit integers by the format's readers.
inline constexpr std::uint64_t kMaxMovieSize = 0x7FFFFFFFu;

std::array<std::uint8_t, kTrailerSize> MakeTrailer(std::uint32_t movieLength);

// Where a projector file's movie lies, read from its last 8 bytes; nothing when the
// trailer is missing or its length does not fit in the file.
struct MovieLocation {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
};
std::optional<MovieLocation> LocateMovie(std::span<const std::uint8_t, kTrailerSize> lastBytes,
                                         std::uint64_t fileSize);

class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::optional<std::uint64_t> Size() = 0;
  // Bytes read (0 at the end); nothing on a read error.
  virtual std::optional<std::size_t> Read(std::span<std::uint8_t> into) = 0;
  // Moves to `offset` from the start; false when the file cannot be positioned.
  virtual bool Seek(std::uint64_t /*offset*/) { return false; }
};

// A long copy's progress: bytes of the movie copied so far, of `total`.
using CopyProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

enum class CopyResult { Done, ReadFailed, WriteFailed };

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  // Appends the next `length` bytes of `in`. This one streams them through one buffer of
  // kCopyChunk bytes; a platform overrides it with its fastest file-to-file copy.
  virtual CopyResult AppendFrom(InputFile& in, std::uint64_t length, const CopyProgress& progress);
  // Flushes and closes; false when the data may not have reached the disk.
  virtual bool Close() = 0;
};

enum class CreateResult { Created, AlreadyExists, Failed };

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::wstring& path) = 0;  // a file or a folder
  // Opens for reading only; never creates.
  virtual std::unique_ptr<InputFile> OpenRead(const std::wstring& path) = 0;
  // Creates a new file, refusing one that exists (atomically).
  virtual CreateResult CreateNew(const std::wstring& path, std::unique_ptr<OutputFile>& file) = 0;
  virtual void Remove(const std::wstring& path) = 0;
};

// The three buttons the conversion disables while it runs, in the order it does so.
enum class Button { Select, Save, Start };

// What the start button's procedure sees of the main window.
class ConversionUi {
 public:
  virtual ~ConversionUi() = default;
  virtual std::wstring InputDisplay() = 0;   // caption of cmdopath
  virtual std::wstring OutputDisplay() = 0;  // caption of cmdspath
  virtual void ClearOutputDisplay() = 0;
  virtual void SetEnabled(Button button, bool enabled) = 0;
  virtual void ShowMessage(const std::wstring& text) = 0;  // modal, returns when dismissed
  // The projector stub's bytes; empty when it cannot be loaded.
  virtual std::span<const std::uint8_t> Stub() = 0;
};

namespace messages {
inline const std::wstring kNoInput = L"请选择要转换的文件！";
inline const std::wstring kNoOutput = L"请选择保存文件的路径！";
inline const std::wstring kOutputExists = L"文件已存在，请重新选择保存文件的路径！";
inline const std::wstring kDone = L"转换完成！";
inline const std::wstring kCannotRead = L"无法读取要转换的文件！";
inline const std::wstring kCannotWrite = L"无法写入保存文件，请重新选择保存文件的路径！";
inline const std::wstring kEmptyMovie = L"要转换的文件是空文件！";
inline const std::wstring kTooLarge = L"要转换的文件太大，不能超过 2GB！";
inline const std::wstring kNoStub = L"无法加载播放器程序！";
}  // namespace messages

enum class Outcome {
  NoInput, NoOutput, OutputExists, Done,
  CannotRead, CannotWrite, EmptyMovie, TooLarge, NoStub,
  NotProjector,  // a file to extract from whose last 8 bytes locate no movie
};

// Copy chunk: the movie is streamed, never held whole.
inline constexpr std::size_t kCopyChunk = 1u << 20;

// Writes stub + movie + trailer into the new file `outputPath` under the start button's rules
// (the output must not exist, the movie must be neither empty nor too large) without its
// messages; nothing is left behind on failure. Transform and the command line both write
// through it.
Outcome WriteProjectorFile(std::span<const std::uint8_t> stub, FileSystem& fs, const std::wstring& inputPath,
                           const std::wstring& outputPath, const CopyProgress& progress = {});

// Where the movie lies inside the projector file `in` of `size` bytes, read from its trailer.
std::optional<MovieLocation> LocateMovieIn(InputFile& in, std::uint64_t size);

// Writes the movie that the trailer of the projector `projectorPath` locates into the new file
// `outputPath`: Done, CannotRead, NotProjector, OutputExists or CannotWrite; nothing is left
// behind on failure.
Outcome ExtractMovie(FileSystem& fs, const std::wstring& projectorPath, const std::wstring& outputPath,
                     const CopyProgress& progress = {});

// The start button: validates the displays, then writes stub + movie + trailer.
// `inputPath` is the chosen movie's full path, kept beside the display that shows
// only its name, so the input never depends on the current directory.
Outcome StartConversion(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath);

// Writes the output after validation; shows its own messages and re-enables the buttons.
Outcome Transform(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath,
                  const std::wstring& outputPath);

}  // namespace quillon::convert
