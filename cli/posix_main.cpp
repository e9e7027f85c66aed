// quillon-convert on Linux and other POSIX systems.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "command_line.h"
#include "posix_files.h"

// The player stub, the same bytes that Quillon.exe carries (embedded_stub.cpp).
extern "C" const unsigned char quillon_stub_begin[];
extern "C" const unsigned char quillon_stub_end[];

namespace quillon::cli {
namespace {

class PosixPlatform final : public Platform {
 public:
  convert::FileSystem& Files() override { return files_; }
  std::span<const std::uint8_t> EmbeddedStub() override {
    return {quillon_stub_begin, static_cast<std::size_t>(quillon_stub_end - quillon_stub_begin)};
  }
  std::wstring LastError() override {
    return files_.LastError() ? FromNative(std::strerror(files_.LastError())) : std::wstring();
  }
  void ClearError() override { files_.ClearError(); }
  void Out(const std::wstring& text) override { Put(stdout, text); }
  void Err(const std::wstring& text) override {
    Put(stderr, text);
    std::fflush(stderr);
  }
  bool ErrIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }
  std::wstring_view Separators() override { return L"/"; }

 private:
  static void Put(std::FILE* to, const std::wstring& text) {
    const std::string bytes = ToNative(text);
    std::fwrite(bytes.data(), 1, bytes.size(), to);
  }
  PosixFiles files_;
};

}  // namespace
}  // namespace quillon::cli

int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(quillon::cli::FromNative(argv[i]));
  quillon::cli::PosixPlatform platform;
  const int status = quillon::cli::Run(args, platform);
  return std::fflush(stdout) == 0 ? status : quillon::cli::kCannotWrite;
}
