#include "app/proxy_list_url.h"

#include <cstdlib>

namespace vantoip {

std::string ListPageUrl() {
  const char* configured = std::getenv("VANTOIP_LIST_URL");
  return configured && *configured ? configured : ProxyListPageUrl;
}

}  // namespace vantoip
