// What the application's handlers need from the machine, as narrow interfaces:
// the real implementations use the registry, threads, clock and WinINet; tests
// use in-memory ones.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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

// One small file of the program's own in its data folder, replaced whole.
class DataFile {
 public:
  virtual ~DataFile() = default;
  virtual std::optional<std::string> Read() = 0;    // none when there is no file
  virtual bool Write(const std::string& text) = 0;  // whole or not at all
  virtual void Forget() = 0;                        // the file goes
  virtual void SetAside() = 0;                      // a damaged file is kept beside, as ".bad"
};

class ConnectionOptions;

struct Services {
  UserRegistry& registry;
  ThreadStarter& threads;
  MonotonicClock& clock;
  InternetOptions& internet;
  ConnectionOptions& connections;
  DataFile& snapshot;  // the user's own proxy settings while ours are on
  DataFile& settings;  // the program's settings (settings.ini)
};

}  // namespace vantoip
