#include "runtime/text_array.h"

#include <algorithm>
#include <climits>

#include "runtime/fatal.h"
#include "runtime/text.h"

namespace vantoip {

void TextArray::Check(int i) const {
  if (i < 1) RaiseFatalError(kIndexBelowOne);
  if (i > Count()) RaiseFatalError(kIndexAboveCount);
}

const std::string& TextArray::operator[](int i) const {
  Check(i);
  return elements_[i - 1];
}

std::string& TextArray::operator[](int i) {
  Check(i);
  return elements_[i - 1];
}

TextArray SplitText(std::string_view text, std::optional<std::string_view> delimiter,
                    std::optional<int> maxParts) {
  const int limit = maxParts ? std::max(0, *maxParts) : INT_MAX;
  const std::string_view sep = delimiter.value_or(",");
  TextArray parts;
  if (text.empty() || limit == 0) return parts;
  if (sep.empty()) {
    parts.Append(std::string(text));
    return parts;
  }
  std::size_t cut = 0;
  int taken = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, sep.size()) == sep) {
      parts.Append(std::string(text.substr(cut, i - cut)));
      i += sep.size();
      cut = i;
      if (++taken == limit) return parts;
    } else {
      i += CharLength(text, i);
    }
  }
  if (cut < text.size()) parts.Append(std::string(text.substr(cut)));
  return parts;
}

}  // namespace vantoip
