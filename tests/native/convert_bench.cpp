// Converts one movie with the product's conversion procedure over POSIX files, for the
// benchmark script (scripts/bench-convert.sh). Usage: convert_bench STUB MOVIE OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "posix_files.h"
#include "projector.h"

namespace {

std::wstring Wide(const char* s) {
  std::wstring w;
  for (; *s; ++s) w.push_back(static_cast<unsigned char>(*s));  // ASCII paths only
  return w;
}

class BenchUi final : public quillon::convert::ConversionUi {
 public:
  std::vector<std::uint8_t> stub;
  std::wstring input, output, message;
  std::wstring InputDisplay() override { return input; }
  std::wstring OutputDisplay() override { return output; }
  void ClearOutputDisplay() override { output.clear(); }
  void SetEnabled(quillon::convert::Button, bool) override {}
  void ShowMessage(const std::wstring& text) override { message = text; }
  std::span<const std::uint8_t> Stub() override { return stub; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: convert_bench STUB MOVIE OUTPUT\n");
    return 2;
  }
  BenchUi ui;
  std::ifstream stub(argv[1], std::ios::binary);
  ui.stub.assign(std::istreambuf_iterator<char>(stub), {});
  ui.input = L"movie";
  ui.output = Wide(argv[3]);
  quillon::testing::PosixFileSystem files;
  const auto outcome = quillon::convert::StartConversion(ui, files, Wide(argv[2]));
  return outcome == quillon::convert::Outcome::Done ? 0 : 1;
}
