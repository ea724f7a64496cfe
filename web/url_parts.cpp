#include "web/url_parts.h"

#include "runtime/convert.h"
#include "runtime/text_array.h"
#include "web/header_text.h"

namespace vantoip {

Text UrlHost(std::string_view url, std::optional<bool> lastTwoLabels, std::optional<bool> keepPort) {
  Text t = ToLowerText(url);
  if (RightText(t, 1) != "/") t += "/";
  if (LeftText(t, 8) == "https://") {
    t = TextBetween(t, "https://", "/");
  } else {
    // The first "http://" anywhere counts, even one inside the query.
    if (FindText(t, "http://") == -1) t = "http://" + t;
    t = TextBetween(t, "http://", "/");
  }
  if (lastTwoLabels.value_or(false)) {
    const TextArray labels = SplitText(t, ".");
    const int n = labels.Count();
    if (n > 1) t = labels[n - 1] + "." + labels[n];
  }
  if (!keepPort.value_or(false)) {
    const int colon = FindText(t, ":");
    if (colon != -1) t = LeftText(t, colon - 1);
  }
  return t;
}

std::int32_t UrlPort(std::string_view url) {
  const Text host = UrlHost(url, false, true);
  const int colon = FindTextReverse(host, ":");
  if (colon != -1) return ToInteger(RightText(host, TextLength(host) - colon));
  return LeftText(ToLowerText(url), 5) == "https" ? 443 : 80;
}

Text UrlPath(std::string_view url) {
  const int host = FindText(url, UrlHost(url), 1, true);
  const int slash = FindText(url, "/", host, true);
  if (slash == -1) return "/";
  return RightText(url, TextLength(url) - slash + 1);
}

}  // namespace vantoip
