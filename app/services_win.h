// The real machine behind the application's service interfaces.
#pragma once

#include "app/services.h"

namespace vantoip {

class WindowsUserRegistry final : public UserRegistry {
 public:
  std::string ReadText(const std::string& path) override;
  std::int32_t ReadNumber(const std::string& path) override;
  bool Write(const std::string& path, const Value& value) override;
};

class WindowsThreads final : public ThreadStarter {
 public:
  bool Start(std::function<void()> body) override;
};

class WindowsClock final : public MonotonicClock {
 public:
  std::uint64_t Milliseconds() override;
};

}  // namespace vantoip
