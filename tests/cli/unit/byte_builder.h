// Builds the bytes of small binary mesh files in tests, in either byte order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace vexmor::cli::test {

class Bytes {
 public:
  explicit Bytes(bool bigEndian = false) : big_(bigEndian) {}
  Bytes& text(const std::string& s) {
    data_ += s;
    return *this;
  }
  template <typename T>
  Bytes& put(T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (big_) std::reverse(raw, raw + sizeof(T));
    data_.append(raw, sizeof(T));
    return *this;
  }
  const std::string& str() const { return data_; }

 private:
  bool big_;
  std::string data_;
};

}  // namespace vexmor::cli::test
