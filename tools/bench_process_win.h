// What the benchmarks read of their own process under Wine.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>

// Committed private memory: Wine reports it as the page-file usage (its PrivateUsage is 0).
inline double PrivateMegabytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return std::max(counters.PagefileUsage, counters.PrivateUsage) / 1048576.0;
}

inline double Seconds(const FILETIME& kernel, const FILETIME& user) {
  const auto seconds = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

// CPU time of the process, and of the calling thread.
inline double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Seconds(kernel, user);
}
inline double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return Seconds(kernel, user);
}

// Wine's server writes its registry files every 30 s when they changed, and
// every thread of every Wine program waits meanwhile (50-80 ms for this
// prefix). A window program's first window changes the display keys: a
// benchmark waits, after opening its window, until the registry was written
// `since` then. True at once outside Wine.
inline FILETIME FileTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return now;
}
inline bool WineRegistryWrittenSince(const FILETIME& since) {
  wchar_t prefix[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return true;
  std::wstring path = L"Z:" + std::wstring(prefix) + L"/system.reg";
  std::replace(path.begin(), path.end(), L'/', L'\\');
  WIN32_FILE_ATTRIBUTE_DATA file;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file)) return true;
  return CompareFileTime(&file.ftLastWriteTime, &since) >= 0;
}

// High-resolution seconds.
inline double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / f.QuadPart;
}
