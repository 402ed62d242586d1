// Reads back the data arrays of a .vtp file that the program wrote: inline binary arrays,
// base64 of a UInt64 byte count followed by the little-endian values. Decoded here on its
// own, so that a fault in the writer's encoding shows as a test failure.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vexmor::cli::test {

inline std::vector<uint8_t> DecodeBase64(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int held = 0;
  for (char c : text) {
    if (c == '=' || c == '\n' || c == ' ') continue;
    const size_t digit = kAlphabet.find(c);
    if (digit == std::string::npos) {
      ADD_FAILURE() << "not a base64 digit: '" << c << "'";
      return {};
    }
    bits = (bits << 6) | static_cast<uint32_t>(digit);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<uint8_t>(bits >> held));
    }
  }
  return out;
}

template <typename T>
T LittleEndianAt(const std::vector<uint8_t>& bytes, size_t at) {
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i)
    v |= uint64_t{bytes[at + i]} << (8 * i);
  T value;
  std::memcpy(&value, &v, sizeof(T));  // little-endian hosts only, like the rest of the tests
  return value;
}

// The values of the DataArray called `name`, the first one after `section` (e.g. "<Polys>",
// "<Points>") when given. Fails the test when it is missing or malformed.
inline std::vector<double> VtpArray(const std::string& vtp, const std::string& name,
                                    const std::string& section = "") {
  if (vtp.find("header_type=\"UInt64\"") == std::string::npos) {
    ADD_FAILURE() << "the file does not state header_type=\"UInt64\"";
    return {};
  }
  size_t from = section.empty() ? 0 : vtp.find(section);
  if (from == std::string::npos) {
    ADD_FAILURE() << "no " << section;
    return {};
  }
  size_t tag = vtp.find("<DataArray", from);
  if (!name.empty()) {
    const size_t named = vtp.find("Name=\"" + name + "\"", from);
    tag = named == std::string::npos ? named : vtp.rfind("<DataArray", named);
  }
  if (tag == std::string::npos) {
    ADD_FAILURE() << "no array " << name;
    return {};
  }
  const size_t open = vtp.find('>', tag);
  const std::string attributes = vtp.substr(tag, open - tag);
  EXPECT_NE(attributes.find("format=\"binary\""), std::string::npos) << attributes;
  const size_t close = vtp.find("</DataArray>", open);
  const std::vector<uint8_t> bytes = DecodeBase64(vtp.substr(open + 1, close - open - 1));
  if (bytes.size() < 8) {
    ADD_FAILURE() << "array " << name << " has no header";
    return {};
  }
  const auto size = LittleEndianAt<uint64_t>(bytes, 0);
  EXPECT_EQ(size, bytes.size() - 8) << "array " << name;
  std::vector<double> values;
  if (attributes.find("type=\"Float64\"") != std::string::npos) {
    for (size_t at = 8; at + 8 <= bytes.size(); at += 8)
      values.push_back(LittleEndianAt<double>(bytes, at));
  } else if (attributes.find("type=\"Int32\"") != std::string::npos) {
    for (size_t at = 8; at + 4 <= bytes.size(); at += 4)
      values.push_back(LittleEndianAt<int32_t>(bytes, at));
  } else {
    ADD_FAILURE() << "unexpected type in " << attributes;
  }
  return values;
}

}  // namespace vexmor::cli::test
