// Runs the real Vantoip.exe under Wine: start-up time, and the end of the
// run while a delay test hangs in a connect.
#include <windows.h>
#include <gtest/gtest.h>

#include <wininet.h>

#include <commctrl.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "runtime/encoding_win.h"
#include "runtime/registry_win.h"
#include "tests/e2e/running_program_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/loopback_listener_win.h"
#include "tests/support/proxy_page.h"

namespace vantoip {
namespace {

using test::FindChild;
using test::IsTime;
using test::kEnablePath;
using test::kServerPath;
using test::RunningProgram;

constexpr UINT kIconMouse = WM_APP + 5;  // the icon's messages to its window

TEST(Program, ShowsItsWindowAndEndsWithZeroWhenClosed) {
  test::SetProxyValues(nullptr, nullptr);
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  std::printf("process start to window shown: %lu ms\n", program.shownAfterMs);
  PostMessageW(program.window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return IsZoomed(program.window) != FALSE; })) << "not maximised";
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(program.process.process.Get(), &code);
  EXPECT_EQ(code, 0u);
  // The next run opens the window as it was left.
  RunningProgram next;
  ASSERT_TRUE(next.Start());
  EXPECT_TRUE(test::PumpUntil([&] { return IsZoomed(next.window) != FALSE; })) << "not maximised again";
}

// The notification icon, as the shell tells the window of clicks on it: a
// left click hides the window and the next shows it; minimising hides it too;
// a second start shows it instead of opening another; 退出 in its menu ends the program.
TEST(Program, TheNotificationIconHidesAndShowsTheWindowAndItsMenuEndsTheProgram) {
  test::SetProxyValues(nullptr, nullptr);
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  PostMessageW(program.window, kIconMouse, 1, WM_LBUTTONUP);
  EXPECT_TRUE(test::PumpUntil([&] { return !IsWindowVisible(program.window); })) << "not hidden";
  PostMessageW(program.window, kIconMouse, 1, WM_LBUTTONUP);
  EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(program.window); })) << "not shown again";
  PostMessageW(program.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return !IsWindowVisible(program.window); })) << "minimised, not hidden";

  RunningProgram second;  // the same data folder
  ASSERT_TRUE(second.Launch());
  ASSERT_EQ(WaitForSingleObject(second.process.process.Get(), 10000), WAIT_OBJECT_0) << "a second copy runs";
  EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(program.window) && !IsIconic(program.window); }))
      << "the running one was not shown";
  EXPECT_EQ(test::WindowOfProcess(second.process.id), nullptr);
  PostMessageW(program.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return !IsWindowVisible(program.window); })) << "minimised again, not hidden";
  PostMessageW(program.window, kIconMouse, 1, WM_LBUTTONUP);
  EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(program.window) && !IsIconic(program.window); }))
      << "the icon did not bring the minimised window back";

  PostMessageW(program.window, kIconMouse, 1, WM_RBUTTONUP);
  Sleep(500);  // the menu opens
  test::SendKeys({}, 'X');
  ASSERT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0) << "退出 did not end it";
  DWORD code = 1;
  GetExitCodeProcess(program.process.process.Get(), &code);
  EXPECT_EQ(code, 0u);
}

// Closes the program's window and expects the process to end within 2 s with code 0.
void ExpectQuickCleanEnd(RunningProgram& program, const char* when) {
  const DWORD closedAt = GetTickCount();
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(program.process.process.Get(), 2000), WAIT_OBJECT_0) << "did not end within 2 s " << when;
  std::printf("close to process end %s: %lu ms\n", when, GetTickCount() - closedAt);
  DWORD code = 1;
  GetExitCodeProcess(program.process.process.Get(), &code);
  EXPECT_EQ(code, 0u) << when;
}

