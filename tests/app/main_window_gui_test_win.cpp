// Drives the real main window in the test process under Wine + Xvfb.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/main_window_layout.h"
#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "runtime/encoding_win.h"
#include "runtime/registry_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_listener_win.h"
#include "ui/message_loop_win.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

class MainWindowGui : public test::WindowTest {
 protected:
  void Open(const DWORD* enable, const char* server) {
    test::SetProxyValues(enable, server);
    window = OpenMainWindow(program);
    ASSERT_TRUE(window);
    // Let the list run started with the window finish before the list is used.
    ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(window->Handle()) == "读取完毕"; }, 10000));
  }
  HWND Control(const char* name) { return window->ControlHandle(name); }
  std::string Text(const char* name) { return test::WindowTextGbk(Control(name)); }
  bool DelayShown() { return !Text(main_window::kDelayLabel).empty(); }
  static bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
  }

  Program program{"http://127.0.0.1:1/"};  // nothing listens there: the list stays empty
};

TEST_F(MainWindowGui, BuildsTheLayoutInTableOrder) {
  std::shared_ptr<Window> bare;  // the layout alone, without handlers that retitle it
  ASSERT_TRUE(LoadWindow(MainWindowLayout(), {}, nullptr, false, &bare));
  EXPECT_EQ(test::WindowTextGbk(bare->Handle()), "Vantoip地址代理工具");
  DestroyWindow(bare->Handle());
  Open(nullptr, nullptr);
  RECT rc;
  GetWindowRect(window->Handle(), &rc);
  EXPECT_EQ(rc.right - rc.left, 649);
  EXPECT_EQ(rc.bottom - rc.top, 576);
  // Controls inside 分组框2 are placed relative to it.
  RECT group, button;
  GetWindowRect(Control(main_window::kAdvertGroup), &group);
  GetWindowRect(Control(main_window::kDetailsButton), &button);
  EXPECT_EQ(button.left - group.left, 485);
  EXPECT_EQ(button.top - group.top, 8);
  HWND header = ListView_GetHeader(Control(main_window::kProxyList));
  ASSERT_EQ(Header_GetItemCount(header), 6);
  EXPECT_EQ(ListView_GetColumnWidth(Control(main_window::kProxyList), 5), 200);
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(Control(main_window::kProxyList)) & LVS_EX_GRIDLINES);
  // Tab moves through the tab stops in table order: 按钮3 ... 按钮7, 按钮2, 按钮1, the list.
  const char* order[] = {main_window::kDetailsButton, main_window::kProject1Button, main_window::kProject2Button, main_window::kProject3Button, main_window::kProject4Button, main_window::kConnectButton, main_window::kRefreshButton, main_window::kProxyList};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(GetNextDlgTabItem(window->Handle(), Control(order[i]), FALSE), Control(order[i + 1])) << order[i];
}

TEST_F(MainWindowGui, RegistryOnStartsOnAndMeasuresTheTarget) {
  test::LoopbackListener listener;
  const DWORD one = 1;
  const std::string server = "127.0.0.1:" + std::to_string(listener.Port());
  Open(&one, server.c_str());
  EXPECT_EQ(Text(main_window::kStatusLabel), "启用");
  EXPECT_EQ(Text(main_window::kTargetLabel), server);
  EXPECT_EQ(Text(main_window::kConnectButton), "断开");
  EXPECT_EQ(window->Interval(main_window::kConnectedTimer), 1000);
  EXPECT_FALSE(IsWindowEnabled(Control(main_window::kProxyList)));
  EXPECT_EQ(program.state.Target().host, "127.0.0.1");
  ASSERT_TRUE(test::PumpUntil([&] { return DelayShown(); }));
  EXPECT_TRUE(AllDigits(Text(main_window::kDelayLabel))) << Text(main_window::kDelayLabel);
}

TEST_F(MainWindowGui, EnabledWithoutServerAndOtherEnableValuesStartOff) {
  const DWORD one = 1, two = 2;
  Open(&one, "");
  EXPECT_EQ(Text(main_window::kStatusLabel), "启用");
  EXPECT_EQ(Text(main_window::kConnectButton), "连接");
  EXPECT_TRUE(IsWindowEnabled(Control(main_window::kProxyList)));
  EXPECT_EQ(window->Interval(main_window::kConnectedTimer), 0);
  DestroyWindow(window->Handle());
  Open(&two, "1.2.3.4:8080");
  EXPECT_EQ(Text(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(Text(main_window::kConnectButton), "连接");
}

TEST_F(MainWindowGui, ServerWithoutPortStartsOnWithAnEmptyPort) {
  const DWORD one = 1;
  Open(&one, "127.0.0.1");
  EXPECT_EQ(Text(main_window::kConnectButton), "断开");
  EXPECT_EQ(program.state.Target().host, "127.0.0.1");
  EXPECT_EQ(program.state.Target().port, "");
  ASSERT_TRUE(test::PumpUntil([&] { return DelayShown(); }, 10000));
  EXPECT_TRUE(AllDigits(Text(main_window::kDelayLabel)));
}

TEST_F(MainWindowGui, ClientConnectsOnlyToTheNamedPort) {
  Open(nullptr, nullptr);
  test::LoopbackListener listener;
  EXPECT_TRUE(window->ConnectClient(main_window::kDelayClient, "127.0.0.1", listener.Port()));
  EXPECT_FALSE(window->ConnectClient(main_window::kDelayClient, "127.0.0.1", listener.Port() + 65536));  // no wrap-around
  EXPECT_FALSE(window->ConnectClient(main_window::kDelayClient, "", listener.Port()));
}

TEST_F(MainWindowGui, ClickingARowPicksItAndMeasuresItsDelay) {
  Open(nullptr, nullptr);
  const int closed = test::ClosedLoopbackPort();
  // Rows come in through the control operations, from a worker thread.
  std::atomic<bool> filled{false};
  std::thread filler([&] {
    for (int i = 0; i < 3; ++i) {
      const int row = window->InsertRow(main_window::kProxyList);
      window->SetCellText(main_window::kProxyList, row, 0, std::to_string(i + 1));
      window->SetCellText(main_window::kProxyList, row, 1, i == 1 ? "127.0.0.1" : "5.6.7.8");
      window->SetCellText(main_window::kProxyList, row, 2, i == 1 ? std::to_string(closed) : "3128");
    }
    filled = true;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return filled.load(); }));  // the UI thread must keep answering
  filler.join();
  HWND list = Control(main_window::kProxyList);
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) == 3; }));  // the view has caught up
  RECT item;
  ListView_GetItemRect(list, 1, &item, LVIR_BOUNDS);
  const LPARAM at = MAKELPARAM(item.left + 60, (item.top + item.bottom) / 2);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(test::PumpUntil([&] { return Text(main_window::kTargetLabel) == "127.0.0.1:" + std::to_string(closed); }))
      << Text(main_window::kTargetLabel);
  EXPECT_EQ(window->CurrentRow(main_window::kProxyList), 1);
  ASSERT_TRUE(test::PumpUntil([&] { return DelayShown(); }, 10000));  // a refused connect still gives a number
  EXPECT_TRUE(AllDigits(Text(main_window::kDelayLabel))) << Text(main_window::kDelayLabel);
  EXPECT_EQ(Text(main_window::kConnectButton), "连接");
}

