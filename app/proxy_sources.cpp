#include "app/proxy_sources.h"

#include "app/plain_proxy_list.h"

namespace vantoip {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The file is UTF-8 whatever the narrow literals are compiled to.
constexpr std::u8string_view kSourcesFileHeader[] = {
    u8"# Vantoip 代理来源：每行一个代理列表的地址，每次刷新同时读取全部地址。",
    u8"# 列表可以是纯文本（每行一个 主机:端口）或带表格的网页。",
    u8"# 以 # 开头的行是注释。本文件没有地址时使用内置地址；",
    u8"# 设置了环境变量 VANTOIP_LIST_URL 时只读取它列出的地址。",
};

}  // namespace

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

std::vector<std::string> ChooseProxySources(const char* environmentValue,
                                            const std::optional<std::string>& sourcesFileText) {
  if (environmentValue) {
    std::vector<std::string> sources = ReadSourceAddresses(environmentValue);
    if (!sources.empty()) return sources;
  }
  if (sourcesFileText) {
    std::vector<std::string> sources = ReadSourceAddresses(*sourcesFileText);
    if (!sources.empty()) return sources;
  }
  return {kDefaultProxySources.begin(), kDefaultProxySources.end()};
}

std::string DefaultSourcesFileText() {
  std::string text;
  for (std::u8string_view line : kSourcesFileHeader) text.append(line.begin(), line.end()).append("\r\n");
  text += "\r\n";
  for (const char* source : kDefaultProxySources) text.append(source).append("\r\n");
  return text;
}

std::string ListRunTitle(int sources, int failedSources) {
  if (failedSources <= 0) return "读取完毕";
  if (failedSources >= sources) return "读取失败";
  return "读取完毕（" + std::to_string(failedSources) + "个来源读取失败）";
}

}  // namespace vantoip
