// Checking proxies in the real main window: loopback proxies of every kind
// listed from a loopback plain list, driven with real keys, clicks and the
// list's context menu.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "app/switch/connection_options_win.h"
#include "runtime/encoding_win.h"
#include "runtime/registry_win.h"
#include "runtime/window_enumeration_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/loopback_judge_win.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

using test::FakeProxyKind;

constexpr char kCheckUrl[] = "http://check.test/ncsi.txt";
constexpr char kCheckText[] = "Vantoip check page";

// The clipboard's Unicode text, as GBK.
std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = WideToGbk(wide);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Whether a popup menu of `thread` is on the screen.
bool MenuShown(DWORD thread) {
  bool shown = false;
  ForEachThreadWindow(thread, [&](HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    shown = shown || (IsWindowVisible(window) && wcscmp(name, L"#32768") == 0);
  });
  return shown;
}

class ListChecksGui : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Read by the program when it is made, as from the environment at start.
    test::SetCheckEnvironment(kCheckUrl, kCheckText);
    // The snapshot of the settings and settings.ini in a folder of this run's own.
    dataFolder = std::filesystem::temp_directory_path() / ("vantoip-checks-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dataFolder);
    SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", dataFolder.c_str());
    fakes = std::make_unique<test::FakeProxies>(test::LoopbackCheckPage(kCheckUrl, kCheckText));
    std::string list;
    // The SOCKS5 one as a plain address: its protocol is found by the check.
    for (FakeProxyKind kind : test::kFakeProxyKinds) {
      const std::string address = "127.0.0.1:" + std::to_string(fakes->Port(kind));
      list += kind == FakeProxyKind::Socks5Login ? "socks5://tester:p%40ss%3Aword@" + address + "\n"
              : kind == FakeProxyKind::Socks4    ? "socks4://" + address + "\n"
                                                 : address + "\n";
    }
    listText = list;
    server = std::make_unique<test::LoopbackHttpServer>([this](const test::ReceivedRequest&) {
      ++listsServed;
      std::lock_guard lock(listMutex);
      return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", listText);
    });
    program = std::make_unique<Program>(FixedSources({server->Url("/list")}));
    program->guard.SetSeconds(5);  // the dead fakes fail at once
    window = OpenMainWindow(*program);
    ASSERT_TRUE(window);
    ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取完毕" && ViewRows() == test::kFakeProxyKindCount; }));
    SetForegroundWindow(window->Handle());
    SetFocus(List());
  }
  void TearDown() override {
    if (window && window->Alive()) DestroyWindow(window->Handle());
    test::PumpFor(100);
    test::SetCheckEnvironment(nullptr, nullptr);
    SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dataFolder, ignored);
    WindowTest::TearDown();
  }
  HWND List() { return window->ControlHandle(main_window::kProxyList); }
  std::string Title() { return test::WindowTextGbk(window->Handle()); }
  int ViewRows() { return ListView_GetItemCount(List()); }
  int RowOf(FakeProxyKind kind) { return static_cast<int>(kind); }  // listed in this order
  std::string Result(int row) { return window->GetCellText(main_window::kProxyList, row, kResultColumn); }
  // The row the view shows at `place`, by its 序号.
  int RowShownAt(int place) { return std::atoi(test::ListTextShown(List(), place, 0).c_str()) - 1; }
  // Opens the list's context menu with a right click and, once it shows, presses `keys`.
  void ChooseFromMenu(std::vector<WORD> keys) {
    RECT item;
    ListView_GetItemRect(List(), 0, &item, LVIR_BOUNDS);
    POINT at{40, (item.top + item.bottom) / 2};  // on the first row, however far the list is scrolled
    ClientToScreen(List(), &at);
    std::atomic<bool> shown{false}, pressed{false};
    const DWORD uiThread = GetWindowThreadProcessId(window->Handle(), nullptr);
    std::thread presser([keys, &shown, &pressed, uiThread] {
      // Keys sent before the menu shows would go to the list instead.
      for (int waited = 0; waited < 5000 && !shown; waited += 20) {
        Sleep(20);
        shown = MenuShown(uiThread);
      }
      Sleep(100);
      for (WORD key : keys) {
        test::SendKeys({}, key);
        Sleep(50);
      }
      pressed = true;
    });
    test::SendMouseButtons(at, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
    test::PumpUntil([&] { return pressed.load(); }, 8000);  // the menu runs its own loop meanwhile
    test::PumpFor(300);
    presser.join();
    EXPECT_TRUE(shown) << "the list's context menu never showed";
  }

  std::string Registered() {
    return ReadRegistryText(kCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyServer");
  }
  std::string Target() { return test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel)); }
  std::string Address(FakeProxyKind kind) { return "127.0.0.1:" + std::to_string(fakes->Port(kind)); }

  std::filesystem::path dataFolder;
  std::unique_ptr<test::FakeProxies> fakes;
  std::atomic<int> listsServed{0};
  std::mutex listMutex;
  std::string listText;  // what the list's source serves
  std::unique_ptr<test::LoopbackHttpServer> server;
  std::unique_ptr<Program> program;
};

