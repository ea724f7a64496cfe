// Conversions and arithmetic on runtime values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace vantoip {

// Drops the fraction (toward zero), saturating at the 64-bit range.
std::int64_t TruncateToInteger(double value);
// A number's text: `fallback` for a null, empty or non-decimal text, else the
// number kept within [low, high], however many digits it has.
int BoundedNumberFrom(const char* text, int fallback, int low, int high);

std::string ToText(const Value& value);
double ToNumber(const Value& value);
std::int32_t ToInteger(const Value& value);
std::string HexText(std::int32_t value);
// A dotted IPv4 address's value (host order); none for anything else.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// Floating remainder of the first by each following one in turn; a zero
// divisor is a fatal error.
double Remainder(std::initializer_list<double> values);
std::int32_t BitOr(std::initializer_list<std::int32_t> values);

// Calendar parts of an OLE date (days since 30 December 1899); dates outside
// the years 100 to 9999 are taken as the nearer end of that range.
struct CivilTime {
  int year, month, day, hour, minute, second;
};
CivilTime ToCivilTime(DateTime date);

}  // namespace vantoip
