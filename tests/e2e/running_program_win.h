// The real Vantoip.exe started as its own process under Wine, and what the
// end-to-end tests look for in its window.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tests/support/child_process_win.h"
#include "tests/support/gui_win.h"

namespace vantoip::test {

inline const char* kEnablePath = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyEnable";
inline const char* kServerPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyServer";

inline std::string ProgramPath() {
  std::string path = "Z:" VANTOIP_EXE_PATH;  // Wine maps the Unix root to Z:
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The program's main window (its title changes while the list loads), or the
// one of its windows whose title is `title`.
inline HWND WindowOfProcess(DWORD processId, const std::string& title = {}) {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"VantoipWindow", nullptr); w;
       w = FindWindowExW(nullptr, w, L"VantoipWindow", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == processId && (title.empty() || test::WindowTextGbk(w) == title)) return w;
  }
  return nullptr;
}

struct RunningProgram {
  test::StartedProcess process;
  HWND window = nullptr;
  DWORD startedAt = 0;
  DWORD shownAfterMs = 0;

  // `listUrl`: the proxy-list page; by default a loopback port where nothing listens.
  bool Start(const std::string& listUrl = "http://127.0.0.1:1/list") {
    if (!Launch(listUrl)) return false;
    while (GetTickCount() - startedAt < 20000) {
      window = WindowOfProcess(process.id);
      if (window && IsWindowVisible(window)) {
        shownAfterMs = GetTickCount() - startedAt;
        return true;
      }
      Sleep(5);
    }
    return false;
  }
  // Starts the process without waiting for its window.
  bool Launch(const std::string& listUrl = "http://127.0.0.1:1/list") {
    SetEnvironmentVariableA("VANTOIP_LIST_URL", listUrl.c_str());  // inherited by the program
    SetEnvironmentVariableA("VANTOIP_DATA_DIR", DataFolder().c_str());  // a snapshot of each test's own
    startedAt = GetTickCount();
    PROCESS_INFORMATION started{};
    if (!test::StartProcess("\"" + ProgramPath() + "\"", started)) return false;
    process = test::StartedProcess(started);
    return true;
  }
  // The folder of the program's files, the same for every program of one test.
  static std::string DataFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "vantoip-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + test->name();
  }
  // Waits for `rows` rows, clicks the first ones until a row whose address
  // begins with `prefix` is the target; its host:port, or empty.
  std::string PickRow(int rows, const std::string& prefix);
  // The data folder's file `name`, for a test that damages it.
  std::string DataFile(const std::string& name) const { return DataFolder() + "\\" + name; }
  ~RunningProgram() {
    if (process.process && WaitForSingleObject(process.process.Get(), 0) == WAIT_TIMEOUT)
      TerminateProcess(process.process.Get(), 9);
  }
};

// A child control of the program's window: by class and exact text, or by a test of its text.
inline HWND FindChild(HWND window, const wchar_t* cls, const std::function<bool(const std::string&)>& matches) {
  for (HWND child = FindWindowExW(window, nullptr, cls, nullptr); child;
       child = FindWindowExW(window, child, cls, nullptr))
    if (matches(test::WindowTextGbk(child))) return child;
  return nullptr;
}
inline HWND FindChild(HWND window, const wchar_t* cls, const std::string& text) {
  return FindChild(window, cls, [&](const std::string& t) { return t == text; });
}
inline bool IsTime(const std::string& t) { return t.size() == 5 && t[2] == ':'; }

inline std::string RunningProgram::PickRow(int rows, const std::string& prefix) {
  HWND list = FindWindowExW(window, nullptr, L"SysListView32", nullptr);
  if (!test::PumpUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == rows; }, 20000)) return {};
  RECT rc;
  GetWindowRect(list, &rc);
  HWND target = nullptr;
  const auto rowPicked = [&] {
    target = FindChild(window, L"Static", [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
    return target != nullptr;
  };
  // Synthesized input reaches the window asynchronously; click again if the first is lost.
  for (int attempt = 0; attempt < 3 && !rowPicked(); ++attempt) {
    SetForegroundWindow(window);
    test::SendMouseButtons({rc.left + 200, rc.top + 62}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    test::PumpUntil(rowPicked, 3000);
  }
  return target ? test::WindowTextGbk(target) : std::string();
}

}  // namespace vantoip::test
