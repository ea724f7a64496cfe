// Program-wide values shared between the window's handlers and the workers.
// The target texts are replaced by the UI thread while delay tests read them,
// so they are guarded and handed out as consistent copies.
#pragma once

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
  }
  ProxyTarget Target() const {
    std::lock_guard lock(mutex_);
    return target_;
  }
  // The end-of-run routine: releases the shared texts.
  void Clear() {
    std::lock_guard lock(mutex_);
    target_ = {};
  }

 private:
  mutable std::mutex mutex_;
  ProxyTarget target_;
};

}  // namespace vantoip
