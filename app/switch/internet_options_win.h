#pragma once

#include "app/services.h"

namespace vantoip {

// InternetSetOptionA(null, option, null, 0) through the native command table.
class WinInetOptions final : public InternetOptions {
 public:
  bool Set(int option) override;
};

}  // namespace vantoip
