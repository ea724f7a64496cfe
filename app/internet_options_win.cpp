#include "app/internet_options_win.h"

#include "runtime/native_commands_win.h"

namespace vantoip {

bool WinInetOptions::Set(int option) {
  return static_cast<std::uint32_t>(CallNativeCommand(kInternetSetOption, {0, option, 0, 0})) != 0;  // a BOOL
}

}  // namespace vantoip
