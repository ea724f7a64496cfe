// Does a proxy hide its user: the echo of a judge page fetched through it
// (the client address the judge saw and the request headers it got), and the
// anonymity level that echo shows. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/check_protocol.h"

namespace vantoip {

// The most of a judge's answer that is read.
inline constexpr std::size_t kMaxEchoBytes = 64 * 1024;

struct JudgeEcho {
  std::string clientAddress;  // the address the judge saw the request come from
  // The request headers as the judge got them, names in lower case.
  std::vector<std::pair<std::string, std::string>> headers;
};

// The echo in a judge's answer body, recognised by its content: azenv style
// (lines "KEY = value": REMOTE_ADDR and HTTP_* headers, often inside <pre>)
// or httpbin style JSON ("origin" and "headers"). None for anything else, and
// for an echo that does not carry `token` (a cached or made-up answer).
std::optional<JudgeEcho> ReadJudgeEcho(std::string_view body, std::string_view token);

// The level an echo shows. With the user's own address: that address anywhere
// in it is 透明; headers that announce a proxy (Via, X-Forwarded-For and its
// kin with another address, Proxy-Connection…) are 匿名; neither is 高匿.
// Without it, a forwarding header that carries an address counts as the
// user's own: 透明.
Anonymity JudgeLevel(const JudgeEcho& echo, const std::optional<std::string>& ownAddress);

}  // namespace vantoip
