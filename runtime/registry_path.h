// Splitting of registry paths into key and value name.
#pragma once

#include <string>
#include <string_view>

namespace vantoip {

struct RegistryPath {
  std::string key;    // empty: the root itself
  std::string value;  // value name
};

// Cuts at the last backslash, found with character stepping (a GBK trail byte
// may be 0x5C and is not a separator).
RegistryPath SplitRegistryPath(std::string_view path);

}  // namespace vantoip
