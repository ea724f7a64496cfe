#include "relay/upstream_request.h"

#include <string_view>

#include "runtime/text.h"

namespace vantoip {
namespace {

std::string Authority(const ClientRequest& request, int defaultPort) {
  const std::string host = request.host.find(':') != std::string::npos ? "[" + request.host + "]" : request.host;
  return request.port == defaultPort ? host : host + ":" + std::to_string(request.port);
}

std::string Authorization(const Upstream& upstream) {
  return upstream.protocol == ProxyProtocol::kHttp ? ProxyAuthorization(upstream.user, upstream.password) : "";
}

}  // namespace

Upstream UpstreamOf(const CheckJob& job) { return {job.host, job.port, job.protocol, job.user, job.password}; }

bool NeedsRelay(const Upstream& upstream) {
  return upstream.protocol == ProxyProtocol::kSocks5 || !upstream.user.empty();
}

std::string ForwardedHead(const ClientRequest& request, const Upstream& upstream) {
  const bool originForm = upstream.protocol != ProxyProtocol::kHttp;
  std::string_view head = request.head;
  std::string out;
  bool firstLine = true, host = false;
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (firstLine) {
      firstLine = false;
      const std::size_t space = line.find(' '), second = line.rfind(' ');
      std::string_view target = line.substr(space + 1, second - space - 1);
      if (originForm) {
        const std::size_t path = target.find_first_of("/?#", 7);  // after "http://"
        target = path == std::string_view::npos ? "/" : target.substr(path);
        out += std::string(line.substr(0, space + 1)) + (target.front() == '/' ? "" : "/") + std::string(target) +
               std::string(line.substr(second)) + "\r\n";
      } else {
        out += std::string(line) + "\r\n";
      }
      continue;
    }
    const std::string name = ToLowerText(line.substr(0, line.find(':')));
    if (name == "connection" || name == "proxy-connection" || name == "keep-alive" || name == "proxy-authorization")
      continue;
    host = host || name == "host";
    out += std::string(line) + "\r\n";
  }
  if (!host) out += "Host: " + Authority(request, 80) + "\r\n";
  return out + Authorization(upstream) + "Connection: close\r\n\r\n";
}

std::string UpstreamConnect(const ClientRequest& request, const Upstream& upstream) {
  const std::string target = Authority(request, 0);
  return "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n" + Authorization(upstream) + "\r\n";
}

}  // namespace vantoip
