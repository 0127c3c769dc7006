// The main of a fuzz target built without libFuzzer: it replays the inputs
// named on the command line (files, or directories of files, walked in name
// order) once each through LLVMFuzzerTestOneInput, so the corpora run as
// tests in every tree. Each input is named on stderr before it runs, so a
// failed check's abort follows the name of the input that failed. An argument
// that names nothing is a failure: a missing corpus must not pass as empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(argv[i])) {
      for (auto const& e : fs::recursive_directory_iterator(argv[i])) {
        if (e.is_regular_file())
          inputs.push_back(e.path());
      }
      std::sort(inputs.begin(), inputs.end());
    } else if (fs::is_regular_file(argv[i])) {
      inputs.emplace_back(argv[i]);
    }
    if (inputs.empty()) {
      std::fprintf(stderr, "%s: no inputs\n", argv[i]);
      return 1;
    }
    for (fs::path const& path : inputs) {
      std::fprintf(stderr, "replaying %s\n", path.c_str());
      std::ifstream in(path, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "%s: unreadable\n", path.c_str());
        return 1;
      }
      // Like libFuzzer, hand over a buffer of exactly the input's size.
      std::vector<std::uint8_t> const data((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(data.data(), data.size());
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed\n", replayed);
  return 0;
}
