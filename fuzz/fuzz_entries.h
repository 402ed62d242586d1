// The fuzz targets that the replay program holds: each target's entry, compiled under a name
// of its own, listed by fuzz/CMakeLists.txt in a file it writes into the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FuzzEntry {
  std::string name;  // the target's name, as its corpus folder is named
  int (*run)(const uint8_t* data, size_t size);
};

const std::vector<FuzzEntry>& FuzzEntries();