TEST_F(ListChecksGui, CtrlTChecksEveryKindRightAndTheListSortsFiltersAndConnectsTheFastest) {
  test::SendKeys({VK_CONTROL}, 'T');
  ASSERT_TRUE(test::PumpUntil([&] { return Title().rfind("正在检测 ", 0) == 0; }, 3000)) << Title();
  ASSERT_TRUE(test::PumpUntil([&] { return Title().rfind("检测完毕", 0) == 0; }, 20000)) << Title();
  int passes = 0;
  for (FakeProxyKind kind : test::kFakeProxyKinds) passes += IsPass({test::ExpectedOutcome(kind), 0});
  EXPECT_EQ(Title(), "检测完毕：可用 " + std::to_string(passes) + "/" + std::to_string(test::kFakeProxyKindCount));
  for (FakeProxyKind kind : test::kFakeProxyKinds) {
    const CheckOutcome expected = test::ExpectedOutcome(kind);
    const std::string text = Result(RowOf(kind));
    // A right page shows its time and what became of HTTPS: "12 ms", "12 ms 仅HTTP", ...
    const std::string suffix = CheckResultText({expected, 0}).substr(1);
    if (HasTime({expected, 0})) {
      EXPECT_TRUE(text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
          << text;
    } else {
      EXPECT_EQ(text, CheckResultText({expected, 0})) << test::FakeProxyName(kind);
    }
  }

  // A click on the 检测结果 heading: full passes first, the fastest on top,
  // then HTTP only, HTTPS failed, intercepted TLS and the failures.
  // The column lies mostly beyond the list's width: scrolled into sight first.
  ListView_Scroll(List(), 200, 0);
  test::PumpFor(100);
  HWND header = ListView_GetHeader(List());
  RECT heading;
  Header_GetItemRect(header, kResultColumn, &heading);
  const LPARAM at = MAKELPARAM((heading.left + heading.right) / 2, (heading.top + heading.bottom) / 2);
  PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(header, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(window->GetCellText(main_window::kProxyList, RowOf(FakeProxyKind::Socks5), kProtocolColumn), "SOCKS5");
  const std::vector<FakeProxyKind> ranked = {
      FakeProxyKind::Working,     FakeProxyKind::Slow,         FakeProxyKind::Socks5,   FakeProxyKind::Socks5Login,
      FakeProxyKind::Socks4,      FakeProxyKind::SlowTunnel,   FakeProxyKind::HttpOnly, FakeProxyKind::EmptyTunnel,
      FakeProxyKind::Intercepting, FakeProxyKind::Hanging};  // then the failures, timed out first
  const auto shownRanked = [&] {
    for (int place = 0; place < static_cast<int>(ranked.size()); ++place)
      if (RowShownAt(place) != RowOf(ranked[place])) return false;
    return true;
  };
  EXPECT_TRUE(test::PumpUntil(shownRanked)) << RowShownAt(0) << " " << RowShownAt(1) << " " << RowShownAt(2) << " "
                                            << RowShownAt(3) << " " << RowShownAt(4) << " " << RowShownAt(5);

  // A click on the row shown third picks that row, not the third of the list.
  RECT third;
  ListView_GetItemRect(List(), 2, &third, LVIR_BOUNDS);
  const LPARAM onThird = MAKELPARAM(20, (third.top + third.bottom) / 2);
  PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, onThird);
  PostMessageW(List(), WM_LBUTTONUP, 0, onThird);
  const std::string thirdShown = "127.0.0.1:" + std::to_string(fakes->Port(ranked[2]));
  EXPECT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel)) == thirdShown; }))
      << test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel));

  // Only the working ones, their numbers kept.
  ChooseFromMenu({'A'});
  ASSERT_TRUE(test::PumpUntil([&] { return ViewRows() == passes; })) << ViewRows();
  EXPECT_EQ(RowShownAt(0), RowOf(FakeProxyKind::Working));

  // Ctrl+C puts the selected row's address on the clipboard.
  window->SelectRow(main_window::kProxyList, RowOf(FakeProxyKind::Slow));
  SetFocus(List());
  test::SendKeys({VK_CONTROL}, 'C');
  const std::string slowLine = "127.0.0.1:" + std::to_string(fakes->Port(FakeProxyKind::Slow)) + "\r\n";
  EXPECT_TRUE(test::PumpUntil([&] { return ClipboardText() == slowLine; })) << ClipboardText();

  // Ctrl+F picks the fastest with HTTPS, as a click would, and switches it on.
  test::SendKeys({VK_CONTROL}, 'F');
  const std::string fastest = "127.0.0.1:" + std::to_string(fakes->Port(FakeProxyKind::Working));
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel)) == fastest; }));
  EXPECT_EQ(window->CurrentRow(main_window::kProxyList), RowOf(FakeProxyKind::Working));
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "代理连接成功"; })) << Title();
  EXPECT_EQ(ReadRegistryText(kCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyServer"),
            fastest);

  // 断开, then the SOCKS4 row: it goes on as Windows reads a SOCKS proxy.
  SendMessageW(window->ControlHandle(main_window::kConnectButton), BM_CLICK, 0, 0);
  const auto connectCaption = [&] { return test::WindowTextGbk(window->ControlHandle(main_window::kConnectButton)); };
  ASSERT_TRUE(test::PumpUntil([&] { return connectCaption() == "连接" && IsWindowEnabled(List()); }));
  int place = 0;
  while (place < ViewRows() && RowShownAt(place) != RowOf(FakeProxyKind::Socks4)) ++place;
  RECT socks4;
  ListView_GetItemRect(List(), place, &socks4, LVIR_BOUNDS);
  const LPARAM onSocks4 = MAKELPARAM(20, (socks4.top + socks4.bottom) / 2);
  PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, onSocks4);
  PostMessageW(List(), WM_LBUTTONUP, 0, onSocks4);
  const std::string socksTarget = "socks=127.0.0.1:" + std::to_string(fakes->Port(FakeProxyKind::Socks4));
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel)) == socksTarget; }))
      << test::WindowTextGbk(window->ControlHandle(main_window::kTargetLabel));
  SendMessageW(window->ControlHandle(main_window::kConnectButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return connectCaption() == "断开" && Title() == "代理连接成功"; })) << Title();
  EXPECT_EQ(ReadRegistryText(kCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyServer"),
            socksTarget);
  const std::optional<ConnectionSettings> lan = WinInetConnectionOptions().Read("");
  ASSERT_TRUE(lan);
  EXPECT_EQ(lan->proxyServer, socksTarget);
}

