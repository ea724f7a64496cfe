// What the benchmarks read of their own process under Wine.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <algorithm>

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

// High-resolution seconds.
inline double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) / f.QuadPart;
}
