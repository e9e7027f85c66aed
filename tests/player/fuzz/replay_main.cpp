// Replays inputs through the fuzz target without libFuzzer: every file under the folders given,
// whole and cut short, so that the 32-bit build walks the reader's size arithmetic on the same
// inputs the fuzzer starts from. Exits 77 (skipped) when no input was found.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  // A cut movie claims more than it holds: the declared sizes must not be trusted.
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size() / 2);
}

}  // namespace

// Arguments are folders (every .swf under them) or single files.
int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::size_t inputs = 0;
  for (int i = 1; i < argc; ++i) {
    if (fs::is_regular_file(argv[i])) {
      Replay(argv[i]);
      ++inputs;
      continue;
    }
    std::error_code ec;
    for (fs::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_regular_file() || it->path().extension() != ".swf") continue;
      Replay(it->path());
      ++inputs;
    }
  }
  std::printf("replayed %zu inputs\n", inputs);
  return inputs > 0 ? 0 : 77;  // no corpus here: skipped, not passed
}
