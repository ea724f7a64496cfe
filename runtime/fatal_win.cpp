#include "runtime/fatal_win.h"

#include <windows.h>

#include "runtime/encoding_win.h"
#include "runtime/fatal.h"

namespace vantoip {
namespace {

[[noreturn]] void ShowErrorBoxAndExit(int, const std::string& text) {
  MessageBoxW(nullptr, GbkToWide(text).c_str(), GbkToWide("错误").c_str(), MB_ICONERROR | MB_OK);
  RunEndOfRun();
  EndProcess(static_cast<UINT>(-1));
}

}  // namespace

void InstallFatalErrorBox() { SetFatalErrorHandler(&ShowErrorBoxAndExit); }

void EndProcess(unsigned exitCode) {
  // Other threads may be anywhere (inside a library, holding a lock): end the
  // process without running library detach code on their behalf.
  TerminateProcess(GetCurrentProcess(), exitCode);
  ExitProcess(exitCode);  // not reached
}

}  // namespace vantoip
