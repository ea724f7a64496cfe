#include "web/wininet_layer_win.h"

#include "runtime/native_commands_win.h"

namespace vantoip {
namespace {

constexpr std::uint32_t kServiceHttp = 3;
constexpr std::uint32_t kQueryRawHeadersCrLf = 22;

}  // namespace

HttpHandle WinInetLayer::Open(const Text& agent, HttpAccess access, const Text& proxyList) {
  return CallNativeCommand(kInternetOpen, {agent, static_cast<std::int32_t>(access), proxyList, Text(), 0});
}

HttpHandle WinInetLayer::Connect(HttpHandle root, const Text& host, std::int32_t port) {
  return CallNativeCommand(kInternetConnect, {root, host, port, Text(), Text(), kServiceHttp, 0, 0});
}

HttpHandle WinInetLayer::OpenRequest(HttpHandle connection, const Text& verb, const Text& path,
                                     const Text& version, std::uint32_t flags) {
  // No referrer and no accept-type list: both are null.
  return CallNativeCommand(kHttpOpenRequest, {connection, verb, path, version, Text(), Text(), flags, 0});
}

void WinInetLayer::Send(HttpHandle request, const Text& headers, const ByteBlock* body) {
  const std::int32_t length = TextLength(headers);
  if (body)
    CallNativeCommand(kHttpSendRequestBytes, {request, headers, length, *body, static_cast<std::int32_t>(body->size())});
  else
    CallNativeCommand(kHttpSendRequestText, {request, headers, length, Text(), 0});
}

std::uint32_t WinInetLayer::Read(HttpHandle request, ByteBlock& buffer) {
  // Cleared before every call, so a failed read can never repeat an old count.
  std::uint32_t count = 0;
  CallNativeCommand(kInternetReadFile, {request, &buffer, static_cast<std::uint32_t>(buffer.size()), &count});
  return count;
}

void WinInetLayer::QueryRawHeaders(HttpHandle request, Text& buffer, std::uint32_t& length) {
  CallNativeCommand(kHttpQueryInfo, {request, kQueryRawHeadersCrLf, &buffer, &length, 0});
}

void WinInetLayer::Close(HttpHandle handle) { CallNativeCommand(kInternetCloseHandle, {handle}); }

ByteBlock VisitWebPage(const Text& url, const WebRequestOptions& options) {
  WinInetLayer layer;
  return VisitWebPage(layer, url, options);
}

}  // namespace vantoip
