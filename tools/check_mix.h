// The proxies of the check benchmarks: 3,000 loopback addresses of their own
// (127.0.x.y; the fake proxies listen on every address, which Linux's
// loopback under Wine answers for the whole 127/8), every tenth working,
// four in ten refusing, the rest hanging after accepting, mixed through the list.
#pragma once

#include <string>

#include "tests/support/fake_proxies_win.h"

namespace vantoip::bench {

inline constexpr int kCheckedProxies = 3000;
inline constexpr int kChecksInFlight = kDefaultChecksInFlight;
inline constexpr double kCheckSeconds = 10;
// The ideal for 512 in flight is set by the hanging half: ceil(1,500 / 512) rounds of 10 s.
inline constexpr double kCheckIdealSeconds = ((kCheckedProxies / 2 + kChecksInFlight - 1) / kChecksInFlight) * kCheckSeconds;
inline constexpr double kCheckLimitSeconds = 1.15 * kCheckIdealSeconds;

inline test::FakeProxyKind MixedKind(int i) {
  const int slot = i % 10;
  return slot == 0 ? test::FakeProxyKind::Working : slot <= 4 ? test::FakeProxyKind::Refusing : test::FakeProxyKind::Hanging;
}

inline std::string MixedAddress(int i) { return "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250); }

}  // namespace vantoip::bench
