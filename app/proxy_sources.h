// Where the proxy list is read from: several addresses, chosen from the
// environment, the user's sources file or the built-in defaults.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

// Plain lists of HTTP proxies that their publishers refresh several times a day.
inline constexpr char ProxyListPageUrl[] = "https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/http.txt";
inline constexpr std::array<const char*, 2> kDefaultProxySources = {
    ProxyListPageUrl,
    "https://raw.githubusercontent.com/monosans/proxy-list/main/proxies/http.txt",
};

// The addresses of a source list: words separated by whitespace; a word that
// starts with "#" comments out the rest of its line. A leading UTF-8 byte
// order mark is skipped.
std::vector<std::string> ReadSourceAddresses(std::string_view text);

// The first source list that is there and names an address: the environment
// value (VANTOIP_LIST_URL, null when unset), the sources file's text, the defaults.
std::vector<std::string> ChooseProxySources(const char* environmentValue,
                                            const std::optional<std::string>& sourcesFileText);

// A new sources file: a comment header on its format, then the defaults;
// UTF-8 with CR LF line ends, as Notepad expects.
std::string DefaultSourcesFileText();

// The title at the end of a list run over `sources` sources of which
// `failedSources` could not be fetched (GBK).
std::string ListRunTitle(int sources, int failedSources);

}  // namespace vantoip