TEST_F(ListChecksGui, TheMenuStartsAndStopsChecksAndANewListRunClearsTheResults) {
  ChooseFromMenu({'T'});  // 检测全部代理(&T)
  ASSERT_TRUE(test::PumpUntil([&] { return Title().rfind("正在检测 ", 0) == 0; }, 3000)) << Title();
  ASSERT_TRUE(test::PumpUntil([&] { return Result(RowOf(FakeProxyKind::Working)).find(" ms") != std::string::npos; }));
  EXPECT_EQ(Result(RowOf(FakeProxyKind::Hanging)), "检测中…");
  // 停止检测: the fifth line of the menu, reached with the arrow keys.
  ChooseFromMenu({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
  ASSERT_TRUE(test::PumpUntil([&] { return Title().rfind("检测已停止", 0) == 0; })) << Title();
  EXPECT_EQ(Result(RowOf(FakeProxyKind::Hanging)), "");
  EXPECT_TRUE(test::PumpUntil([&] { return fakes->OpenConnections(FakeProxyKind::Hanging) == 0; }, 2000));

  const int served = listsServed;
  test::SendKeys({}, VK_F5);  // refreshes as 按钮1 does
  ASSERT_TRUE(test::PumpUntil([&] {
    return listsServed > served && Title() == "读取完毕" && ViewRows() == test::kFakeProxyKindCount;
  })) << Title();
  EXPECT_EQ(Result(RowOf(FakeProxyKind::Working)), "");
}

// The judge through working proxies of each level, and through one that goes
// out from another address; Ctrl+F passes over a faster 透明 one, and a 透明
// one switched on by hand says so.
TEST_F(ListChecksGui, EachProxyShowsItsAnonymityAndCtrlFPrefersThoseThatHideTheUser) {
  test::FakeProxies levels(test::LoopbackCheckPage(kCheckUrl, kCheckText), true);
  constexpr char kJapan[] = "133.1.2.3";
  levels.SetWorkingDelays([](std::uint32_t address) { return (address & 255) * 100u; });  // 127.0.0.2: 200 ms, ...
  levels.SetWorkingExits([&](std::uint32_t address) -> test::FakeExit {
    const std::string self = "127.0.0." + std::to_string(address & 255);
    switch (address & 255) {
      case 2: return {self, "HTTP_X_FORWARDED_FOR = " + std::string(test::kTestOwnAddress) + "\n"};
      case 3: return {self, "HTTP_VIA = 1.1 fake-proxy\n"};
      default: return {kJapan};
    }
  });
  const std::string port = std::to_string(levels.Port(FakeProxyKind::Working));
  {
    std::lock_guard lock(listMutex);
    listText = "127.0.0.2:" + port + "\n127.0.0.3:" + port + "\n127.0.0.4:" + port + "\n";
  }
  test::SendKeys({}, VK_F5);
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取完毕" && ViewRows() == 3; })) << Title();
  test::SendKeys({VK_CONTROL}, 'T');
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "检测完毕：可用 3/3"; }, 20000)) << Title();
  const auto cell = [&](int row, int column) { return window->GetCellText(main_window::kProxyList, row, column); };
  EXPECT_EQ(cell(0, kAnonymityColumn) + cell(1, kAnonymityColumn) + cell(2, kAnonymityColumn), "透明匿名高匿");
  EXPECT_EQ(cell(0, kExitAddressColumn) + cell(1, kExitAddressColumn), "");  // the listed hosts themselves
  EXPECT_EQ(cell(2, kExitAddressColumn), kJapan);
  EXPECT_EQ(cell(2, kLocationColumn), "日本");  // where the user appears

  test::SendKeys({VK_CONTROL}, 'F');
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "代理连接成功"; })) << Title();
  EXPECT_EQ(Target(), "127.0.0.3:" + port);  // 匿名 at 300 ms over 透明 at 200 ms

  SendMessageW(window->ControlHandle(main_window::kConnectButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return IsWindowEnabled(List()); }));
  RECT first;
  ListView_GetItemRect(List(), 0, &first, LVIR_BOUNDS);
  const LPARAM onFirst = MAKELPARAM(20, (first.top + first.bottom) / 2);
  PostMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, onFirst);
  PostMessageW(List(), WM_LBUTTONUP, 0, onFirst);
  ASSERT_TRUE(test::PumpUntil([&] { return Target() == "127.0.0.2:" + port; })) << Target();
  SendMessageW(window->ControlHandle(main_window::kConnectButton), BM_CLICK, 0, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return Title() == "代理连接成功（透明代理）"; })) << Title();
  SendMessageW(window->ControlHandle(main_window::kConnectButton), BM_CLICK, 0, 0);  // 断开
  EXPECT_TRUE(test::PumpUntil([&] { return IsWindowEnabled(List()); }));
}

