#include "app/services_win.h"

#include <windows.h>

#include "runtime/registry_win.h"
#include "runtime/system_win.h"

namespace vantoip {

std::string WindowsUserRegistry::ReadText(const std::string& path) { return ReadRegistryText(kCurrentUser, path); }

std::int32_t WindowsUserRegistry::ReadNumber(const std::string& path) {
  return ReadRegistryNumber(kCurrentUser, path);
}

bool WindowsUserRegistry::Write(const std::string& path, const Value& value) {
  return WriteRegistryValue(kCurrentUser, path, value);
}

bool WindowsThreads::Start(std::function<void()> body) { return StartThread(std::move(body)); }

std::uint64_t WindowsClock::Milliseconds() { return GetTickCount64(); }

}  // namespace vantoip
