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
    case Outcome::NoStub: break;
  }
  return messages::kNoStub;
}

// Writes stub, movie and trailer into a fresh output; the caller removes it on failure.
Outcome WriteProjector(std::span<const std::uint8_t> stub, InputFile& in, std::uint64_t movieSize,
                       OutputFile& out) {
  if (!out.Write(stub)) return Outcome::CannotWrite;
  std::vector<std::uint8_t> chunk(kCopyChunk);
  std::uint64_t left = movieSize;
  while (left > 0) {
    const std::size_t want = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
    const auto got = in.Read(std::span(chunk.data(), want));
    // A movie that shrank while being copied cannot match the length already taken.
    if (!got || *got == 0) return Outcome::CannotRead;
    if (!out.Write(std::span<const std::uint8_t>(chunk.data(), *got))) return Outcome::CannotWrite;
    left -= *got;
  }
  const auto trailer = MakeTrailer(static_cast<std::uint32_t>(movieSize));
  if (!out.Write(trailer)) return Outcome::CannotWrite;
  return out.Close() ? Outcome::Done : Outcome::CannotWrite;
}

Outcome Convert(ConversionUi& ui, FileSystem& fs, const std::wstring& inputPath,
                const std::wstring& outputPath) {
  const auto stub = ui.Stub();
  if (stub.empty()) return Outcome::NoStub;
  auto in = fs.OpenRead(inputPath);
  if (!in) return Outcome::CannotRead;
  const auto size = in->Size();
  if (!size) return Outcome::CannotRead;
  if (*size == 0) return Outcome::EmptyMovie;
  if (*size > kMaxMovieSize) return Outcome::TooLarge;

  std::unique_ptr<OutputFile> out;
  switch (fs.CreateNew(outputPath, out)) {
    case CreateResult::AlreadyExists: return Outcome::OutputExists;
    case CreateResult::Failed: return Outcome::CannotWrite;
    case CreateResult::Created: break;
  }
  Outcome result = WriteProjector(stub, *in, *size, *out);
  out.reset();  // the handle must be closed before the file can be removed
  if (result != Outcome::Done) fs.Remove(outputPath);
  return result;
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
