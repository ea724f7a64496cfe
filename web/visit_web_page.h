// The program's one HTTP request: fetches a URL with default headers, cookies
// carried in and out, redirect control and an optional proxy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/text.h"
#include "runtime/value.h"
#include "web/http_layer.h"

namespace vantoip {

// The optional arguments. An in-argument is omitted when empty (std::nullopt);
// an in/out or out argument is omitted when its pointer is null, else the
// variable is read and written back. Omitted ones read as 0, false or empty;
// only `proxy` behaves differently supplied empty and omitted.
struct WebRequestOptions {
  std::optional<std::int32_t> method;  // 1 POST, other GET; non-zero sends a body
  std::optional<Text> postText;        // the body when postBytes is empty
  Text* cookies = nullptr;             // in/out: sent as Cookie:, then the merged list
  Text* newCookies = nullptr;          // out: name=value items this response set, ";"-joined
  Text* headers = nullptr;             // in/out: extra lines, then the whole block sent
  Text* location = nullptr;            // in/out: last Location value, else the raw block
  std::optional<bool> noRedirect;
  ByteBlock* postBytes = nullptr;      // in/out: the body; filled from postText when empty
  std::optional<Text> proxy;           // host:port; supplied empty still selects proxy mode
  Text* rawHeaders = nullptr;          // out: the response header block
};

// A variable for every optional argument, for a caller that forwards all of
// them as supplied (an omitted argument of its own becomes a supplied empty one).
struct WebRequestValues {
  std::int32_t method = 0;
  Text postText;
  Text cookies;
  Text newCookies;
  Text headers;
  Text location;
  bool noRedirect = false;
  ByteBlock postBytes;
  Text proxy;
  Text rawHeaders;

  WebRequestOptions AllSupplied();
};

// Bodies beyond this size are cut here rather than exhausting a 32-bit process.
constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;
constexpr std::uint32_t kReadChunkBytes = 1024;
constexpr std::uint32_t kRawHeaderBufferBytes = 5000;

// The response body exactly as read; empty when the root handle, the
// connection or the request could not be opened (then no argument is changed).
ByteBlock VisitWebPage(HttpLayer& layer, const Text& url, const WebRequestOptions& options = {});

}  // namespace vantoip
