#pragma once

#include <string>

namespace vantoip {

// The page the proxy list is read from: an http page of free HTTP proxies in
// UTF-8 whose table rows have the layout of the row pattern. A distributor
// sets the address of the list service here.
inline constexpr char ProxyListPageUrl[] = "http://proxylist.example.com/free-http-proxies.html";

// ProxyListPageUrl, or the environment variable VANTOIP_LIST_URL when it is
// set (a mirror, the bundled demo server, tests).
std::string ListPageUrl();

}  // namespace vantoip
