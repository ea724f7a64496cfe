// Host names looked up on a few threads of their own, so that the thread that
// asks never blocks on the name service.
#pragma once

#include <winsock2.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantoip {

class NameResolver {
 public:
  using Answer = std::pair<std::size_t, std::optional<in_addr>>;  // id, IPv4 address if any

  NameResolver();
  // The threads end after the lookup they are in; nothing waits for them.
  ~NameResolver();
  NameResolver(const NameResolver&) = delete;
  NameResolver& operator=(const NameResolver&) = delete;

  void Resolve(std::size_t id, std::string host);
  // The answers that came since the last call.
  std::vector<Answer> Take();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace vantoip