// 设置 from the icon's menu, driven with keys: an interval shorter than a
// check is refused with its reason beside the field; 60 is saved, and Enter closes the window.
TEST(Program, TheSettingsWindowRefusesAShortIntervalAndSavesAGoodOne) {
  test::SetProxyValues(nullptr, nullptr);
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  HWND settings = nullptr;
  const auto settingsOpen = [&] {
    settings = test::WindowOfProcess(program.process.id, "设置");
    return settings && IsWindowVisible(settings);
  };
  for (int attempt = 0; attempt < 3 && !settingsOpen(); ++attempt) {
    SetForegroundWindow(program.window);
    PostMessageW(program.window, kIconMouse, 1, WM_RBUTTONUP);
    Sleep(500);  // the menu opens
    test::SendKeys({}, 'O');
    test::PumpUntil(settingsOpen, 3000);
  }
  ASSERT_TRUE(settings) << "设置 did not open";
  const auto typeInterval = [&](const char* digits) {
    test::SendKeys({VK_MENU}, 'I');
    for (const char* d = digits; *d; ++d) test::SendKeys({}, *d);
    test::SendKeys({}, VK_RETURN);
  };
  typeInterval("10");
  EXPECT_TRUE(test::PumpUntil([&] {
    return FindChild(settings, L"Static", "须是 40 到 3600 之间的整数（一次检测最长要 40 秒，间隔不能更短）") != nullptr;
  })) << "no reason shown";
  EXPECT_TRUE(IsWindow(settings));
  typeInterval("60");
  EXPECT_TRUE(test::PumpUntil([&] { return !IsWindow(settings); })) << "not closed by Enter";
  std::ifstream file(program.DataFile("settings.ini"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("guard_seconds=60\r\n"), std::string::npos) << text;
  ExpectQuickCleanEnd(program, "after 设置");
}

TEST(Program, ClosingDuringAHangingConnectEndsAtOnceAndKeepsTheProxyOn) {
  // A listener whose backlog is full leaves new connects hanging.
  test::LoopbackListener listener(1);
  std::vector<SOCKET> fillers;
  for (int i = 0; i < 8; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(listener.Port()));
    connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(s);
  }
  const DWORD one = 1;
  const std::string server = "127.0.0.1:" + std::to_string(listener.Port());
  test::SetProxyValues(&one, server.c_str());

  RunningProgram program;
  ASSERT_TRUE(program.Start());
  Sleep(500);  // the delay test, started before the window showed, is now blocked in its connect
  const auto isDelay = [](const std::string& t) { return !t.empty() && t.find_first_not_of("0123456789") == t.npos; };
  ASSERT_FALSE(FindChild(program.window, L"Static", isDelay)) << "the connect did not hang";
  ExpectQuickCleanEnd(program, "with a hanging connect");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 1);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), server);
  for (SOCKET s : fillers) closesocket(s);
  test::SetProxyValues(nullptr, nullptr);
}

TEST(Program, ClosingDuringAListLoadEndsAtOnce) {
  test::SetProxyValues(nullptr, nullptr);
  const std::string page = test::GeneratedProxyPage(5000);
  test::LoopbackHttpServer server([&](const test::ReceivedRequest& request) {
    test::Response response = test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/html\r\n", page);
    if (request.RequestLine().find("/slow") != std::string::npos) response.front().pauseMilliseconds = 20000;
    return response;
  });
  {
    RunningProgram program;  // still waiting for its page
    ASSERT_TRUE(program.Start(server.Url("/slow")));
    Sleep(500);
    ExpectQuickCleanEnd(program, "while the page downloads");
  }
  {
    RunningProgram program;  // rows streaming into the list
    ASSERT_TRUE(program.Start(server.Url("/rows")));
    HWND list = FindWindowExW(program.window, nullptr, L"SysListView32", nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 50; }, 20000));
    ASSERT_LT(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 5000) << "the list was already full";
    ExpectQuickCleanEnd(program, "while rows stream in");
  }
}

TEST(Program, ASourceThatHangsHoldsBackNoOtherAndClosingEndsAtOnce) {
  test::SetProxyValues(nullptr, nullptr);
  test::LoopbackHttpServer server([](const test::ReceivedRequest& request) {
    test::Response response = test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n",
                                                   "192.0.2.1:80\n192.0.2.2:81\n192.0.2.3:82\n");
    if (request.RequestLine().find("/hangs") != std::string::npos) response.front().pauseMilliseconds = 5000;
    return response;
  });
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/hangs") + " " + server.Url("/answers")));
  HWND list = FindWindowExW(program.window, nullptr, L"SysListView32", nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 3; }, 10000));
  EXPECT_EQ(test::WindowTextGbk(program.window), "正在读取......请稍等");  // the other source is still out
  ExpectQuickCleanEnd(program, "while a source hangs");
}

