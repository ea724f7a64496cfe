// What the fuzz targets share: the input taken apart into fields, and a check
// that stops the run (libFuzzer saves the input) when a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace vantoip::fuzz {

// The input as `count` texts separated by zero bytes (a text of the program
// holds none); missing fields are empty, the last one takes the rest whole.
inline std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> fields(count);
  std::size_t field = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && field + 1 < count) ++field;
    else fields[field] += static_cast<char>(data[i]);
  }
  return fields;
}

// Option bits and small numbers, taken from the front of the input.
class Options {
 public:
  Options(const std::uint8_t*& data, std::size_t& size, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
      bytes_.push_back(size ? *data : 0);
      if (size) ++data, --size;
    }
  }
  bool Bit(std::size_t byte, int bit) const { return (bytes_.at(byte) >> bit) & 1; }
  std::uint8_t Byte(std::size_t byte) const { return bytes_.at(byte); }
  // A position-like integer: mostly small, sometimes at the edges of the range.
  int Integer(std::size_t byte) const {
    const auto b = static_cast<std::int8_t>(bytes_.at(byte));
    if (b == -128) return INT32_MIN;
    if (b == 127) return INT32_MAX;
    return b;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace vantoip::fuzz