TEST_F(MainWindowGui, PressingTheStatusLabelFlipsItAndTheEnableValue) {
  const DWORD one = 1;
  Open(&one, "");
  const char* path = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyEnable";
  SendMessageW(Control(main_window::kStatusLabel), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(Text(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, path), 0);
  SendMessageW(Control(main_window::kStatusLabel), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(Text(main_window::kStatusLabel), "启用");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, path), 1);
}

TEST_F(MainWindowGui, WorkerCellWritesArriveWholeAndFailFastAfterClose) {
  Open(nullptr, nullptr);
  constexpr int kThreads = 4, kRowsEach = 100;  // 2,800 operations from four threads
  std::atomic<int> done{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < kRowsEach; ++i) {
        const int row = window->InsertRow(main_window::kProxyList);
        for (int c = 0; c < 6; ++c)
          window->SetCellText(main_window::kProxyList, row, c, std::to_string(t) + ":" + std::to_string(i) + ":" + std::to_string(c));
      }
      ++done;
    });
  ASSERT_TRUE(test::PumpUntil([&] { return done == kThreads; }, 60000));
  for (auto& w : workers) w.join();
  HWND list = Control(main_window::kProxyList);
  // The view learns of streamed rows a little later than they arrive.
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) == kThreads * kRowsEach; }));
  for (int row = 0; row < kThreads * kRowsEach; ++row) {
    const std::string first = window->GetCellText(main_window::kProxyList, row, 0);
    const std::string prefix = first.substr(0, first.rfind(':') + 1);
    for (int c = 1; c < 6; ++c) ASSERT_EQ(window->GetCellText(main_window::kProxyList, row, c), prefix + std::to_string(c));
  }
  // A long cell comes back whole.
  const std::string longText(3000, 'x');
  window->SetCellText(main_window::kProxyList, 0, 3, longText);
  EXPECT_EQ(window->GetCellText(main_window::kProxyList, 0, 3), longText);
  EXPECT_EQ(window->GetCellText(main_window::kProxyList, -1, 1), "");
  EXPECT_EQ(window->GetCellText(main_window::kProxyList, 0, 6), "");

  // Writers still running when the window closes return promptly.
  std::atomic<bool> stop{false};
  std::atomic<int> finished{0};
  std::vector<std::thread> late;
  for (int t = 0; t < kThreads; ++t)
    late.emplace_back([&] {
      while (!stop) {
        const int row = window->InsertRow(main_window::kProxyList);
        if (row < 0) break;  // the window is gone
        window->SetCellText(main_window::kProxyList, row, 1, "late");
      }
      ++finished;
    });
  const int before = ListView_GetItemCount(list);
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) > before + 40; }, 20000));
  DestroyWindow(window->Handle());
  ASSERT_TRUE(test::PumpUntil([&] { return finished == kThreads; }, 5000));
  stop = true;
  for (auto& w : late) w.join();
  EXPECT_EQ(window->Caption(main_window::kStatusLabel), "");
  EXPECT_EQ(window->InsertRow(main_window::kProxyList), -1);
}

TEST_F(MainWindowGui, CellWriteFromAWorkerTakesLittleTime) {
  Open(nullptr, nullptr);
  window->InsertRow(main_window::kProxyList);
  constexpr int kWrites = 10000;
  std::atomic<bool> done{false};
  LARGE_INTEGER start, end, frequency;
  std::thread worker([&] {
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kWrites; ++i) window->SetCellText(main_window::kProxyList, 0, 1, std::to_string(i));
    QueryPerformanceCounter(&end);
    done = true;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return done.load(); }, 60000));
  worker.join();
  QueryPerformanceFrequency(&frequency);
  const double meanUs = (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / kWrites;
  std::printf("cell write from a worker thread: %.1f us mean over %d\n", meanUs, kWrites);
  EXPECT_EQ(window->GetCellText(main_window::kProxyList, 0, 1), std::to_string(kWrites - 1));
  EXPECT_LT(meanUs, 5000.0);
}

}  // namespace
}  // namespace vantoip
