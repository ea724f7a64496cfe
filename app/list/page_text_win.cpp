#include "app/list/page_text_win.h"

#include <windows.h>

#include "runtime/bytes.h"
#include "runtime/encoding_win.h"
#include "runtime/native_commands_win.h"
#include "web/wininet_layer_win.h"

namespace vantoip {
namespace {

// The native commands take their arguments as 32-bit integers.
constexpr std::int32_t kUtf8 = CP_UTF8;
constexpr std::int32_t kGbk = kGbkCodePage;
constexpr std::int32_t kCompositeCheck = WC_COMPOSITECHECK;

}  // namespace

ByteBlock Utf8ToUtf16(const ByteBlock& utf8) {
  const std::int32_t n = BytesLength(utf8);
  const auto count = static_cast<std::int32_t>(CallNativeCommand(kMultiByteToWideChar, {kUtf8, 0, utf8, n, ByteBlock(), 0}));
  ByteBlock buffer = ZeroBytes(count * 2);
  CallNativeCommand(kMultiByteToWideChar, {kUtf8, 0, utf8, n, &buffer, count});
  return buffer;
}

std::string Utf16ToGbkText(const ByteBlock& utf16) {
  const std::int32_t units = BytesLength(utf16) / 2;
  const auto size = static_cast<std::int32_t>(
      CallNativeCommand(kWideCharToMultiByteSize, {kGbk, kCompositeCheck, utf16, units, 0, 0, 0, 0}));
  ByteBlock buffer = ZeroBytes(size);
  CallNativeCommand(kWideCharToMultiByte, {kGbk, kCompositeCheck, utf16, units, &buffer, size, 0, 0});
  return ValueAs<std::string>(ReadBytesValue(buffer, kReadText));
}

std::string Utf8ToGbkText(const ByteBlock& utf8) { return Utf16ToGbkText(Utf8ToUtf16(utf8)); }

std::string FetchPageText(const Text& url, const WebRequestOptions& options) {
  WebRequestValues omitted;  // stands in for every argument the caller left out
  WebRequestOptions forwarded = omitted.AllSupplied();
  if (options.method) forwarded.method = options.method;
  if (options.postText) forwarded.postText = options.postText;
  if (options.cookies) forwarded.cookies = options.cookies;
  if (options.newCookies) forwarded.newCookies = options.newCookies;
  if (options.headers) forwarded.headers = options.headers;
  if (options.location) forwarded.location = options.location;
  if (options.noRedirect) forwarded.noRedirect = options.noRedirect;
  if (options.postBytes) forwarded.postBytes = options.postBytes;
  if (options.proxy) forwarded.proxy = options.proxy;
  if (options.rawHeaders) forwarded.rawHeaders = options.rawHeaders;
  return Utf8ToGbkText(VisitWebPage(url, forwarded));
}

}  // namespace vantoip
