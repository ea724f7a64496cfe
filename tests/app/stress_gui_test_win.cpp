// Many clicks, many workers: the list and the target stay consistent and the
// window keeps answering.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>

#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "runtime/system_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/loopback_listener_win.h"
#include "tests/support/proxy_page.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

class Stress : public test::WindowTest {
 protected:
  void TearDown() override {
    // Workers use the program's objects: let them all end first.
    EXPECT_TRUE(test::PumpUntil([] { return RunningThreadCount() == 0; }, 120000));
    WindowTest::TearDown();
  }
  void Open(const std::string& listUrl) {
    program = std::make_unique<Program>(FixedSources({listUrl}));
    window = OpenMainWindow(*program);
    ASSERT_TRUE(window);
  }
  HWND List() { return window->ControlHandle(main_window::kProxyList); }
  std::string Title() { return test::WindowTextGbk(window->Handle()); }

  std::unique_ptr<Program> program;
};

TEST_F(Stress, TwoHundredRapidRefreshesEndWithOneWholeList) {
  const std::string page = test::GeneratedProxyPage(1000);
  std::atomic<int> served{0};
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    ++served;
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/html\r\n", page);
  });
  Open(server.Url("/list"));
  for (int i = 0; i < 200; ++i) {
    PostMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
    test::PumpFor(5);
  }
  const DWORD start = GetTickCount();
  ASSERT_TRUE(test::PumpUntil([&] { return RunningThreadCount() == 0; }, 600000))
      << served << " pages served, " << RunningThreadCount() << " workers left";
  std::printf("200 refreshes of a 1,000-row page: %lu ms until every run ended, %d pages served\n",
              GetTickCount() - start, served.load());
  EXPECT_GE(served, 2);  // runs superseded before their download never ask for the page
  // The last writes may still wait for the window's thread when the workers end.
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取完毕"; }));
  EXPECT_EQ(ListView_GetItemCount(List()), 1000);
  for (int row : {0, 1, 499, 998, 999}) {
    EXPECT_EQ(window->GetCellText(main_window::kProxyList, row, 0), std::to_string(row + 1));
    EXPECT_EQ(window->GetCellText(main_window::kProxyList, row, 2), std::to_string(8001 + row));
  }
}

TEST_F(Stress, FiveHundredRowPicksEachMeasured) {
  Open("http://127.0.0.1:1/list");
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取失败"; }));
  const int closed = test::ClosedLoopbackPort();
  for (int row = 0; row < 20; ++row) {
    window->InsertRow(main_window::kProxyList);
    window->SetCellText(main_window::kProxyList, row, 1, "127.0.0." + std::to_string(row + 1));
    window->SetCellText(main_window::kProxyList, row, 2, std::to_string(closed));
  }
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(List()) == 20; }));
  int lastRow = 0;
  for (int pick = 0; pick < 500; ++pick) {
    lastRow = (pick * 7) % 15;  // the visible rows
    RECT item;
    ListView_GetItemRect(List(), lastRow, &item, LVIR_BOUNDS);
    const LPARAM at = MAKELPARAM(item.left + 60, (item.top + item.bottom) / 2);
    PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(List(), WM_LBUTTONUP, 0, at);
    test::PumpFor(2);
  }
  const std::string expected = "127.0.0." + std::to_string(lastRow + 1) + ":" + std::to_string(closed);
  ASSERT_TRUE(test::PumpUntil([&] {
    return test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel)) == expected && RunningThreadCount() == 0;
  }, 120000)) << test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel));
  const std::string delay = test::WindowTextGbk(window->ControlHandle(main_window::kDelayLabel));
  EXPECT_FALSE(delay.empty());
  EXPECT_EQ(delay.find_first_not_of("0123456789"), std::string::npos) << delay;
  EXPECT_EQ(program->state.Target().host, "127.0.0." + std::to_string(lastRow + 1));
}

}  // namespace
}  // namespace vantoip
