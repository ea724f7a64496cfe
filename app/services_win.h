// The real machine behind the application's service interfaces.
#pragma once

#include <string>

#include "app/services.h"
#include "app/switch/proxy_settings.h"

namespace vantoip {

class WindowsUserRegistry final : public UserRegistry {
 public:
  std::string ReadText(const std::string& path) override;
  std::int32_t ReadNumber(const std::string& path) override;
  bool Write(const std::string& path, const Value& value) override;
  bool Delete(const std::string& path) override;
  std::optional<std::string> ReadUnicode(const std::string& path) override;
  bool WriteUnicode(const std::string& path, const std::string& utf8) override;
  bool Exists(const std::string& path) override;
};

// A file in DataFolder(): written to a temporary file, flushed, then renamed
// over the old one, so that a crash or a power cut leaves the old file or the
// new one, never half of one. A file over 1 MiB is not one of ours.
class WindowsDataFile final : public DataFile {
 public:
  explicit WindowsDataFile(std::wstring name) : name_(std::move(name)) {}
  Contents Load() override;
  bool Write(const std::string& text) override;
  void Forget() override;
  void SetAside() override;

 private:
  std::wstring Path() const;
  std::wstring name_;
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
