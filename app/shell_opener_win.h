#pragma once

#include "app/promotion/promotion.h"

namespace vantoip {

// Opens addresses with the system's "open" action (OpenWithShell).
class WindowsShellOpener final : public ShellOpener {
 public:
  void Open(const std::string& address) override;
};

}  // namespace vantoip
