// Runtime values: the kinds a value can have and a tagged value for the
// operations that accept "one value of any kind".
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "runtime/fatal.h"

namespace vantoip {

using ByteBlock = std::vector<std::uint8_t>;

enum class ValueKind : std::uint32_t {
  Omitted = 0,
  Logical = 0x80000002,
  DateTime = 0x80000003,
  Text = 0x80000004,
  Bytes = 0x80000005,
  SubroutinePointer = 0x80000006,
  Byte = 0x80000101,
  Short = 0x80000201,
  Integer = 0x80000301,
  LongInteger = 0x80000401,
  Float = 0x80000501,
  Double = 0x80000601,
  AutomationObject = 0x00010030,
  AutomationVariant = 0x00010031,
};
constexpr std::uint32_t kByReferenceBit = 0x20000000;

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
