#include "projector.h"

#include <vector>

namespace quillon::convert {

std::array<std::uint8_t, kTrailerSize> MakeTrailer(std::uint32_t movieLength) {
  std::array<std::uint8_t, kTrailerSize> t{};
  for (int i = 0; i < 4; ++i) {
    t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(kTrailerMagic >> (8 * i));
    t[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(movieLength >> (8 * i));
  }
  return t;
}

std::optional<MovieLocation> LocateMovie(std::span<const std::uint8_t, kTrailerSize> lastBytes,
                                         std::uint64_t fileSize) {
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(lastBytes[at]) | static_cast<std::uint32_t>(lastBytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(lastBytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(lastBytes[at + 3]) << 24;
  };
  if (fileSize < kTrailerSize || le32(0) != kTrailerMagic) return std::nullopt;
  const std::uint32_t length = le32(4);
  if (length > fileSize - kTrailerSize) return std::nullopt;
  return MovieLocation{fileSize - kTrailerSize - length, length};
}

namespace {

const std::wstring& MessageFor(Outcome o) {
  switch (o) {
    case Outcome::NoInput: return messages::kNoInput;
    case Outcome::NoOutput: return messages::kNoOutput;
    case Outcome::OutputExists: return messages::kOutputExists;
    case Outcome::Done: return messages::kDone;
    case Outcome::CannotRead: return messages::kCannotRead;
    case Outcome::CannotWrite: return messages::kCannotWrite;
    case Outcome::EmptyMovie: return messages::kEmptyMovie;
    case Outcome::TooLarge: return messages::kTooLarge;
    case Outcome::NotProjector: return messages::kCannotRead;  // the window never extracts
    case Outcome::NoStub: break;
  }
  return messages::kNoStub;
}

// Writes stub, movie and trailer into a fresh output; the caller removes it on failure.
Outcome WriteProjector(std::span<const std::uint8_t> stub, InputFile& in, std::uint64_t movieSize,
                       OutputFile& out, const CopyProgress& progress) {
  if (!out.Write(stub)) return Outcome::CannotWrite;
  switch (out.AppendFrom(in, movieSize, progress)) {
    case CopyResult::ReadFailed: return Outcome::CannotRead;
    case CopyResult::WriteFailed: return Outcome::CannotWrite;
    case CopyResult::Done: break;
  }
  const auto trailer = MakeTrailer(static_cast<std::uint32_t>(movieSize));
  return out.Write(trailer) ? Outcome::Done : Outcome::CannotWrite;
}

}  // namespace

CopyResult OutputFile::AppendFrom(InputFile& in, std::uint64_t length, const CopyProgress& progress) {
  std::vector<std::uint8_t> chunk(kCopyChunk);
  std::uint64_t left = length;
  while (left > 0) {
    const std::size_t want = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
    const auto got = in.Read(std::span(chunk.data(), want));
    // A movie that shrank while being copied cannot match the length already taken.
    if (!got || *got == 0) return CopyResult::ReadFailed;
    if (!Write(std::span<const std::uint8_t>(chunk.data(), *got))) return CopyResult::WriteFailed;
    left -= *got;
    if (progress) progress(length - left, length);
  }
  return CopyResult::Done;
}

Outcome WriteProjectorFile(std::span<const std::uint8_t> stub, FileSystem& fs, const std::wstring& inputPath,
                           const std::wstring& outputPath, const CopyProgress& progress) {
  if (stub.empty()) return Outcome::NoStub;
  auto in = fs.OpenRead(inputPath);
  if (!in) return Outcome::CannotRead;
  const auto size = in->Size();
  if (!size) return Outcome::CannotRead;
  if (*size == 0) return Outcome::EmptyMovie;
  // The output's length is held in the same signed 32 bits as the movie's.
  if (*size > kMaxMovieSize || stub.size() + *size + kTrailerSize > kMaxMovieSize) return Outcome::TooLarge;

  std::unique_ptr<OutputFile> out;
  switch (fs.CreateNew(outputPath, out)) {
    case CreateResult::AlreadyExists: return Outcome::OutputExists;
    case CreateResult::Failed: return Outcome::CannotWrite;
    case CreateResult::Created: break;
  }
  Outcome result = WriteProjector(stub, *in, *size, *out, progress);
  in.reset();  // the movie is closed first, then the output
  if (result == Outcome::Done && !out->Close()) result = Outcome::CannotWrite;
  out.reset();  // the handle must be closed before the file can be removed
  if (result != Outcome::Done) fs.Remove(outputPath);
  return result;
}

std::optional<MovieLocation> LocateMovieIn(InputFile& in, std::uint64_t size) {
  if (size < kTrailerSize || !in.Seek(size - kTrailerSize)) return std::nullopt;
  std::array<std::uint8_t, kTrailerSize> last{};
  std::size_t have = 0;
  while (have < last.size()) {
    const auto got = in.Read(std::span(last).subspan(have));
    if (!got || *got == 0) return std::nullopt;
    have += *got;
  }
  return LocateMovie(last, size);
}

Outcome ExtractMovie(FileSystem& fs, const std::wstring& projectorPath, const std::wstring& outputPath,
                     const CopyProgress& progress) {
  auto in = fs.OpenRead(projectorPath);
  if (!in) return Outcome::CannotRead;
  const auto size = in->Size();
  if (!size) return Outcome::CannotRead;
  const auto at = LocateMovieIn(*in, *size);
  if (!at || at->length == 0) return Outcome::NotProjector;  // a trailer around nothing holds no movie
  if (!in->Seek(at->offset)) return Outcome::CannotRead;

  std::unique_ptr<OutputFile> out;
  switch (fs.CreateNew(outputPath, out)) {
    case CreateResult::AlreadyExists: return Outcome::OutputExists;
    case CreateResult::Failed: return Outcome::CannotWrite;
    case CreateResult::Created: break;
  }
  Outcome result = Outcome::Done;
  switch (out->AppendFrom(*in, at->length, progress)) {
    case CopyResult::ReadFailed: result = Outcome::CannotRead; break;
    case CopyResult::WriteFailed: result = Outcome::CannotWrite; break;
    case CopyResult::Done: break;
  }
  in.reset();
  if (result == Outcome::Done && !out->Close()) result = Outcome::CannotWrite;
  out.reset();
  if (result != Outcome::Done) fs.Remove(outputPath);
  return result;
}

namespace {

Outcome Convert(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath,
                const std::wstring& outputPath) {
  return WriteProjectorFile(ui.Stub(), fs, inputPath, outputPath);
}

}  // namespace

Outcome Transform(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath,
                  const std::wstring& outputPath) {
  ui.SetEnabled(Button::Select, false);
  ui.SetEnabled(Button::Save, false);
  ui.SetEnabled(Button::Start, false);
  const Outcome result = Convert(ui, fs, inputPath, outputPath);
  ui.ShowMessage(MessageFor(result));
  // An output that appeared after the check is refused like the check itself.
  if (result == Outcome::OutputExists) ui.ClearOutputDisplay();
  ui.SetEnabled(Button::Select, true);
  ui.SetEnabled(Button::Save, true);
  ui.SetEnabled(Button::Start, true);
  return result;
}

Outcome StartConversion(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath) {
  if (ui.InputDisplay().empty()) {
    ui.ShowMessage(messages::kNoInput);
    return Outcome::NoInput;
  }
  const std::wstring output = ui.OutputDisplay();
  if (output.empty()) {
    ui.ShowMessage(messages::kNoOutput);
    return Outcome::NoOutput;
  }
  if (fs.Exists(output)) {
    ui.ShowMessage(messages::kOutputExists);
    ui.ClearOutputDisplay();
    return Outcome::OutputExists;
  }
  return Transform(ui, fs, inputPath, output);
}

}  // namespace quillon::convert
