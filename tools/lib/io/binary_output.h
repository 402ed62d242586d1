// Binary result and mesh files store numbers little-endian whatever the machine.
#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace vexmor::cli {

template <typename T>
void AppendLittleEndian(std::string& out, T value) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(raw, raw + sizeof(T));
  out.append(raw, sizeof(T));
}

}  // namespace vexmor::cli
