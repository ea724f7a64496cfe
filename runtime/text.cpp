#include "runtime/text.h"

#include <algorithm>

namespace vantoip {
namespace {

constexpr unsigned char kFullWidthSpaceByte = 0xA1;

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool BytesEqual(std::string_view a, std::string_view b, bool ignoreCase) {
  if (!ignoreCase) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// Length of the space character at text[i], or 0 when there is none.
std::size_t SpaceAt(std::string_view text, std::size_t i) {
  if (text[i] == ' ') return 1;
  if (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == kFullWidthSpaceByte &&
      static_cast<unsigned char>(text[i + 1]) == kFullWidthSpaceByte)
    return 2;
  return 0;
}

// The 0-based offset of a 1-based start; 0 and below mean the beginning.
std::size_t StartOffset(int start) { return start > 1 ? static_cast<std::size_t>(start) - 1 : 0; }

// Walks `region` character by character and calls onMatch(offset) wherever
// `sought` starts; onMatch returns false to stop the walk.
template <class OnMatch>
void WalkMatches(std::string_view region, std::string_view sought, bool ignoreCase, OnMatch onMatch) {
  for (std::size_t i = 0; i < region.size() && region.size() - i >= sought.size();
       i += CharLength(region, i)) {
    if (BytesEqual(region.substr(i, sought.size()), sought, ignoreCase) && !onMatch(i)) return;
  }
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare orders as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

Text LeftText(std::string_view text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, std::min<std::size_t>(n, text.size())));
}

Text RightText(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t count = std::min<std::size_t>(n, text.size());
  return Text(text.substr(text.size() - count));
}

Text MidText(std::string_view text, int start, int n) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) return {};
  return Text(text.substr(start - 1, n));
}

Text CharText(int code) {
  const char c = static_cast<char>(code & 0xFF);
  return c == 0 ? Text() : Text(1, c);
}

Text SpaceText(int n) { return n <= 0 ? Text() : Text(n, ' '); }

int FindText(std::string_view text, std::string_view sought, std::optional<int> start,
             std::optional<bool> ignoreCase) {
  const std::size_t from = start ? StartOffset(*start) : 0;
  if (from >= text.size()) return -1;
  const std::string_view region = text.substr(from);
  if (sought.empty()) return 1;
  int found = -1;
  WalkMatches(region, sought, ignoreCase.value_or(false), [&](std::size_t at) {
    found = static_cast<int>(from + at + 1);
    return false;
  });
  return found;
}

int FindTextReverse(std::string_view text, std::string_view sought, std::optional<int> start,
                    std::optional<bool> ignoreCase) {
  const std::size_t end = start ? StartOffset(*start) : text.size();
  const std::string_view region = text.substr(0, std::min(end, text.size()));
  if (region.empty()) return -1;
  if (sought.empty()) return 1;
  int found = -1;
  WalkMatches(region, sought, ignoreCase.value_or(false), [&](std::size_t at) {
    found = static_cast<int>(at + 1);
    return true;
  });
  return found;
}

Text ToLowerText(std::string_view text) {
  Text out(text);
  for (std::size_t i = 0; i < out.size(); i += CharLength(out, i))
    out[i] = static_cast<char>(FoldAscii(out[i]));
  return out;
}

Text TrimText(std::string_view text) {
  std::size_t first = text.size(), last = 0;  // [first, last) spans the non-space characters
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t space = SpaceAt(text, i);
    const std::size_t step = space ? space : CharLength(text, i);
    if (!space) {
      first = std::min(first, i);
      last = i + step;
    }
    i += step;
  }
  return first < last ? Text(text.substr(first, last - first)) : Text();
}

Text RemoveSpaces(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t space = SpaceAt(text, i);
    const std::size_t step = space ? space : CharLength(text, i);
    if (!space) out.append(text.substr(i, step));
    i += step;
  }
  return out;
}

Text JoinText(const std::vector<std::string>& parts, std::string_view separator) {
  Text out;
  for (std::size_t i = 0; i < parts.size(); ++i) (out += i ? separator : "") += parts[i];
  return out;
}

Text ReplaceText(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return Text(text);
  Text out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, from.size()) == from) {
      out.append(to);
      i += from.size();
    } else {
      const std::size_t step = CharLength(text, i);
      out.append(text.substr(i, step));
      i += step;
    }
  }
  return out;
}

}  // namespace vantoip
