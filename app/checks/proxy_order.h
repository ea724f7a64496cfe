// The list's sort orders (one per column) and the pick of the fastest working proxy.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "app/main_window_controls.h"
#include "net/check_protocol.h"

namespace vantoip {

// Negative, zero or positive as `a` sorts before, with or after `b` in `column`:
// 序号 and 端口 as numbers, 速度 by a measured time ("123 ms") before the
// percentages of list pages, 服务器地址 by the IPv4 value
// with host names after the addresses, 匿名度 from 高匿 to 透明 and "?", the others as text. In the numeric
// columns a text that is not a number sorts after the numbers.
int CompareColumn(int column, std::string_view a, std::string_view b);

// Full passes by time, then "仅HTTP" ones by time, then "HTTPS失败" ones by
// time, then "证书错误", then the failures by kind, then the rows being
// checked, then the unchecked ones.
int CompareResults(const CheckResult& a, const CheckResult& b);

// A working proxy that hides its user: 匿名 or 高匿.
bool HidesUser(const CheckResult& result);

// The order of the passes: those that hide their user, then those of an
// unknown level, then the 透明 ones; each group in CompareResults' order.
int ComparePasses(const CheckResult& a, const CheckResult& b);

// The passes (never a "证书错误" one) in that order, the first of equals first.
std::vector<std::size_t> PassesInOrder(std::span<const CheckResult> results);
// The first of them; nothing when none passed.
std::optional<std::size_t> FastestPassed(std::span<const CheckResult> results);

}  // namespace vantoip
