// Replays files through a fuzz harness without libFuzzer: the first argument names the harness,
// then every file named on the command line, and every file inside every folder named there, in
// name order. A finding aborts the process; otherwise the exit status is 0, or 1 when a path
// could not be read at all, and 2 when no harness has the name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "replay_harnesses.h"

namespace {

namespace fs = std::filesystem;

const ReplayHarness* HarnessNamed(const char* i_name) {
  for (const ReplayHarness* harness = kReplayHarnesses; harness->name; ++harness) {
    if (std::strcmp(harness->name, i_name) == 0) return harness;
  }
  return nullptr;
}

bool Replay(const ReplayHarness& i_harness, const fs::path& i_file) {
  std::ifstream in(i_file, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  i_harness.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const ReplayHarness* harness = argc > 1 ? HarnessNamed(argv[1]) : nullptr;
  if (!harness) {
    std::fprintf(stderr, "usage: fuzz_replay HARNESS [FILE|FOLDER]...\n");
    return 2;
  }
  std::size_t replayed = 0;
  bool unreadable = false;
  for (int i = 2; i < argc; ++i) {
    std::error_code ec;
    std::vector<fs::path> files;
    if (fs::is_directory(argv[i], ec)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], ec)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    } else {
      files.emplace_back(argv[i]);
    }
    for (const fs::path& file : files) {
      if (Replay(*harness, file)) {
        ++replayed;
      } else {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        unreadable = true;
      }
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return unreadable ? 1 : 0;
}
