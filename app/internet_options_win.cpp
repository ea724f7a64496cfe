#include "app/internet_options_win.h"

#include "runtime/native_commands_win.h"

namespace vantoip {

bool WinInetOptions::Set(int option) {
  return CallNativeCommand(kInternetSetOption, {0, option, 0, 0}) != 0;
}

}  // namespace vantoip
