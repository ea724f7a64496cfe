// The web request's handling of a response: the raw header block (Location,
// Set-Cookie, the new and merged cookies) and the body, driven through an
// in-memory HTTP layer that answers with the fuzzer's bytes.
// Input: 2 option bytes, then raw header block, 0, cookies in, 0, location in,
// 0, url, 0, body.
#include <algorithm>
#include <string>

#include "tests/fuzz/fuzz_input.h"
#include "web/visit_web_page.h"

namespace vantoip {
namespace {

class ScriptedLayer final : public HttpLayer {
 public:
  ScriptedLayer(const Text& headerBlock, const Text& body, std::size_t bytesPerRead)
      : headerBlock_(headerBlock), body_(body), bytesPerRead_(bytesPerRead) {}

  HttpHandle Open(const Text&, HttpAccess, const Text&) override { return 1; }
  HttpHandle Connect(HttpHandle, const Text&, std::int32_t) override { return 2; }
  HttpHandle OpenRequest(HttpHandle, const Text&, const Text&, const Text&, std::uint32_t) override { return 3; }
  void Send(HttpHandle, const Text&, const ByteBlock*) override {}
  std::uint32_t Read(HttpHandle, ByteBlock& buffer) override {
    const std::size_t n = std::min({bytesPerRead_, buffer.size(), body_.size() - delivered_});
    std::copy_n(body_.begin() + delivered_, n, buffer.begin());
    delivered_ += n;
    return static_cast<std::uint32_t>(n);
  }
  // As WinINet: a block that does not fit with its terminator leaves the buffer alone.
  void QueryRawHeaders(HttpHandle, Text& buffer, std::uint32_t& length) override {
    FUZZ_CHECK(length == buffer.size());
    if (headerBlock_.size() + 1 > length) {
      length = static_cast<std::uint32_t>(headerBlock_.size() + 1);
      return;
    }
    std::copy(headerBlock_.begin(), headerBlock_.end(), buffer.begin());
    buffer[headerBlock_.size()] = '\0';
    length = static_cast<std::uint32_t>(headerBlock_.size());
  }
  void Close(HttpHandle) override {}

 private:
  const Text& headerBlock_;
  const Text& body_;
  std::size_t bytesPerRead_;
  std::size_t delivered_ = 0;
};

}  // namespace
}  // namespace vantoip

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 2);
  const auto fields = fuzz::Fields(data, size, 5);
  const Text& headerBlock = fields[0];
  const Text& body = fields[4];
  ScriptedLayer layer(headerBlock, body, 1 + options.Byte(1) * 4);

  Text cookies = fields[1], newCookies, headers, location = fields[2], rawHeaders;
  WebRequestOptions request;
  request.cookies = &cookies;
  request.newCookies = &newCookies;
  request.location = &location;
  request.rawHeaders = &rawHeaders;
  if (options.Bit(0, 0)) request.headers = &headers;
  if (options.Bit(0, 1)) request.method = 1;
  if (options.Bit(0, 2)) request.proxy = Text();
  const ByteBlock received = VisitWebPage(layer, fields[3], request);

  FUZZ_CHECK(received == ByteBlock(body.begin(), body.end()));
  const bool fits = headerBlock.size() < kRawHeaderBufferBytes;
  FUZZ_CHECK(rawHeaders == (fits ? headerBlock : SpaceText(kRawHeaderBufferBytes)));
  // A Location line names the target; without one the caller's value or the block stays.
  if (rawHeaders.find("Location:") == Text::npos)
    FUZZ_CHECK(location == (fields[2].empty() ? rawHeaders : fields[2]));
  // Each cookie line gives at most its value and "; ", less than the line itself.
  FUZZ_CHECK(newCookies.size() <= rawHeaders.size());
  return 0;
}
