#include "web/visit_web_page.h"

#include <algorithm>

#include "runtime/text_array.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/url_parts.h"

namespace vantoip {
namespace {

constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Tolq; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// The arguments as this call works on them; the in/out and out ones are
// written back to the caller only once the request is open.
struct Exchange {
  std::int32_t method = 0;
  bool noRedirect = false;
  Text postText = {};
  Text cookies = {};
  Text newCookies = {};
  Text headers = {};
  Text location = {};
  ByteBlock postBytes = {};
  Text rawHeaders = {};
  ByteBlock body = {};
};

template <class T>
T ValueOrEmpty(const T* variable) {
  return variable ? *variable : T();
}

template <class T>
void WriteBack(T* variable, T& value) {
  if (variable) *variable = std::move(value);
}

// The agent named by a "User-Agent:" line of the caller's headers, else ours.
Text ChooseAgent(const Text& headers) {
  if (FindText(headers, "User-Agent:", std::nullopt, true) == -1) return kDefaultAgent;
  const Text agent = TrimText(TextBetween(headers, "User-Agent:", "\r\n"));
  // A last line has no CR LF after it; then whatever follows the first ":" counts.
  return agent.empty() ? HeaderValue(headers) : agent;
}

bool IsHttps(const Text& url) { return LeftText(ToLowerText(url), 5) == "https"; }

std::uint32_t RequestFlags(const Text& url, bool noRedirect) {
  // WinINet's own cookie store stays out: cookies travel only through the arguments.
  std::uint32_t flags = http_flag::kReload | http_flag::kNeedFile | http_flag::kNoCookies;
  if (noRedirect) flags |= http_flag::kNoAutoRedirect;
  flags |= IsHttps(url) ? http_flag::kSecure : http_flag::kIgnoreRedirectToHttps;
  return flags;
}

Text WithDefaultHeaders(Text headers, const Text& url, const Text& cookies) {
  if (FindText(headers, "Referer:") == -1)
    headers = headers.empty() ? "Referer: " + url : headers + "\r\nReferer: " + url;
  if (FindText(headers, "Accept:") == -1) headers += "\r\nAccept: */*";
  if (FindText(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
  if (FindText(headers, "Content-Type:") == -1)
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookies.empty()) headers += "\r\nCookie: " + cookies;
  return headers;
}

// Owns one layer handle; closes it, even the 0 of a failed open, when it goes.
class LayerHandle {
 public:
  LayerHandle(HttpLayer& layer, HttpHandle handle) : layer_(layer), handle_(handle) {}
  LayerHandle(const LayerHandle&) = delete;
  LayerHandle& operator=(const LayerHandle&) = delete;
  ~LayerHandle() { layer_.Close(handle_); }
  HttpHandle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  HttpLayer& layer_;
  HttpHandle handle_;
};

ByteBlock ReadBody(HttpLayer& layer, HttpHandle request) {
  ByteBlock body;
  ByteBlock chunk(kReadChunkBytes);
  while (body.size() < kMaxBodyBytes) {
    const std::size_t count = std::min<std::size_t>(layer.Read(request, chunk), chunk.size());
    if (count == 0) break;
    const std::size_t taken = std::min(count, kMaxBodyBytes - body.size());
    body.insert(body.end(), chunk.begin(), chunk.begin() + taken);
  }
  return body;
}

Text QueryRawHeaders(HttpLayer& layer, HttpHandle request) {
  // A block that does not fit leaves the 5000 spaces.
  Text buffer = SpaceText(kRawHeaderBufferBytes);
  std::uint32_t length = kRawHeaderBufferBytes;
  layer.QueryRawHeaders(request, buffer, length);
  return buffer.substr(0, buffer.find('\0'));
}

// Opens root, connection and request, sends and reads the response; the
// handles are closed in reverse order on every path. False when an open failed.
bool Transfer(HttpLayer& layer, const Text& url, const std::optional<Text>& proxy, Exchange& x) {
  const Text agent = ChooseAgent(x.headers);
  LayerHandle root(layer, proxy ? layer.Open(agent, HttpAccess::Proxy, "http=" + *proxy)
                                : layer.Open(agent, HttpAccess::Direct, Text()));
  if (!root) return false;
  LayerHandle connection(layer, layer.Connect(root.Get(), UrlHost(url), UrlPort(url)));
  if (!connection) return false;
  LayerHandle request(layer, layer.OpenRequest(connection.Get(), x.method == 1 ? "POST" : "GET",
                                               UrlPath(url), "HTTP/1.1", RequestFlags(url, x.noRedirect)));
  if (!request) return false;

  x.headers = WithDefaultHeaders(std::move(x.headers), url, x.cookies);
  if (x.method != 0) {
    if (x.postBytes.empty()) x.postBytes.assign(x.postText.begin(), x.postText.end());
    layer.Send(request.Get(), x.headers, &x.postBytes);
  } else {
    layer.Send(request.Get(), x.headers, nullptr);
  }
  // Failures of the send or the reads show only as an empty body and blank headers.
  x.body = ReadBody(layer, request.Get());
  x.rawHeaders = QueryRawHeaders(layer, request.Get());
  return true;
}

// Location and Set-Cookie lines of the response. Redirects happen inside the
// layer; the Location value is only reported.
void ReadResponseLines(Exchange& x) {
  Text received;
  for (const Text& line : SplitText(x.rawHeaders, "\r\n")) {
    if (FindText(line, "Location:") != -1) x.location = HeaderValue(line);
    if (FindText(line, "Set-Cookie") != -1)
      received += TrimText(TextBetween(line, "Set-Cookie:", ";")) + "; ";
  }
  x.newCookies = LeftText(received, TextLength(received) - 2);
  if (x.location.empty()) x.location = x.rawHeaders;
  MergeCookies(x.cookies, x.newCookies);
}

}  // namespace

WebRequestOptions WebRequestValues::AllSupplied() {
  return {method, postText, &cookies, &newCookies, &headers, &location, noRedirect, &postBytes, proxy, &rawHeaders};
}

ByteBlock VisitWebPage(HttpLayer& layer, const Text& url, const WebRequestOptions& options) {
  Exchange x{.method = options.method.value_or(0),
             .noRedirect = options.noRedirect.value_or(false),
             .postText = options.postText.value_or(Text()),
             .cookies = ValueOrEmpty(options.cookies),
             .headers = ValueOrEmpty(options.headers),
             .location = ValueOrEmpty(options.location),
             .postBytes = ValueOrEmpty(options.postBytes)};
  if (!Transfer(layer, url, options.proxy, x)) return {};
  ReadResponseLines(x);
  WriteBack(options.cookies, x.cookies);
  WriteBack(options.newCookies, x.newCookies);
  WriteBack(options.headers, x.headers);
  WriteBack(options.location, x.location);
  WriteBack(options.postBytes, x.postBytes);
  WriteBack(options.rawHeaders, x.rawHeaders);
  return std::move(x.body);
}

}  // namespace vantoip
