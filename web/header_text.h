// Picking values out of header lines and other texts.
#pragma once

#include <optional>

#include "runtime/text.h"

namespace vantoip {

// The text between the first `startMarker` found at or after `start` and the
// first `endMarker` after it; empty when either is missing. Markers may spell a
// double quote as "#引号". Case is ignored unless `caseSensitive` is true.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::optional<int> start = std::nullopt, std::optional<bool> caseSensitive = std::nullopt);

// Everything after the first ":", trimmed; empty when there is no ":".
Text HeaderValue(std::string_view text);

}  // namespace vantoip
