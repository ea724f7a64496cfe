#include "tests/support/child_process_win.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"
#include "runtime/window_enumeration_win.h"

namespace vantoip::test {
namespace {

std::wstring ClassName(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return name;
}

std::wstring WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring t(n + 1, L'\0');
  GetWindowTextW(window, t.data(), n + 1);
  t.resize(n);
  return t;
}

HWND ShownDialogOf(DWORD processId) {
  HWND found = nullptr;
  ForEachTopLevelWindow([&](HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != processId || ClassName(window) != L"#32770" || !IsWindowVisible(window)) return true;
    found = window;
    return false;
  });
  return found;
}

// The last label of a dialog with any text: a message box's message.
std::wstring LastStaticText(HWND dialog) {
  std::wstring text;
  ForEachChildWindow(dialog, [&](HWND child) {
    if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0) return;
    if (std::wstring t = WindowText(child); !t.empty()) text = std::move(t);
  });
  return text;
}

}  // namespace

std::string BesideTestExecutable(const std::string& fileName) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1) + fileName;
}

bool StartProcess(std::string commandLine, PROCESS_INFORMATION& started) {
  STARTUPINFOA si{sizeof si};
  for (int tries = 1; !CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                      &started);
       ++tries) {
    std::fprintf(stderr, "%s did not start (error %lu)\n", commandLine.c_str(), GetLastError());
    if (tries == 3) return false;
    Sleep(500);
  }
  return true;
}

ChildOutcome RunChild(const std::string& commandLine, DWORD timeoutMs) {
  ChildOutcome outcome;
  PROCESS_INFORMATION started{};
  if (!StartProcess(commandLine, started)) return outcome;
  const StartedProcess child(started);
  const HANDLE process = child.process.Get();
  const DWORD start = GetTickCount();
  DWORD boxClosedAt = 0;
  while (GetTickCount() - start < timeoutMs) {
    if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) {
      if (outcome.sawErrorBox) outcome.msFromBoxClosedToEnd = GetTickCount() - boxClosedAt;
      break;
    }
    if (const HWND box = outcome.sawErrorBox ? nullptr : ShownDialogOf(child.id)) {
      Sleep(200);  // let the box finish laying itself out
      outcome.sawErrorBox = true;
      outcome.boxCaption = WindowText(box);
      outcome.boxText = LastStaticText(box);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      boxClosedAt = GetTickCount();
    }
  }
  if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
    outcome.exited = true;
    GetExitCodeProcess(process, &outcome.exitCode);
  } else {
    TerminateProcess(process, 1);
  }
  return outcome;
}

void ExpectErrorBox(const ChildOutcome& outcome, const std::string& text) {
  EXPECT_TRUE(outcome.sawErrorBox);
  EXPECT_EQ(outcome.boxCaption, GbkToWide("错误"));
  EXPECT_EQ(WideToGbk(outcome.boxText), text);
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0xFFFFFFFFu);  // exit code -1
  EXPECT_LT(outcome.msFromBoxClosedToEnd, 5000u) << "the process lingered after its error box";
}

}  // namespace vantoip::test
