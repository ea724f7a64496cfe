// One line of the benchmark table that tools/bench collects from every benchmark.
#pragma once

#include <cstdio>

inline void Report(const char* figure, double value, const char* unit, const char* limit = "") {
  std::printf("| %-58s | %12.3f %-5s | %-14s |\n", figure, value, unit, limit);
  std::fflush(stdout);
}
