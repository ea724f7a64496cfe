#pragma once

namespace vantoip {

// Makes fatal errors show the error box (caption "错误", error icon) and end
// the process with exit code -1 once it is closed.
void InstallFatalErrorBox();

// Ends the process at once with `exitCode`, whatever other threads are doing.
[[noreturn]] void EndProcess(unsigned exitCode);

}  // namespace vantoip
