// Files of the conversion opened for overlapped IO: a movie is copied in large blocks, the read
// of the next block running while the last one is written.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "projector.h"

namespace quillon::app {

// The system's error code of the last failure reported through a file made here.
using ErrorSink = std::shared_ptr<DWORD>;

// Opens for reading only; nothing (with the error in `errors`) when the file cannot be opened.
std::unique_ptr<convert::InputFile> OpenOverlappedRead(const std::wstring& path, const ErrorSink& errors);

// Creates a new file, refusing one that exists.
convert::CreateResult CreateOverlappedNew(const std::wstring& path, const ErrorSink& errors,
                                          std::unique_ptr<convert::OutputFile>& file);

// The size of one block of the copy; two are in use at a time.
inline constexpr DWORD kOverlappedBlock = 8u << 20;

}  // namespace quillon::app
