// Shared by the Windows tests that build outputs and run them under Wine: build paths as
// Windows paths, whole-file reads and writes, and one run of an output through the report seam.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillon::test {

// Build paths are Linux paths in UTF-8; Wine shows the root as drive Z:.
inline std::wstring WinPath(const char* unixPath) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, nullptr, 0);
  if (n <= 1) return L"Z:";
  std::wstring tail(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, tail.data(), n);
  tail.resize(static_cast<std::size_t>(n - 1));
  for (auto& c : tail)
    if (c == L'/') c = L'\\';
  return L"Z:" + tail;
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& b) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

struct StubResult {
  DWORD exitCode = 0xFFFFFFFF;  // stays so when the program did not start or end in time
  std::string report;
};

// Starts an output with QUILLON_STUB_REPORT naming `reportFile`, waits for it (a minute at
// most) and reads what it reported.
inline StubResult RunStub(const std::wstring& exe, const std::wstring& reportFile) {
  DeleteFileW(reportFile.c_str());
  SetEnvironmentVariableW(L"QUILLON_STUB_REPORT", reportFile.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\"";
  StubResult run;
  if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &run.exitCode);
    else TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  SetEnvironmentVariableW(L"QUILLON_STUB_REPORT", nullptr);
  const auto r = ReadFileBytes(reportFile);
  run.report.assign(r.begin(), r.end());
  return run;
}

}  // namespace quillon::test
