// Taking a URL apart: "http://" or "https://" (any case, optional), host,
// optional ":" and port, then optionally "/" and the rest.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/text.h"

namespace vantoip {

// The host, lower-cased; optionally only its last two labels, optionally with the port.
Text UrlHost(std::string_view url, std::optional<bool> lastTwoLabels = std::nullopt,
             std::optional<bool> keepPort = std::nullopt);

// The explicit port (0 when it is not a number), else 443 for https and 80 otherwise.
std::int32_t UrlPort(std::string_view url);

// Everything from the first "/" after the host, case kept; "/" when there is none.
Text UrlPath(std::string_view url);

}  // namespace vantoip
