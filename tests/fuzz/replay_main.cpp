// Replays inputs through a fuzz target without libFuzzer: every file named on
// the command line, and every file below every folder named (a missing folder
// is empty). Used by ctest, so the corpus and the crashes found so far are
// checked by every build, also with gcc and under the sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::fprintf(stderr, "replaying %s\n", file.string().c_str());
  // A copy of its own, so that reading past the end is caught by the sanitizers.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  int count = 0;
  for (int arg = 1; arg < argc; ++arg) {
    std::filesystem::path path(argv[arg]);
    if (std::filesystem::is_directory(path)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().filename() != "README") files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) Replay(file), ++count;
    } else if (std::filesystem::exists(path)) {
      Replay(path), ++count;
    }
  }
  std::fprintf(stderr, "%d inputs replayed\n", count);
  return 0;
}
