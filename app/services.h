// What the application's handlers need from the machine, as narrow interfaces:
// the real implementations use the registry, threads, clock and WinINet; tests
// use in-memory ones.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/value.h"

namespace vantoip {

// The current user's registry (root 3); a path ends in the value name.
class UserRegistry {
 public:
  virtual ~UserRegistry() = default;
  virtual std::string ReadText(const std::string& path) = 0;       // "" when missing or not text
  virtual std::int32_t ReadNumber(const std::string& path) = 0;    // 0 when missing or not a number
  virtual bool Write(const std::string& path, const Value& value) = 0;
  virtual bool Delete(const std::string& path) = 0;  // the value; true when it is gone
};

class ThreadStarter {
 public:
  virtual ~ThreadStarter() = default;
  // Runs `body` on a new thread nobody waits for; false when none was created.
  virtual bool Start(std::function<void()> body) = 0;
};

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual std::uint64_t Milliseconds() = 0;  // never goes backwards
};

// WinINet's per-process options (InternetSetOptionA with a null handle and no buffer).
class InternetOptions {
 public:
  virtual ~InternetOptions() = default;
  virtual bool Set(int option) = 0;  // true when WinINet accepted it
};

class ConnectionOptions;
class SnapshotStore;

struct Services {
  UserRegistry& registry;
  ThreadStarter& threads;
  MonotonicClock& clock;
  InternetOptions& internet;
  ConnectionOptions& connections;
  SnapshotStore& snapshot;
};

}  // namespace vantoip
