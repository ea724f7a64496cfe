// A hundred complete list refreshes must not make the process grow.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <gtest/gtest.h>

#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "runtime/system_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/proxy_page.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

// Committed private memory (Wine reports it as the page-file usage, not as PrivateUsage).
double PrivateMegabytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage / 1048576.0;
}

TEST(Memory, TwoHundredMoreRefreshesOfAThousandRowsStayWithinTenPercent) {
  test::PrepareGuiTests();
  const std::string page = test::GeneratedProxyPage(1000);
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/html\r\n", page);
  });
  Program program(FixedSources({server.Url("/list")}));
  auto window = OpenMainWindow(program);
  ASSERT_TRUE(window);
  ShowWindow(window->Handle(), SW_MINIMIZE);  // the same work without the painting
  HWND list = window->ControlHandle(main_window::kProxyList);
  auto refresh = [&] {
    test::PumpUntil([] { return RunningThreadCount() == 0; }, 60000);
    SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
    return test::PumpUntil([&] {
      return RunningThreadCount() == 0 && test::WindowTextGbk(window->Handle()) == "读取完毕" &&
             ListView_GetItemCount(list) == 1000;
    }, 120000);
  };
  ASSERT_TRUE(refresh());
  const double afterFirst = PrivateMegabytes();
  for (int i = 2; i <= 100; ++i) ASSERT_TRUE(refresh()) << "refresh " << i;
  const double afterHundred = PrivateMegabytes();
  const DWORD start = GetTickCount();
  for (int i = 101; i <= 300; ++i) ASSERT_TRUE(refresh()) << "refresh " << i;
  const double afterThreeHundred = PrivateMegabytes();
  std::printf("private memory after 1 refresh: %.1f MiB, after 100: %.1f MiB, after 300: %.1f MiB (%+.1f%%), "
              "%lu ms per refresh\n", afterFirst, afterHundred, afterThreeHundred,
              (afterThreeHundred / afterHundred - 1) * 100, (GetTickCount() - start) / 200);
  EXPECT_LE(afterHundred, afterFirst * 1.10);
  EXPECT_LE(afterThreeHundred, afterHundred * 1.10);
  DestroyWindow(window->Handle());
  test::PumpFor(50);
}

}  // namespace
}  // namespace vantoip
