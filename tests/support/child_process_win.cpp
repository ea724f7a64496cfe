#include "tests/support/child_process_win.h"

#include <gtest/gtest.h>


#include "runtime/encoding_win.h"

namespace vantoip::test {
namespace {

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (pid == search->processId && std::wstring(cls) == L"#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  auto* text = reinterpret_cast<std::wstring*>(param);
  wchar_t cls[16] = {};
  GetClassNameW(child, cls, 16);
  if (_wcsicmp(cls, L"Static") == 0) {
    const int n = GetWindowTextLengthW(child);
    std::wstring t(n + 1, L'\0');
    GetWindowTextW(child, t.data(), n + 1);
    t.resize(n);
    if (!t.empty()) *text = t;
  }
  return TRUE;
}

std::wstring WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring t(n + 1, L'\0');
  GetWindowTextW(window, t.data(), n + 1);
  t.resize(n);
  return t;
}

}  // namespace

std::string BesideTestExecutable(const std::string& fileName) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1) + fileName;
}

ChildOutcome RunChild(const std::string& commandLine, DWORD timeoutMs) {
  ChildOutcome outcome;
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return outcome;
  const DWORD start = GetTickCount();
  DWORD boxClosedAt = 0;
  while (GetTickCount() - start < timeoutMs) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
      if (outcome.sawErrorBox) outcome.msFromBoxClosedToEnd = GetTickCount() - boxClosedAt;
      break;
    }
    DialogSearch search{pi.dwProcessId, nullptr};
    EnumWindows(&FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    if (search.found && !outcome.sawErrorBox) {
      Sleep(200);  // let the box finish laying itself out
      outcome.sawErrorBox = true;
      outcome.boxCaption = WindowText(search.found);
      EnumChildWindows(search.found, &CollectStaticText, reinterpret_cast<LPARAM>(&outcome.boxText));
      PostMessageW(search.found, WM_COMMAND, IDOK, 0);
      boxClosedAt = GetTickCount();
    }
  }
  if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
    outcome.exited = true;
    GetExitCodeProcess(pi.hProcess, &outcome.exitCode);
  } else {
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
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
