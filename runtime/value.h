// Runtime values: a tagged value for the operations that accept "one value
// of any kind".
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "runtime/fatal.h"

namespace vantoip {

using ByteBlock = std::vector<std::uint8_t>;

// An OLE date: days since 30 December 1899, the fraction being the time of day.
struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

// Address of a routine, 32 bits as on the program's platform.
struct SubroutinePointer {
  std::uint32_t address = 0;
  bool operator==(const SubroutinePointer&) const = default;
};

using Value = std::variant<bool, DateTime, std::string, ByteBlock, SubroutinePointer, std::uint8_t,
                           std::int16_t, std::int32_t, std::int64_t, float, double>;

// The value as kind T; any other kind is fatal error 5 (type mismatch).
template <class T>
const T& ValueAs(const Value& value) {
  if (const T* p = std::get_if<T>(&value)) return *p;
  RaiseFatalError(kTypeMismatch);
}

}  // namespace vantoip
