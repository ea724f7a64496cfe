#pragma once

namespace vantoip {

// Makes fatal errors show the error box (caption "错误", error icon) and end
// the process with exit code -1 once it is closed.
void InstallFatalErrorBox();

}  // namespace vantoip
