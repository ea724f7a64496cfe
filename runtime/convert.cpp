#include "runtime/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/text.h"

namespace vantoip {
namespace {

template <class... Args>
std::string Format(const char* format, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

// Full-width GBK characters (A3 A1..A3 FE) become their ASCII forms, the
// full-width space (A1 A1) an ASCII space; everything else is kept whole.
std::string ToHalfWidth(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t step = CharLength(text, i);
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = step == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (step == 2 && lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
      out += static_cast<char>(trail - 0x80);
    else if (step == 2 && lead == 0xA1 && trail == 0xA1)
      out += ' ';
    else
      out.append(text.substr(i, step));
    i += step;
  }
  return out;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the longest C decimal number at the start (after white space); 0 when there is none.
double ReadDecimal(std::string_view text, bool integerOnly) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  const std::size_t begin = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digitsStart = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  bool anyDigit = i > digitsStart;
  if (!integerOnly && i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    anyDigit = anyDigit || i > fractionStart;
  }
  if (!anyDigit) return 0;
  if (!integerOnly && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // The slice holds only sign, digits, fraction and exponent, so strtod reads
  // exactly it (the program never changes the C locale).
  const std::string number(text.substr(begin, i - begin));
  return std::strtod(number.c_str(), nullptr);
}

// Truncates toward zero, holding at the ends of Int's range; NaN gives 0.
template <class Int>
Int Saturate(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kTwoToTheBits = -static_cast<double>(std::numeric_limits<Int>::min());  // exact
  if (value >= kTwoToTheBits) return std::numeric_limits<Int>::max();
  if (value <= -kTwoToTheBits) return std::numeric_limits<Int>::min();
  return static_cast<Int>(value);  // conversion truncates whatever the FPU mode
}

}  // namespace

int BoundedNumberFrom(const char* text, int fallback, int low, int high) {
  if (!text || !*text) return fallback;
  long long n = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return fallback;
    n = std::min<long long>(n * 10 + (*c - '0'), high);
  }
  return static_cast<int>(std::clamp<long long>(n, low, high));
}

std::int64_t TruncateToInteger(double value) { return Saturate<std::int64_t>(value); }

CivilTime ToCivilTime(DateTime date) {
  // Beyond the OLE date range (1 January 100 to 31 December 9999 23:59:59) the
  // arithmetic below would overflow: such a date reads as the nearer end, and
  // a date that is not a number as the epoch.
  constexpr double kFirstDay = -657434, kLastDay = 2958465 + 86399 / 86400.0;
  const double clamped = std::isnan(date.days) ? 0 : std::clamp(date.days, kFirstDay, kLastDay);
  // Whole seconds since the epoch of the OLE date, rounded to the nearest second.
  const double totalSeconds = std::floor(clamped * 86400.0 + 0.5);
  std::int64_t days = static_cast<std::int64_t>(std::floor(totalSeconds / 86400.0));
  const auto secondOfDay = static_cast<int>(totalSeconds - static_cast<double>(days) * 86400.0);
  // Days from 1899-12-30 to the civil date (Howard Hinnant's days-to-civil).
  std::int64_t z = days - 25569 + 719468;  // 25569 = days from 1899-12-30 to 1970-01-01
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const auto year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return {year, static_cast<int>(month), static_cast<int>(day), secondOfDay / 3600,
          secondOfDay / 60 % 60, secondOfDay % 60};
}

std::string ToText(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) return v;
        else if constexpr (std::is_same_v<T, ByteBlock>) {
          std::string out;
          for (auto b : v) {
            if (b == 0) break;
            out += static_cast<char>(b);
          }
          return out;
        } else if constexpr (std::is_same_v<T, bool>) return v ? "真" : "假";
        else if constexpr (std::is_same_v<T, DateTime>) {
          const CivilTime t = ToCivilTime(v);
          std::string out = Format("%d年%d月%d日", t.year, t.month, t.day);
          if (t.second) out += Format("%d时%d分%d秒", t.hour, t.minute, t.second);
          else if (t.minute) out += Format("%d时%d分", t.hour, t.minute);
          else if (t.hour) out += Format("%d时", t.hour);
          return out;
        } else if constexpr (std::is_same_v<T, SubroutinePointer>) return Format("%u", v.address);
        else if constexpr (std::is_same_v<T, std::uint8_t>) return Format("%u", unsigned{v});
        else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>)
          return Format("%d", int{v});
        else if constexpr (std::is_same_v<T, std::int64_t>) return Format("%lld", static_cast<long long>(v));
        else if constexpr (std::is_same_v<T, float>) return Format("%.6g", double{v});
        else return Format("%.13g", v);
      },
      value);
}

double ToNumber(const Value& value) {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) return ReadDecimal(ToHalfWidth(v), false);
        else if constexpr (std::is_same_v<T, bool>) return v ? 1 : 0;
        else if constexpr (std::is_arithmetic_v<T>) return static_cast<double>(v);
        else return 0;
      },
      value);
}

std::int32_t ToInteger(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::int32_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) return Saturate<std::int32_t>(ReadDecimal(ToHalfWidth(v), true));
        else if constexpr (std::is_same_v<T, bool>) return v ? 1 : 0;
        else if constexpr (std::is_floating_point_v<T>) return Saturate<std::int32_t>(double{v});
        else if constexpr (std::is_arithmetic_v<T>) return static_cast<std::int32_t>(v);
        else return 0;
      },
      value);
}

std::string HexText(std::int32_t value) { return Format("%X", static_cast<std::uint32_t>(value)); }

double Remainder(std::initializer_list<double> values) {
  auto it = values.begin();
  double result = *it;
  for (++it; it != values.end(); ++it) {
    if (*it == 0) RaiseFatalError("不能求余数于零");
    result = std::fmod(result, *it);
  }
  return result;
}

std::int32_t BitOr(std::initializer_list<std::int32_t> values) {
  std::int32_t result = 0;
  for (auto v : values) result |= v;
  return result;
}

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
  std::uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    std::size_t digits = 0;
    std::uint32_t number = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 3)
      number = number * 10 + (text[digits++] - '0');
    if (digits == 0 || number > 255) return std::nullopt;
    text.remove_prefix(digits);
    value = value << 8 | number;
    if (part < 3) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
  }
  if (!text.empty()) return std::nullopt;
  return value;
}

}  // namespace vantoip
