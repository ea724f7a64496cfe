// Where the proxy list is read from: several addresses, chosen from the
// environment, the user's sources file or the built-in defaults.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/list/proxy_address.h"

namespace vantoip {

// One list to read, and where else the same file is served.
struct ProxySource {
  std::string address;
  std::string mirror;  // read when `address` fails within the run's time; empty: none
  std::optional<ProxyProtocol> protocol;  // named before the address in the sources file
  // The protocol of its entries that state none: the one named, else the file
  // name's; none when neither says (its entries are then assumed HTTP).
  std::optional<ProxyProtocol> Protocol() const;
  bool operator==(const ProxySource&) const = default;
};

// Plain lists of HTTP, SOCKS4 and SOCKS5 proxies that their publishers
// refresh several times a day, each with its mirror on a public CDN that
// serves public GitHub files ("gh/owner/repo@branch/path").
struct DefaultSource {
  const char* address;
  const char* mirror;
};
inline constexpr char ProxyListPageUrl[] = "https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/http.txt";
inline constexpr DefaultSource kDefaultProxySources[] = {
    {ProxyListPageUrl, "https://cdn.jsdelivr.net/gh/TheSpeedX/PROXY-List@master/http.txt"},
    {"https://raw.githubusercontent.com/monosans/proxy-list/main/proxies/http.txt",
     "https://cdn.jsdelivr.net/gh/monosans/proxy-list@main/proxies/http.txt"},
    {"https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/socks4.txt",
     "https://cdn.jsdelivr.net/gh/TheSpeedX/PROXY-List@master/socks4.txt"},
    {"https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/socks5.txt",
     "https://cdn.jsdelivr.net/gh/TheSpeedX/PROXY-List@master/socks5.txt"},
    {"https://raw.githubusercontent.com/monosans/proxy-list/main/proxies/socks4.txt",
     "https://cdn.jsdelivr.net/gh/monosans/proxy-list@main/proxies/socks4.txt"},
    {"https://raw.githubusercontent.com/monosans/proxy-list/main/proxies/socks5.txt",
     "https://cdn.jsdelivr.net/gh/monosans/proxy-list@main/proxies/socks5.txt"},
};
std::vector<ProxySource> DefaultProxySources();

// The sources of one list run, and what its closing title adds about them.
struct ProxySourceList {
  std::vector<ProxySource> sources;
  std::string note;  // GBK; empty when there is nothing to say
  bool operator==(const ProxySourceList&) const = default;
};

// Gives a list run its sources; asked anew at the start of every run, so that
// an edited sources file counts from the next refresh on.
using ProxySourceProvider = std::function<ProxySourceList()>;
ProxySourceProvider FixedSources(std::vector<std::string> addresses);

// The note of a sources file over its size limit: it is ignored whole.
inline constexpr char kSourcesFileTooLarge[] = "来源文件过大，已忽略";

// The protocol the last segment of a source's path names, as public
// publishers name their lists ("socks5.txt", "http.txt"); none otherwise.
std::optional<ProxyProtocol> ProtocolOfSource(std::string_view url);

// The addresses of a source list: words separated by whitespace; a word that
// starts with "#" comments out the rest of its line. A leading UTF-8 byte
// order mark is skipped.
std::vector<std::string> ReadSourceAddresses(std::string_view text);
// The sources of a sources file: its addresses, where a protocol word before
// an address ("socks5 https://…/list.txt") names its entries' protocol and
// "address|mirror" names a second address of the same list.
std::vector<ProxySource> ReadSourcesFile(std::string_view text);

// The first source list that is there and names an address: the environment
// value (VANTOIP_LIST_URL, null when unset), the sources file's text, the
// defaults. A file over its size limit is not used, and the note says so.
ProxySourceList ChooseProxySources(const char* environmentValue, const std::optional<std::string>& sourcesFileText,
                                   bool sourcesFileTooLarge = false);

// A new sources file: a comment header on its format, then the defaults;
// UTF-8 with CR LF line ends, as Notepad expects.
std::string DefaultSourcesFileText();

// The title at the end of a list run over `sources` sources of which
// `failedSources` could not be fetched (GBK), noting a reached row limit and
// the sources' note.
std::string ListRunTitle(int sources, int failedSources, int rowLimit = 0, std::string_view sourcesNote = {});

}  // namespace vantoip