TEST(Program, ClosingWhile512ChecksHangEndsAtOnce) {
  test::SetProxyValues(nullptr, nullptr);
  const CheckPage page = test::LoopbackCheckPage("http://check.test/ncsi.txt", "Vantoip check page");
  test::FakeProxies fakes(page, true);
  std::string list;  // 600 addresses of one hanging proxy
  for (int i = 0; i < 600; ++i)
    list += "127.0." + std::to_string(1 + i / 200) + "." + std::to_string(1 + i % 200) + ":" +
            std::to_string(fakes.Port(test::FakeProxyKind::Hanging)) + "\n";
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", list);
  });
  test::SetCheckEnvironment("http://check.test/ncsi.txt", "Vantoip check page");
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/list")));
  test::SetCheckEnvironment(nullptr, nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "读取完毕"; }, 10000));
  // Ctrl+T, as a user presses it.
  SetForegroundWindow(program.window);
  test::SendKeys({VK_CONTROL}, 'T');
  ASSERT_TRUE(test::PumpUntil([&] { return fakes.OpenConnections(test::FakeProxyKind::Hanging) == 512; }, 10000))
      << fakes.OpenConnections(test::FakeProxyKind::Hanging) << " checks hang";
  ExpectQuickCleanEnd(program, "with 512 checks hanging");
}

TEST(Program, OneClickTurnsAProxyThatIsOnOff) {
  const DWORD one = 1;
  test::SetProxyValues(&one, "127.0.0.1:9");
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  HWND time = FindChild(program.window, L"Static", IsTime);
  ASSERT_TRUE(time);
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(time) >= "00:02"; }, 10000));  // counting
  HWND button = FindChild(program.window, L"Button", "断开");
  ASSERT_TRUE(button);
  PostMessageW(button, BM_CLICK, 0, 0);
  HWND list = FindWindowExW(program.window, nullptr, L"SysListView32", nullptr);
  // The title comes before the last changes of the switch: wait for the list too.
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "取消代理" && IsWindowEnabled(list); }));
  EXPECT_EQ(test::WindowTextGbk(button), "连接");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  EXPECT_TRUE(FindChild(program.window, L"Static", "禁用"));
  const std::string stopped = test::WindowTextGbk(time);
  Sleep(2200);
  EXPECT_EQ(test::WindowTextGbk(time), stopped) << "the timer still runs";
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
  test::SetProxyValues(nullptr, nullptr);
}

// Wine 8 refuses INTERNET_OPTION_REFRESH without a handle; that option only
// makes the calling process reread its settings, so the settings in place decide.
TEST(Program, TurningOnWritesTheValuesAndGoesOnWhateverTheRefreshAnswers) {
  const DWORD zero = 0;
  test::SetProxyValues(&zero, "10.1.2.3:8080");
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  HWND button = FindChild(program.window, L"Button", "连接");
  ASSERT_TRUE(button);
  PostMessageW(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "代理连接成功"; }))
      << test::WindowTextGbk(program.window);
  EXPECT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(button) == "断开"; }));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "10.1.2.3:8080");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 1);
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
  test::SetProxyValues(nullptr, nullptr);
}

