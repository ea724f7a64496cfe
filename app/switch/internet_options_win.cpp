#include "app/switch/internet_options_win.h"

#include <windows.h>

#include <string>

#include "runtime/native_commands_win.h"
#include "runtime/system_win.h"

namespace vantoip {

bool WinInetOptions::Set(int option) {
  if (static_cast<std::uint32_t>(CallNativeCommand(kInternetSetOption, {0, option, 0, 0})) != 0) return true;  // a BOOL
  NoteFailure("InternetSetOptionA " + std::to_string(option), GetLastError());
  return false;
}

}  // namespace vantoip
