#include "app/checks/proxy_order.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "runtime/convert.h"
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

// Full passes, then HTTP only, then HTTPS failed, intercepted TLS, the
// failures in the order of their kinds, checks running, unchecked.
int Rank(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::Passed: return 0;
    case CheckOutcome::PassedHttpOnly: return 1;
    case CheckOutcome::HttpsFailed: return 2;
    case CheckOutcome::CertificateError: return 3;
    case CheckOutcome::TimedOut: return 4;
    case CheckOutcome::Refused: return 5;
    case CheckOutcome::Unresolved: return 6;
    case CheckOutcome::Unreachable: return 7;
    case CheckOutcome::WrongContent: return 8;
    case CheckOutcome::InvalidResponse: return 9;
    case CheckOutcome::AuthenticationRequired: return 10;
    case CheckOutcome::Checking: return 11;
    case CheckOutcome::NotChecked: return 12;
  }
  return 12;
}

// 高匿 first, then 匿名, 透明, "?" and rows without a level.
int AnonymityRank(std::string_view text) {
  constexpr Anonymity kOrder[] = {Anonymity::kElite, Anonymity::kAnonymous, Anonymity::kTransparent, Anonymity::kUnknown};
  for (int rank = 0; rank < 4; ++rank)
    if (text == AnonymityText(kOrder[rank])) return rank;
  return 4;
}

// The groups of the passes: hiding the user, not known, 透明.
int AnonymityGroup(const CheckResult& result) {
  return HidesUser(result) ? 0 : result.anonymity == Anonymity::kUnknown ? 1 : 2;
}

}  // namespace

bool HidesUser(const CheckResult& result) {
  return IsPass(result) && (result.anonymity == Anonymity::kAnonymous || result.anonymity == Anonymity::kElite);
}

int CompareColumn(int column, std::string_view a, std::string_view b) {
  switch (column) {
    case kNumberColumn:
    case kPortColumn: return ByValue(a, b, Number).value_or(CompareText(a, b));
    case kSpeedColumn:
      return ByValue(a, b, Measured).value_or(ByValue(a, b, Percentage).value_or(CompareText(a, b)));
    case kAddressColumn: return ByValue(a, b, ParseIpv4).value_or(CompareNames(a, b));
    case kAnonymityColumn: return Order(AnonymityRank(a), AnonymityRank(b));
    default: return CompareText(a, b);
  }
}

int CompareResults(const CheckResult& a, const CheckResult& b) {
  if (const int rank = Order(Rank(a.outcome), Rank(b.outcome))) return rank;
  return HasTime(a) ? Order(a.milliseconds, b.milliseconds) : 0;
}

int ComparePasses(const CheckResult& a, const CheckResult& b) {
  if (const int group = Order(AnonymityGroup(a), AnonymityGroup(b))) return group;
  return CompareResults(a, b);
}

std::vector<std::size_t> PassesInOrder(std::span<const CheckResult> results) {
  std::vector<std::size_t> passes;
  for (std::size_t i = 0; i < results.size(); ++i)
    if (IsPass(results[i])) passes.push_back(i);
  std::stable_sort(passes.begin(), passes.end(),
                   [&](std::size_t a, std::size_t b) { return ComparePasses(results[a], results[b]) < 0; });
  return passes;
}

std::optional<std::size_t> FastestPassed(std::span<const CheckResult> results) {
  const std::vector<std::size_t> passes = PassesInOrder(results);
  if (passes.empty()) return std::nullopt;
  return passes.front();
}

}  // namespace vantoip
