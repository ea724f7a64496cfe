#include "app/list/proxy_sources.h"

#include "app/list/plain_proxy_list.h"
#include "app/notepad_text.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The file is UTF-8 whatever the narrow literals are compiled to.
constexpr std::u8string_view kSourcesFileHeader[] = {
    u8"# Vantoip 代理来源：每行一个代理列表的地址，每次刷新同时读取全部地址。",
    u8"# 列表可以是纯文本、CSV、JSON、XML 或带表格的网页。",
    u8"# 地址前可写协议（socks4、socks5、http），如：socks5 https://example.com/list.txt",
    u8"# 地址|镜像地址：第一个地址读取失败时读取镜像。",
    u8"# 以 # 开头的行是注释。本文件没有地址时使用内置地址；",
    u8"# 设置了环境变量 VANTOIP_LIST_URL 时只读取它列出的地址。",
};

}  // namespace

std::optional<ProxyProtocol> ProtocolOfSource(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  const std::size_t slash = url.rfind('/');
  const std::string name = ToLowerText(url.substr(slash == std::string_view::npos ? 0 : slash + 1));
  if (name.find("socks5") != std::string::npos) return ProxyProtocol::kSocks5;
  if (name.find("socks4") != std::string::npos) return ProxyProtocol::kSocks4;
  if (name.find("http") != std::string::npos) return ProxyProtocol::kHttp;
  return std::nullopt;
}

std::vector<std::string> ReadSourceAddresses(std::string_view text) {
  text = WithoutUtf8Bom(text);
  std::vector<std::string> addresses;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSpace(text[i])) {
      ++i;
    } else if (text[i] == '#') {
      const std::size_t lineEnd = text.find('\n', i);
      i = lineEnd == std::string_view::npos ? text.size() : lineEnd;
    } else {
      const std::size_t start = i;
      while (i < text.size() && !IsSpace(text[i])) ++i;
      addresses.emplace_back(text.substr(start, i - start));
    }
  }
  return addresses;
}

namespace {

std::vector<ProxySource> SourcesAt(const std::vector<std::string>& addresses) {
  std::vector<ProxySource> sources;
  for (const std::string& address : addresses) sources.push_back({address});
  return sources;
}

}  // namespace

std::optional<ProxyProtocol> ProxySource::Protocol() const { return protocol ? protocol : ProtocolOfSource(address); }

std::vector<ProxySource> DefaultProxySources() {
  std::vector<ProxySource> sources;
  for (const DefaultSource& s : kDefaultProxySources) sources.push_back({s.address, s.mirror});
  return sources;
}

std::vector<ProxySource> ReadSourcesFile(std::string_view text) {
  std::vector<ProxySource> sources;
  std::optional<ProxyProtocol> named;
  for (const std::string& word : ReadSourceAddresses(text)) {
    if (const std::optional<ProxyProtocol> protocol = ProtocolNamed(word)) {
      named = protocol;  // for the address after it
      continue;
    }
    const std::size_t bar = word.find('|');
    sources.push_back({word.substr(0, bar), bar == std::string::npos ? std::string() : word.substr(bar + 1), named});
    named.reset();
  }
  return sources;
}

ProxySourceProvider FixedSources(std::vector<std::string> addresses) {
  return [sources = SourcesAt(addresses)] { return ProxySourceList{sources, {}}; };
}

ProxySourceList ChooseProxySources(const char* environmentValue, const std::optional<std::string>& sourcesFileText,
                                   bool sourcesFileTooLarge) {
  if (environmentValue) {
    const std::vector<std::string> addresses = ReadSourceAddresses(environmentValue);
    if (!addresses.empty()) return {SourcesAt(addresses), {}};
  }
  if (sourcesFileTooLarge) return {DefaultProxySources(), kSourcesFileTooLarge};
  if (sourcesFileText) {
    std::vector<ProxySource> sources = ReadSourcesFile(*sourcesFileText);
    if (!sources.empty()) return {std::move(sources), {}};
  }
  return {DefaultProxySources(), {}};
}

std::string DefaultSourcesFileText() {
  std::string text;
  for (std::u8string_view line : kSourcesFileHeader) text.append(line.begin(), line.end()).append("\r\n");
  text += "\r\n";
  for (const DefaultSource& source : kDefaultProxySources)
    text.append(source.address).append("|").append(source.mirror).append("\r\n");
  return text;
}

std::string ListRunTitle(int sources, int failedSources, int rowLimit, std::string_view sourcesNote) {
  const bool allFailed = failedSources > 0 && failedSources >= sources;
  std::vector<std::string> notes;
  if (rowLimit > 0) notes.push_back("已达上限 " + std::to_string(rowLimit) + " 个");
  if (failedSources > 0 && !allFailed) notes.push_back(std::to_string(failedSources) + "个来源读取失败");
  if (!sourcesNote.empty()) notes.emplace_back(sourcesNote);
  std::string title = allFailed ? "读取失败" : "读取完毕";
  for (std::size_t i = 0; i < notes.size(); ++i) title += (i == 0 ? "（" : "，") + notes[i];
  return notes.empty() ? title : title + "）";
}

}  // namespace vantoip
