// The operations the web request needs from an HTTP client library, shaped
// after WinINet: the program's layer is WinINet itself, tests record calls.
#pragma once

#include <cstdint>

#include "runtime/text.h"
#include "runtime/value.h"

namespace vantoip {

// An open root, connection or request; 0 is what a failed open gives.
using HttpHandle = std::uintptr_t;

// Access types of the root handle (WinINet's numbers).
enum class HttpAccess : std::int32_t { Direct = 1, Proxy = 3 };

// Request flag bits (WinINet's values).
namespace http_flag {
constexpr std::uint32_t kReload = 0x80000000;
constexpr std::uint32_t kNeedFile = 0x10;
constexpr std::uint32_t kNoCookies = 0x80000;
constexpr std::uint32_t kNoAutoRedirect = 0x200000;
constexpr std::uint32_t kSecure = 0x800000;
constexpr std::uint32_t kIgnoreRedirectToHttps = 0x4000;
}  // namespace http_flag

class HttpLayer {
 public:
  virtual ~HttpLayer() = default;

  virtual HttpHandle Open(const Text& agent, HttpAccess access, const Text& proxyList) = 0;
  virtual HttpHandle Connect(HttpHandle root, const Text& host, std::int32_t port) = 0;
  virtual HttpHandle OpenRequest(HttpHandle connection, const Text& verb, const Text& path,
                                 const Text& version, std::uint32_t flags) = 0;
  // `body` null sends without a body; otherwise its bytes (possibly none) are sent.
  virtual void Send(HttpHandle request, const Text& headers, const ByteBlock* body) = 0;
  // Fills at most buffer.size() bytes and returns how many; 0 at the end or on failure.
  virtual std::uint32_t Read(HttpHandle request, ByteBlock& buffer) = 0;
  // Writes the zero-terminated raw header block (status line first, CR LF line
  // ends) into `buffer`, which holds `length` bytes; a block that does not fit,
  // terminator included, leaves the buffer as it was.
  virtual void QueryRawHeaders(HttpHandle request, Text& buffer, std::uint32_t& length) = 0;
  // Also called with the 0 of a failed open.
  virtual void Close(HttpHandle handle) = 0;
};

}  // namespace vantoip
