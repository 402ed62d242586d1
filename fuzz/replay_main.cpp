// Replays kept fuzz inputs through one fuzz target without libFuzzer, so that the test suite
// runs every seed and every input that once failed under the sanitizers of its own build.
//   fuzz_replay TARGET FILE_OR_FOLDER...
// A target that aborts fails the test; so does a replay that finds no input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz_entries.h"

namespace {

const FuzzEntry* FindEntry(const char* name) {
  for (const FuzzEntry& entry : FuzzEntries())
    if (entry.name == name) return &entry;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const FuzzEntry* entry = argc > 1 ? FindEntry(argv[1]) : nullptr;
  if (entry == nullptr) {
    std::fprintf(stderr, "usage: fuzz_replay TARGET FILE_OR_FOLDER...\ntargets:");
    for (const FuzzEntry& known : FuzzEntries())
      std::fprintf(stderr, " %s", known.name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) {
    const fs::path path(argv[i]);
    if (fs::is_directory(path)) {
      for (const auto& item : fs::directory_iterator(path))
        if (item.is_regular_file()) inputs.push_back(item.path());
    } else if (fs::exists(path)) {
      inputs.push_back(path);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  // The library prints diagnostics on standard output; the replay only needs its own lines.
  std::FILE* out = fdopen(dup(fileno(stdout)), "w");
  std::freopen("/dev/null", "w", stdout);
  for (const fs::path& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s\n", path.c_str());
    entry->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(out, "%s: replayed %zu inputs\n", entry->name.c_str(), inputs.size());
  std::fclose(out);
  return inputs.empty() ? 1 : 0;
}
