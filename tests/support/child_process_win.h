// Runs a program of the test build as a child process and deals with the error
// box a fatal runtime error shows: reads its caption and text, then closes it.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/handle_win.h"

namespace vantoip::test {

// What CreateProcess hands back, owned.
struct StartedProcess {
  StartedProcess() = default;
  explicit StartedProcess(const PROCESS_INFORMATION& started)
      : process(started.hProcess), thread(started.hThread), id(started.dwProcessId) {}
  KernelHandle process, thread;
  DWORD id = 0;
};

struct ChildOutcome {
  bool exited = false;      // ended within the time limit
  DWORD exitCode = 0;
  bool sawErrorBox = false;
  std::wstring boxCaption;
  std::wstring boxText;
  DWORD msFromBoxClosedToEnd = 0;
};

// Full path of a file beside the running test executable.
std::string BesideTestExecutable(const std::string& fileName);

// CreateProcessA with the caller's environment; a start Wine refuses at once
// (seen in a few runs in many) is said on stderr and tried again, three times in all.
bool StartProcess(std::string commandLine, PROCESS_INFORMATION& started);

// Starts `commandLine`, closes the first dialog box it shows after reading it,
// and waits for the exit.
ChildOutcome RunChild(const std::string& commandLine, DWORD timeoutMs = 20000);

// Expects the error box of a fatal runtime error showing `text`, then exit code -1
// within a few seconds of the box being closed.
void ExpectErrorBox(const ChildOutcome& outcome, const std::string& text);

}  // namespace vantoip::test
