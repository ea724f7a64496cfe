// Drives the real main window in the test process under Wine + Xvfb.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/main_window_controls.h"
#include "app/main_window_layout.h"
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
    // Let the list run started with the window end (nothing answers) before the list is used.
    ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(window->Handle()) == "读取失败"; }, 10000));
  }
  HWND Control(const char* name) { return window->ControlHandle(name); }
  std::string Text(const char* name) { return test::WindowTextGbk(Control(name)); }
  bool DelayShown() { return !Text(main_window::kDelayLabel).empty(); }
  static bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
  }

  Program program{FixedSources({"http://127.0.0.1:1/"})};  // nothing listens there: the list stays empty
};

// The window as its table gives it, typed here from the table itself rather
// than read back from the program's layout data.
TEST_F(MainWindowGui, BuildsTheLayoutOfItsTable) {
  // The layout alone, without the handlers that change captions at start.
  ASSERT_TRUE(LoadWindow(MainWindowLayout(), {}, nullptr, false, &window));
  EXPECT_EQ(test::WindowTextGbk(window->Handle()), "Vantoip地址代理工具");
  RECT rc;
  GetWindowRect(window->Handle(), &rc);
  EXPECT_EQ(rc.left, 50);
  EXPECT_EQ(rc.top, 50);
  EXPECT_EQ(rc.right - rc.left, 649);
  EXPECT_EQ(rc.bottom - rc.top, 576);
  struct Expected {
    const char* name;
    bool inAdvertGroup;
    int left, top, width, height;
    const char* caption;
  };
  const Expected table[] = {
      {"按钮3", true, 485, 8, 134, 30, "了解项目详情"},     {"按钮4", true, 485, 43, 134, 30, "推荐项目1注册"},
      {"按钮5", true, 485, 76, 134, 30, "推荐项目2注册"},   {"按钮6", true, 485, 109, 134, 30, "推荐项目3注册"},
      {"按钮7", true, 485, 143, 134, 30, "推荐项目4注册"},  {"透明标签1", true, 3, 13, 456, 144, nullptr},
      {"分组框2", false, 5, 363, 632, 181, "广告区"},        {"标签_计时", false, 560, 327, 60, 24, "00:00"},
      {"按钮2", false, 426, 324, 56, 24, "连接"},            {"标签_延迟", false, 361, 323, 50, 24, ""},
      {"标签3", false, 329, 322, 40, 24, "延迟："},          {"标签_目标", false, 171, 323, 150, 24, ""},
      {"标签2", false, 115, 323, 64, 24, "代理目标："},      {"标签_状态", false, 75, 323, 40, 24, "启用"},
      {"标签1", false, 17, 322, 64, 24, "代理状态："},       {"按钮1", false, 498, 324, 56, 24, "刷新"},
      {"超级列表框1", false, 9, 18, 617, 304, ""},           {"分组框1", false, 4, 3, 636, 357, "功能区"},
  };
  POINT client{0, 0};
  ClientToScreen(window->Handle(), &client);
  RECT group;
  GetWindowRect(Control("分组框2"), &group);
  for (const Expected& e : table) {
    HWND control = Control(e.name);
    ASSERT_TRUE(control) << e.name;
    GetWindowRect(control, &rc);
    const POINT origin = e.inAdvertGroup ? POINT{group.left, group.top} : client;
    EXPECT_EQ(rc.left - origin.x, e.left) << e.name;
    EXPECT_EQ(rc.top - origin.y, e.top) << e.name;
    EXPECT_EQ(rc.right - rc.left, e.width) << e.name;
    EXPECT_EQ(rc.bottom - rc.top, e.height) << e.name;
    if (e.caption) {
      EXPECT_EQ(Text(e.name), e.caption) << e.name;
    }
    EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control)) << e.name;
  }
  HWND list = Control("超级列表框1");
  struct Column {
    const char* heading;
    int width, format;
  };
  const Column columns[] = {{"序号", 50, LVCFMT_LEFT},    {"服务器地址", 150, LVCFMT_CENTER}, {"端口", 50, LVCFMT_CENTER},
                            {"位置", 100, LVCFMT_CENTER}, {"速度", 50, LVCFMT_CENTER},        {"检查时间", 200, LVCFMT_CENTER},
                            {"检测结果", 110, LVCFMT_CENTER}, {"协议", 60, LVCFMT_CENTER},  // after the page's six
                            {"匿名度", 50, LVCFMT_CENTER},    {"出口地址", 110, LVCFMT_CENTER}};
  ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 10);
  for (int i = 0; i < 10; ++i) {
    wchar_t heading[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = heading;
    column.cchTextMax = 64;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column))) << i;
    EXPECT_EQ(WideToGbk(heading), columns[i].heading) << i;
    EXPECT_EQ(column.cx, columns[i].width) << i;
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[i].format) << i;
  }
  const LONG style = GetWindowLongW(list, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_FALSE(style & (LVS_EDITLABELS | LVS_NOCOLUMNHEADER));
  const DWORD extended = ListView_GetExtendedListViewStyle(list);
  EXPECT_TRUE(extended & LVS_EX_GRIDLINES);
  EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
  EXPECT_FALSE(extended & LVS_EX_CHECKBOXES);
  // Tab moves through the tab stops in table order: 按钮3 ... 按钮7, 按钮2, 按钮1, the list.
  const char* order[] = {"按钮3", "按钮4", "按钮5", "按钮6", "按钮7", "按钮2", "按钮1", "超级列表框1"};
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
    for (int row = 0; row < 3; ++row) {
      window->InsertRow(main_window::kProxyList);
      window->SetCellText(main_window::kProxyList, row, 0, std::to_string(row + 1));
      window->SetCellText(main_window::kProxyList, row, 1, row == 1 ? "127.0.0.1" : "5.6.7.8");
      window->SetCellText(main_window::kProxyList, row, 2, row == 1 ? std::to_string(closed) : "3128");
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

  // Three quick presses through the input queue: the second arrives as a
  // double click, and each one flips the label.
  RECT label;
  GetWindowRect(Control(main_window::kStatusLabel), &label);
  SetForegroundWindow(window->Handle());
  const POINT middle{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  test::SendMouseButtons(middle, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP,
                                  MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
  test::PumpFor(500);
  EXPECT_EQ(Text(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, path), 0);
}

TEST_F(MainWindowGui, WorkerCellWritesArriveWholeAndFailFastAfterClose) {
  Open(nullptr, nullptr);
  constexpr int kThreads = 4, kRowsEach = 100;  // 2,800 operations from four threads
  std::atomic<int> done{0};
  int rowsMade = 0;  // on the window's thread only
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < kRowsEach; ++i) {
        // Each row is appended and filled in one piece of work on the window's thread.
        window->Post([&, t, i] {
          const int row = rowsMade++;
          window->InsertRow(main_window::kProxyList);
          for (int c = 0; c < 6; ++c)
            window->SetCellText(main_window::kProxyList, row, c,
                                std::to_string(t) + ":" + std::to_string(i) + ":" + std::to_string(c));
        });
      }
      ++done;
    });
  ASSERT_TRUE(test::PumpUntil([&] { return done == kThreads; }, 60000));
  for (auto& w : workers) w.join();
  HWND list = Control(main_window::kProxyList);
  // The view learns of streamed rows once the writes queued before have run.
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

  // Writers still running when the window closes go on at once, the queue
  // full or not: their writes are dropped.
  std::atomic<bool> closed{false};
  std::atomic<int> finished{0};
  std::vector<std::thread> late;
  for (int t = 0; t < kThreads; ++t)
    late.emplace_back([&] {
      while (!closed) window->InsertRow(main_window::kProxyList);
      for (int i = 0; i < 20000; ++i) window->SetCellText(main_window::kProxyList, 0, 1, "late");
      ++finished;
    });
  const int before = ListView_GetItemCount(list);
  ASSERT_TRUE(test::PumpUntil([&] { return ListView_GetItemCount(list) > before + 40; }, 20000));
  DestroyWindow(window->Handle());
  closed = true;
  ASSERT_TRUE(test::PumpUntil([&] { return finished == kThreads; }, 5000));
  for (auto& w : late) w.join();
  EXPECT_EQ(window->Caption(main_window::kStatusLabel), "");
}

TEST_F(MainWindowGui, CellWriteFromAWorkerTakesLittleTime) {
  Open(nullptr, nullptr);
  window->InsertRow(main_window::kProxyList);
  constexpr int kWrites = 10000;
  const std::string last = std::to_string(kWrites - 1);
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceCounter(&start);
  std::thread worker([&] {
    for (int i = 0; i < kWrites; ++i) window->SetCellText(main_window::kProxyList, 0, 1, std::to_string(i));
  });
  // Until the last write has landed in the list, not only left the worker.
  ASSERT_TRUE(test::PumpUntil([&] { return window->GetCellText(main_window::kProxyList, 0, 1) == last; }, 60000));
  QueryPerformanceCounter(&end);
  worker.join();
  QueryPerformanceFrequency(&frequency);
  const double meanUs = (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / kWrites;
  std::printf("cell write from a worker thread: %.1f us mean over %d\n", meanUs, kWrites);
  EXPECT_LT(meanUs, 5000.0);
}

}  // namespace
}  // namespace vantoip
