// Module Public: start-up, allowing one running copy of the program.
#pragma once

#include <windows.h>

#include "win_raii.h"

namespace quillon::app {

inline constexpr wchar_t kInstanceName[] = L"Local\\Quillon.SingleInstance";

// Holds a named mutex for as long as it lives. The system drops the name with the last
// handle, so a copy that crashed or was killed leaves nothing behind that blocks the next.
class SingleInstance {
 public:
  explicit SingleInstance(const wchar_t* name = kInstanceName);
  // True when another live copy held the name first.
  bool AnotherRuns() const { return another_; }

 private:
  UniqueHandle mutex_;
  bool another_ = false;
};

// The program's entry: ends at once, with no window and no message, when a copy already
// runs; otherwise shows FormT and runs until it is unloaded. Returns the exit code.
int StartUp(HINSTANCE instance);

}  // namespace quillon::app
