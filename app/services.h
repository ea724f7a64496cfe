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
  // A text value as the registry keeps it (UTF-16), in UTF-8: characters
  // outside GBK survive; none when missing or not text.
  virtual std::optional<std::string> ReadUnicode(const std::string& path) = 0;
  virtual bool WriteUnicode(const std::string& path, const std::string& utf8) = 0;  // as REG_SZ
  virtual bool Exists(const std::string& path) = 0;  // the value, of any type
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
  // There is no file, and there is one that cannot be read just now (shared,
  // denied): different answers, since only the first says nothing is kept.
  enum class State { Read, Missing, Unreadable };
  struct Contents {
    State state = State::Missing;
    std::string text;
  };
  virtual ~DataFile() = default;
  virtual Contents Load() = 0;
  virtual bool Write(const std::string& text) = 0;  // whole or not at all
  virtual void Forget() = 0;                        // the file goes
  // A damaged file is kept beside, as ".bad", else ".2.bad", ".3.bad"...: an
  // earlier one may hold the only copy of the user's settings.
  virtual void SetAside() = 0;

  // The text; none when there is none to read, for whatever reason.
  std::optional<std::string> Read() {
    Contents c = Load();
    return c.state == State::Read ? std::optional<std::string>(std::move(c.text)) : std::nullopt;
  }
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