// The user's own settings (a proxy, a bypass list and a script of theirs)
// survive a kill between 连接 and 断开: the next start's 断开 gives them back.
TEST(Program, TheUsersOwnSettingsComeBackAfterTheProgramWasKilled) {
  const char* overridePath = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";
  const char* scriptPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\AutoConfigURL";
  const DWORD zero = 0;
  test::SetProxyValues(&zero, "corp.example:3128");
  WriteRegistryValue(kCurrentUser, overridePath, std::string("*.corp.example"));
  WriteRegistryValue(kCurrentUser, scriptPath, std::string("http://wpad.example/proxy.pac"));
  test::LoopbackHttpServer server([](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", test::GeneratedPlainList(5));
  });
  std::string picked;
  {
    RunningProgram program;
    ASSERT_TRUE(program.Start(server.Url("/list")));
    picked = program.PickRow(5, "10.0.0.");
    ASSERT_FALSE(picked.empty()) << "no row was picked";
    PostMessageW(FindChild(program.window, L"Button", "连接"), BM_CLICK, 0, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "代理连接成功"; }))
        << test::WindowTextGbk(program.window);
    EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), picked);
    EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 1);
    // As every other program sees it: the LAN's per-connection options.
    INTERNET_PER_CONN_OPTIONW options[2] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    INTERNET_PER_CONN_OPTION_LISTW query{sizeof query, nullptr, 2, 0, options};
    DWORD size = sizeof query;
    ASSERT_TRUE(InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &query, &size));
    EXPECT_TRUE(options[0].Value.dwValue & PROXY_TYPE_PROXY);
    EXPECT_EQ(WideToGbk(options[1].Value.pszValue ? options[1].Value.pszValue : L""), picked);
    GlobalFree(options[1].Value.pszValue);
    TerminateProcess(program.process.process.Get(), 9);  // killed while the proxy is on
    WaitForSingleObject(program.process.process.Get(), 5000);
  }
  RunningProgram program;  // starts On, with the kept snapshot
  ASSERT_TRUE(program.Start(server.Url("/list")));
  HWND button = nullptr;
  ASSERT_TRUE(test::PumpUntil([&] { return (button = FindChild(program.window, L"Button", "断开")) != nullptr; }));
  PostMessageW(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "取消代理"; }));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "corp.example:3128");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, overridePath), "*.corp.example");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, scriptPath), "http://wpad.example/proxy.pac");
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
  DeleteRegistryItem(kCurrentUser, overridePath);
  DeleteRegistryItem(kCurrentUser, scriptPath);
  test::SetProxyValues(nullptr, nullptr);
}

std::string DemoPage() {
  std::ifstream in(VANTOIP_DEMO_PAGE, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Program, TheWholeRoadFromTheDemoListToASwitchedProxy) {
  test::SetProxyValues(nullptr, nullptr);
  const std::string page = DemoPage();
  ASSERT_NE(page.find("<td>"), std::string::npos) << VANTOIP_DEMO_PAGE;
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/html; charset=utf-8\r\n", page);
  });
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/proxy-list.html")));
  HWND list = FindWindowExW(program.window, nullptr, L"SysListView32", nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return test::WindowTextGbk(program.window) == "读取完毕"; }, 20000));
  EXPECT_TRUE(test::PumpUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 60; }));

  // A real click on the third row: below the header, rows are about 16-20 px high.
  RECT rc;
  GetWindowRect(list, &rc);
  HWND targetLabel = nullptr;
  auto rowPicked = [&] {
    targetLabel = FindChild(program.window, L"Static", [](const std::string& t) {
      return t.find(':') != std::string::npos && t.find('.') != std::string::npos;
    });
    return targetLabel != nullptr;
  };
  // Synthesized input reaches the window asynchronously; click again if the first is lost.
  for (int attempt = 0; attempt < 3 && !rowPicked(); ++attempt) {
    SetForegroundWindow(program.window);
    test::SendMouseButtons({rc.left + 200, rc.top + 62}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    test::PumpUntil(rowPicked, 3000);
  }
  ASSERT_TRUE(targetLabel) << "no row was picked; selected rows: " << SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0);
  const std::string picked = test::WindowTextGbk(targetLabel);
  const std::string host = picked.substr(0, picked.find(':')), port = picked.substr(picked.find(':') + 1);
  EXPECT_NE(page.find("<td>" + host + "</td>\n<td>" + port + "</td>"), std::string::npos) << picked;
  // The delay label fills with digits (the documentation addresses cannot be reached).
  ASSERT_TRUE(test::PumpUntil([&] {
    return FindChild(program.window, L"Static", [](const std::string& t) {
      return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
    }) != nullptr;
  }, 30000));

  HWND button = FindChild(program.window, L"Button", "连接");
  ASSERT_TRUE(button);
  PostMessageW(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] {
    const std::string title = test::WindowTextGbk(program.window);
    return title == "代理连接成功";
  }));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), picked);
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 1);

  PostMessageW(program.window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(program.process.process.Get(), &code);
  EXPECT_EQ(code, 0u);
  test::SetProxyValues(nullptr, nullptr);
}

}  // namespace
}  // namespace vantoip
