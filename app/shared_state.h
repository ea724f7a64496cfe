// Program-wide values shared between the window's handlers and the workers.
// The target texts are replaced by the UI thread while delay tests read them,
// so they are guarded and handed out as consistent copies.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace vantoip {

struct ProxyTarget {
  std::string host;  // CurrentProxyHost
  std::string port;  // CurrentProxyPort
};

class SharedState {
 public:
  void SetTarget(std::string host, std::string port) {
    std::lock_guard lock(mutex_);
    target_ = {std::move(host), std::move(port)};
    ++version_;
  }
  // A copy of the target; `version`, when given, receives the number of the
  // setting it came from.
  ProxyTarget Target(std::uint64_t* version = nullptr) const {
    std::lock_guard lock(mutex_);
    if (version) *version = version_;
    return target_;
  }
  // True while no newer target has been set since `version`.
  bool IsTargetVersion(std::uint64_t version) const {
    std::lock_guard lock(mutex_);
    return version == version_;
  }
  // The end-of-run routine: releases the shared texts.
  void Clear() {
    std::lock_guard lock(mutex_);
    target_ = {};
  }

 private:
  mutable std::mutex mutex_;
  ProxyTarget target_;
  std::uint64_t version_ = 0;
};

}  // namespace vantoip
