// What the stand-in skinning library of the tests saw of its calls.
#pragma once

#include <cstdint>

namespace vantoip::test {

struct RecordedAttach {
  int calls = 0;
  bool dataIsNull = false;
  std::uint8_t head[6] = {};  // the first data bytes, when there were six
  int length = 0;
  bool textIsNull = false;
  int reserved[3] = {};
};

}  // namespace vantoip::test
