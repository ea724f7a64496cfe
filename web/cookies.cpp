#include "web/cookies.h"

namespace vantoip {

Text CookieName(std::string_view item) {
  const int equals = FindText(item, "=");
  return TrimText(equals == -1 ? item : std::string_view(item).substr(0, equals - 1));
}

bool HasCookieNamed(const TextArray& items, std::string_view name) {
  for (const Text& item : items)
    if (CookieName(item) == name) return true;
  return false;
}

Text MergeCookies(Text& stored, Text& received) {
  stored = RemoveSpaces(stored);
  received = RemoveSpaces(received);
  const TextArray old = SplitText(stored, ";");
  TextArray merged = SplitText(received, ";");
  // Checked against the growing list, so a repeated stored name is kept once.
  for (const Text& item : old)
    if (!HasCookieNamed(merged, CookieName(item))) merged.Append(item);
  Text joined;
  for (const Text& item : merged)
    if (RightText(item, 8) != "=deleted") joined += item + "; ";
  stored = LeftText(joined, TextLength(joined) - 2);
  return stored;
}

}  // namespace vantoip
