// The text routines over arbitrary bytes: searches, splitting, trimming,
// space removal, cutting and number reading.
// Input: 4 option bytes, then text, 0, sought/delimiter.
#include <string>

#include "runtime/convert.h"
#include "runtime/text.h"
#include "runtime/text_array.h"
#include "tests/fuzz/fuzz_input.h"

namespace vantoip {
namespace {

unsigned char Fold(char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool SameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ignoreCase ? Fold(a[i]) != Fold(b[i]) : a[i] != b[i]) return false;
  return true;
}

std::string Join(const TextArray& parts, std::string_view delimiter) {
  std::string joined;
  for (int i = 1; i <= parts.Count(); ++i) joined += (i > 1 ? std::string(delimiter) : "") + parts[i];
  return joined;
}

void CheckSearches(const std::string& text, const std::string& sought, const fuzz::Options& o) {
  const std::optional<int> start = o.Bit(0, 0) ? std::optional(o.Integer(1)) : std::nullopt;
  const std::optional<bool> ignoreCase = o.Bit(0, 1) ? std::optional(o.Bit(0, 2)) : std::nullopt;
  const bool folds = ignoreCase.value_or(false);
  const auto size = static_cast<long long>(text.size());

  const int forward = FindText(text, sought, start, ignoreCase);
  FUZZ_CHECK(forward == -1 || (forward >= 1 && forward <= size));
  if (forward != -1 && !sought.empty()) {
    FUZZ_CHECK(forward - 1 + static_cast<long long>(sought.size()) <= size);
    FUZZ_CHECK(SameBytes(std::string_view(text).substr(forward - 1, sought.size()), sought, folds));
    if (start) FUZZ_CHECK(forward >= *start);
  }

  const int reverse = FindTextReverse(text, sought, start, ignoreCase);
  FUZZ_CHECK(reverse == -1 || (reverse >= 1 && reverse <= size));
  if (reverse != -1 && !sought.empty()) {
    const long long end = reverse - 1 + static_cast<long long>(sought.size());
    FUZZ_CHECK(end <= size);
    if (start) FUZZ_CHECK(end <= static_cast<long long>(*start) - 1);
    FUZZ_CHECK(SameBytes(std::string_view(text).substr(reverse - 1, sought.size()), sought, folds));
  }
  // Without a start both walk the same characters: the first match cannot follow the last.
  if (!start && forward != -1 && reverse != -1) FUZZ_CHECK(forward <= reverse);
}

void CheckSplit(const std::string& text, const std::string& delimiter, const fuzz::Options& o) {
  const TextArray whole = SplitText(text, delimiter);
  if (text.empty()) {
    FUZZ_CHECK(whole.Empty());
  } else if (delimiter.empty()) {
    FUZZ_CHECK(whole.Count() == 1 && whole[1] == text);
  } else {
    // Only an empty last piece is dropped: joining gives the text back, or the
    // text without its final delimiter.
    const std::string joined = Join(whole, delimiter);
    FUZZ_CHECK(joined == text || joined + delimiter == text);
  }
  const int maxParts = o.Integer(2);
  const TextArray limited = SplitText(text, delimiter, maxParts);
  FUZZ_CHECK(limited.Count() <= std::max(0, maxParts));
  for (int i = 1; i <= limited.Count(); ++i) FUZZ_CHECK(i <= whole.Count() && limited[i] == whole[i]);
  const TextArray byDefault = SplitText(text);
  FUZZ_CHECK(byDefault.Count() <= static_cast<int>(text.size()) + 1);
}

void CheckSpaces(const std::string& text) {
  const std::string trimmed = TrimText(text);
  FUZZ_CHECK(text.find(trimmed) != std::string::npos);
  FUZZ_CHECK(TrimText(trimmed) == trimmed);
  FUZZ_CHECK(trimmed.empty() || trimmed.front() != ' ');
  const std::string removed = RemoveSpaces(text);
  FUZZ_CHECK(removed.size() <= text.size());
  FUZZ_CHECK(RemoveSpaces(removed) == removed);
  FUZZ_CHECK(ToLowerText(text).size() == text.size());
  FUZZ_CHECK(ReplaceText(text, "", "x") == text);
}

void CheckCuts(const std::string& text, const fuzz::Options& o) {
  const int a = o.Integer(1), b = o.Integer(3);
  FUZZ_CHECK(static_cast<int>(LeftText(text, a).size()) <= std::max(0, a));
  FUZZ_CHECK(static_cast<int>(RightText(text, a).size()) <= std::max(0, a));
  const std::string mid = MidText(text, a, b);
  FUZZ_CHECK(static_cast<int>(mid.size()) <= std::max(0, b));
  if (!mid.empty()) FUZZ_CHECK(text.compare(a - 1, mid.size(), mid) == 0);
}

void CheckNumbers(const std::string& text) {
  const double number = ToNumber(text);
  static_cast<void>(ToInteger(text));
  static_cast<void>(ToText(number));
  static_cast<void>(ToInteger(number));
  static_cast<void>(TruncateToInteger(number));
}

}  // namespace
}  // namespace vantoip

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 4);
  const auto fields = fuzz::Fields(data, size, 2);
  const std::string& text = fields[0];
  const std::string& other = fields[1];
  CheckSearches(text, other, options);
  CheckSplit(text, other, options);
  CheckSpaces(text);
  CheckCuts(text, options);
  CheckNumbers(text);
  static_cast<void>(ReplaceText(text, other, "#"));
  return 0;
}
