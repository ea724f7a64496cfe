#include "runtime/registry_path.h"

#include "runtime/text.h"

namespace vantoip {

RegistryPath SplitRegistryPath(std::string_view path) {
  const int last = FindTextReverse(path, "\\");
  if (last < 0) return {{}, std::string(path)};
  return {std::string(path.substr(0, last - 1)), std::string(path.substr(last))};
}

}  // namespace vantoip
