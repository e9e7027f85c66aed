// quillon-convert: converting, inspecting and extracting movies from the command line. Portable:
// the files, the embedded stub and the console are reached through `Platform`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "projector.h"

namespace quillon::cli {

// Exit statuses, one per cause; a batch ends with the status of its first failure.
enum Status : int {
  kOk = 0,
  kUsage = 2,         // the arguments make no sense
  kCannotRead = 3,    // a movie or projector that is missing or cannot be read
  kEmptyMovie = 4,
  kTooLarge = 5,      // the output would reach 2 GiB
  kOutputExists = 6,  // never overwritten
  kCannotWrite = 7,
  kBadStub = 8,       // the player given with --stub cannot be read or is empty
  kNotAMovie = 9,     // --info: neither a movie nor a projector; --extract: no valid trailer
};

class Platform {
 public:
  virtual ~Platform() = default;
  virtual convert::FileSystem& Files() = 0;
  // The stub built into this program.
  virtual std::span<const std::uint8_t> EmbeddedStub() = 0;
  // The system's words for the last failed file operation since ClearError; empty for none.
  virtual std::wstring LastError() = 0;
  virtual void ClearError() = 0;
  virtual void Out(const std::wstring& text) = 0;  // standard output
  virtual void Err(const std::wstring& text) = 0;  // standard error
  virtual bool ErrIsTerminal() = 0;
  // Characters that separate folders in a path; the first is the one to write.
  virtual std::wstring_view Separators() = 0;
};

inline constexpr std::wstring_view kProgram = L"quillon-convert";

// Runs one command line (without the program's name); returns the exit status.
int Run(const std::vector<std::wstring>& args, Platform& platform);

// The text of --help.
std::wstring HelpText();

// `path` with the extension of its last part replaced by (or, without one, followed by) `ext`.
std::wstring WithExtension(const std::wstring& path, std::wstring_view ext, std::wstring_view separators);
// The last part of `path`.
std::wstring FileName(const std::wstring& path, std::wstring_view separators);

}  // namespace quillon::cli
