#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vellum::testing {

// A file of tests/data, read whole; empty when it is missing.
inline std::vector<uint8_t> ReadTestData(const std::string& name) {
  std::ifstream in(std::string(VELLUM_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vellum::testing
