#include "app/shell_opener_win.h"

#include "runtime/system_win.h"

namespace vantoip {

void WindowsShellOpener::Open(const std::string& address) { OpenWithShell(address); }

}  // namespace vantoip
