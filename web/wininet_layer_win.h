// The program's HTTP layer: WinINet, reached only through the declared native
// commands, and the web request over it.
#pragma once

#include "web/http_layer.h"
#include "web/visit_web_page.h"

namespace vantoip {

class WinInetLayer final : public HttpLayer {
 public:
  HttpHandle Open(const Text& agent, HttpAccess access, const Text& proxyList) override;
  HttpHandle Connect(HttpHandle root, const Text& host, std::int32_t port) override;
  HttpHandle OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                         std::uint32_t flags) override;
  void Send(HttpHandle request, const Text& headers, const ByteBlock* body) override;
  std::uint32_t Read(HttpHandle request, ByteBlock& buffer) override;
  void QueryRawHeaders(HttpHandle request, Text& buffer, std::uint32_t& length) override;
  void Close(HttpHandle handle) override;
};

// VisitWebPage over WinINet.
ByteBlock VisitWebPage(const Text& url, const WebRequestOptions& options = {});

}  // namespace vantoip
