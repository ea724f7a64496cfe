// The pattern of one table row of the proxy-list page: address, port and
// location cells, a speed-bar cell whose inline width is the speed, and the
// check-time cell, with line feeds exactly where the page has them.
#pragma once

#include <string_view>

namespace vantoip {

inline constexpr std::string_view ProxyRowPattern =
    "<td>(.*?)</td>\n"
    "<td>(.*?)</td>\n"
    "<td>(.*?)</td>\n"
    "<td>\n"
    "<div[\\s\\S]*?style=\"width: (.*?); background:#.*?;\"><span></span></strong></div>\n"
    "</td>\n"
    "<td>(.*?)</td>\n"
    "</tr>";

}  // namespace vantoip
