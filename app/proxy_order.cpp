#include "app/proxy_order.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "runtime/text.h"

namespace vantoip {
namespace {

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Digits with an optional fraction ("80", "12.5"); nothing for any other text.
std::optional<double> Number(std::string_view text) {
  double value = 0, scale = 0;
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
      if (scale == 0) value = value * 10 + (c - '0');
      else value += (c - '0') * (scale /= 10);
    } else if (c == '.' && scale == 0 && digit) {
      scale = 1;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  return value;
}

std::optional<double> Measured(std::string_view text) {
  if (!text.ends_with(" ms")) return std::nullopt;
  return Number(text.substr(0, text.size() - 3));
}

std::optional<double> Percentage(std::string_view text) {
  if (!text.empty() && text.back() == '%') text.remove_suffix(1);
  return Number(Trimmed(text));
}

// The address's 32-bit value; nothing unless four dotted numbers up to 255.
std::optional<std::uint32_t> Ipv4(std::string_view text) {
  std::uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t end = part < 3 ? text.find('.') : text.size();
    const std::string_view digits = text.substr(0, end);
    if (end == std::string_view::npos || digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    const std::uint32_t number = std::stoul(std::string(digits));
    if (number > 255) return std::nullopt;
    value = value << 8 | number;
    text.remove_prefix(part < 3 ? end + 1 : end);
  }
  return value;
}

// Texts with a value first, by the value; nothing when neither has one.
template <class Parse>
std::optional<int> ByValue(std::string_view a, std::string_view b, Parse parse) {
  const auto x = parse(Trimmed(a)), y = parse(Trimmed(b));
  if (x && y) return Order(*x, *y);
  if (x || y) return x ? -1 : 1;
  return std::nullopt;
}

// Host names alphabetically, case aside.
int CompareNames(std::string_view a, std::string_view b) {
  const int names = CompareText(ToLowerText(a), ToLowerText(b));
  return names ? names : CompareText(a, b);
}

// Passes, the failures in the order of their kinds, checks running, unchecked.
int Rank(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::Passed:
    case CheckOutcome::PassedHttpOnly: return 0;
    case CheckOutcome::TimedOut: return 1;
    case CheckOutcome::Refused: return 2;
    case CheckOutcome::WrongContent: return 3;
    case CheckOutcome::InvalidResponse: return 4;
    case CheckOutcome::Checking: return 5;
    case CheckOutcome::NotChecked: return 6;
  }
  return 6;
}

}  // namespace

int CompareColumn(int column, std::string_view a, std::string_view b) {
  switch (column) {
    case kNumberColumn:
    case kPortColumn: return ByValue(a, b, Number).value_or(CompareText(a, b));
    case kSpeedColumn:
      return ByValue(a, b, Measured).value_or(ByValue(a, b, Percentage).value_or(CompareText(a, b)));
    case kAddressColumn: return ByValue(a, b, Ipv4).value_or(CompareNames(a, b));
    default: return CompareText(a, b);
  }
}

int CompareResults(const CheckResult& a, const CheckResult& b) {
  if (const int rank = Order(Rank(a.outcome), Rank(b.outcome))) return rank;
  if (!IsPass(a)) return 0;
  if (const int time = Order(a.milliseconds, b.milliseconds)) return time;
  return Order(a.outcome != CheckOutcome::Passed, b.outcome != CheckOutcome::Passed);
}

std::optional<std::size_t> FastestPassed(std::span<const CheckResult> results) {
  std::optional<std::size_t> best;
  const auto better = [&](const CheckResult& r) {
    const CheckResult& b = results[*best];
    if (r.outcome != b.outcome) return r.outcome == CheckOutcome::Passed;
    return r.milliseconds < b.milliseconds;
  };
  for (std::size_t i = 0; i < results.size(); ++i)
    if (IsPass(results[i]) && (!best || better(results[i]))) best = i;
  return best;
}

}  // namespace vantoip
