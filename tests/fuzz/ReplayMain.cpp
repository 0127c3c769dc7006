// The main of a fuzz target built without libFuzzer: it replays the inputs
// named on the command line (files, or directories of files, walked in name
// order) once each through LLVMFuzzerTestOneInput, so the corpora run as
// tests in every tree. A failed check aborts; the abort handler then names
// the input being replayed. An argument that names nothing, or no input at
// all, is a failure too: a missing corpus must not pass as an empty one.
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size);

namespace {

// The input being replayed, for the abort handler (which may only write).
std::string current;

extern "C" void reportInput(int) {
  static char const kWhile[] = "while replaying ";
  (void)!write(STDERR_FILENO, kWhile, sizeof kWhile - 1);
  (void)!write(STDERR_FILENO, current.data(), current.size());
  (void)!write(STDERR_FILENO, "\n", 1);
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
}

std::vector<std::filesystem::path> inputsOf(std::filesystem::path const& arg) {
  std::vector<std::filesystem::path> out;
  if (std::filesystem::is_regular_file(arg))
    out.push_back(arg);
  else if (std::filesystem::is_directory(arg)) {
    for (auto const& e : std::filesystem::recursive_directory_iterator(arg)) {
      if (e.is_regular_file())
        out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGABRT, reportInput);
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<std::filesystem::path> const inputs = inputsOf(argv[i]);
    if (inputs.empty()) {
      std::fprintf(stderr, "%s: no inputs\n", argv[i]);
      return 1;
    }
    for (auto const& path : inputs) {
      current = path.string();
      std::ifstream in(path, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "%s: unreadable\n", current.c_str());
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
  return replayed == 0 ? 1 : 0;
}