// The guard, every 5 s here: the proxy on dies and the next best takes over
// everywhere within two checks; when every candidate is dead too, the user's
// settings come back; with failover off, a dead proxy is left alone.
TEST_F(ListChecksGui, ADeadProxyIsReplacedByTheNextBestElseTheUsersSettingsComeBack) {
  const std::string before = Registered();
  test::SendKeys({VK_CONTROL}, 'T');
  ASSERT_TRUE(test::PumpUntil([&] { return Title().rfind("检测完毕", 0) == 0; }, 20000)) << Title();
  test::SendKeys({VK_CONTROL}, 'F');
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "代理连接成功"; })) << Title();
  ASSERT_EQ(Registered(), Address(FakeProxyKind::Working));

  fakes->StopAnswering(FakeProxyKind::Working);
  const std::string next = Address(FakeProxyKind::Slow);
  // Two checks of 5 s, then the candidates' answers ranked within 3 s of the first good one.
  EXPECT_TRUE(test::PumpUntil([&] { return Title() == "代理失效，已切换到 " + next; }, 2 * 5000 + 15000)) << Title();
  EXPECT_EQ(Registered(), next);
  EXPECT_EQ(Target(), next);
  const std::optional<ConnectionSettings> lan = WinInetConnectionOptions().Read("");
  ASSERT_TRUE(lan);
  EXPECT_EQ(lan->proxyServer, next);

  for (FakeProxyKind kind : {FakeProxyKind::Slow, FakeProxyKind::SlowTunnel, FakeProxyKind::HttpOnly,
                             FakeProxyKind::EmptyTunnel, FakeProxyKind::Socks4, FakeProxyKind::Socks5,
                             FakeProxyKind::Socks5Login})
    fakes->StopAnswering(kind);
  // Two checks of 5 s, then the candidates' 10 s for an answer.
  EXPECT_TRUE(test::PumpUntil([&] { return Title() == "代理失效，已恢复原设置"; }, 2 * 5000 + 20000)) << Title();
  EXPECT_EQ(Registered(), before);
  EXPECT_EQ(test::WindowTextGbk(window->ControlHandle(main_window::kConnectButton)), "连接");

  // 自动切换失效代理 off, kept in settings.ini: the dead proxy stays on.
  ChooseFromMenu({'G'});
  std::ifstream ini(dataFolder / "settings.ini");
  std::string line;
  while (std::getline(ini, line) && line.rfind("failover=", 0) != 0) continue;
  EXPECT_EQ(line, "failover=0");  // read in text mode
  test::SendKeys({VK_CONTROL}, 'F');
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "代理连接成功"; })) << Title();
  EXPECT_TRUE(test::PumpUntil([&] { return Title() == "代理失效"; }, 2 * 5000 + 10000)) << Title();
  EXPECT_EQ(Registered(), Address(FakeProxyKind::Working));
}

}  // namespace
}  // namespace vantoip
