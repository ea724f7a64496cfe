#include "web/header_text.h"

namespace vantoip {

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::optional<int> start, std::optional<bool> caseSensitive) {
  const Text from = ReplaceText(startMarker, "#引号", "\"");
  const Text to = ReplaceText(endMarker, "#引号", "\"");
  const bool ignoreCase = !caseSensitive.value_or(false);
  const int found = FindText(text, from, start.value_or(0), ignoreCase);
  const int after = found == -1 ? -1 : found + TextLength(from);
  const int end = FindText(text, to, after, ignoreCase);
  if (found == -1 || end == -1) return {};
  return MidText(text, after, end - after);
}

Text HeaderValue(std::string_view text) {
  const int colon = FindText(text, ":");
  if (colon == -1) return {};
  return TrimText(RightText(text, TextLength(text) - colon));
}

}  // namespace vantoip
