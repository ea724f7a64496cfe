// Proxy-list pages in the layout the row pattern expects, for tests and the benchmark.
#pragma once

#include <string>
#include <vector>

#include "web/visit_web_page.h"

namespace vantoip::test {

struct ProxyRowCells {
  std::string address, port, location, speed, checked;
};

// One table row; `divAttributes` is what stands between "<div" and "style=".
inline std::string ProxyRowHtml(const ProxyRowCells& cells, const std::string& divAttributes = " class=\"bar\" ") {
  return "<tr>\n<td>" + cells.address + "</td>\n<td>" + cells.port + "</td>\n<td>" + cells.location +
         "</td>\n<td>\n<div" + divAttributes + "style=\"width: " + cells.speed +
         "; background:#7FFF00;\"><span></span></strong></div>\n</td>\n<td>" + cells.checked + "</td>\n</tr>\n";
}

inline std::string ProxyPage(const std::vector<std::string>& rows) {
  std::string page = "<html><body><table>\n<tr><th>IP</th><th>PORT</th></tr>\n";
  for (const std::string& row : rows) page += row;
  return page + "</table></body></html>\n";
}

// A page of `count` generated rows; row i (from 1) has the address 10.0.x.y and port 8000 + i.
inline std::string GeneratedProxyPage(int count) {
  std::vector<std::string> rows;
  for (int i = 1; i <= count; ++i) {
    rows.push_back(ProxyRowHtml({"10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                                 std::to_string(8000 + i), "Location " + std::to_string(i),
                                 std::to_string(i % 100) + "%", "2024-05-01 12:00:" + std::to_string(i % 60)}));
  }
  return ProxyPage(rows);
}

// A plain list of `count` lines "host:port"; line i (from `first`) has the
// address 10.x.y.z made from i and the port 1000 + i % 60000.
inline std::string GeneratedPlainList(int count, int first = 1) {
  std::string list;
  for (int i = first; i < first + count; ++i)
    list += "10." + std::to_string(i >> 16 & 255) + "." + std::to_string(i >> 8 & 255) + "." + std::to_string(i & 255) +
            ":" + std::to_string(1000 + i % 60000) + "\n";
  return list;
}

// A plain list exactly at the body size limit of short distinct valid lines
// (4.6 million): far more than one run lists.
inline std::string ValidLinesAtTheSizeLimit() {
  std::string page;
  page.reserve(kMaxBodyBytes);
  for (int i = 1; page.size() < kMaxBodyBytes; ++i)
    page += std::to_string(i >> 16 & 255) + "." + std::to_string(i >> 8 & 255) + "." + std::to_string(i & 255) + ".1:80\n";
  page.resize(kMaxBodyBytes);
  return page;
}

}  // namespace vantoip::test
