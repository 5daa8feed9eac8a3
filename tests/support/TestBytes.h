// Test data that deflate can shrink, but not to nothing: runs of letters
// with pseudo-random bytes between them, the same for every run of a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ovtest {

inline std::string CompressibleBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = (i % 64 < 48) ? static_cast<char>('a' + i % 26) : static_cast<char>(x >> 24);
  }
  return bytes;
}

}  // namespace ovtest
