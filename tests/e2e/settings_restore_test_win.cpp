// The real program and the user's own settings: whatever happened between
// 连接 and 断开, 断开 gives back the settings the user had last.
#include <windows.h>
#include <gtest/gtest.h>

#include <wininet.h>

#include <fstream>
#include <string>

#include "runtime/registry_win.h"
#include "tests/e2e/running_program_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/proxy_page.h"

namespace vantoip {
namespace {

using test::FindChild;
using test::kEnablePath;
using test::kServerPath;
using test::RunningProgram;

// A list of five addresses nobody listens at, served on loopback.
test::LoopbackHttpServer PlainListServer() {
  return test::LoopbackHttpServer([](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", test::GeneratedPlainList(5));
  });
}

std::string Title(const RunningProgram& program) { return test::WindowTextGbk(program.window); }

void Click(const RunningProgram& program, const char* caption) {
  HWND button = nullptr;
  ASSERT_TRUE(test::PumpUntil([&] { return (button = FindChild(program.window, L"Button", caption)) != nullptr; }))
      << caption;
  PostMessageW(button, BM_CLICK, 0, 0);
}

// A row of the list picked with the mouse and switched on with 连接.
void ConnectARow(RunningProgram& program) {
  ASSERT_FALSE(program.PickRow(5, "10.0.0.").empty()) << "no row was picked";
  Click(program, "连接");
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "代理连接成功"; })) << Title(program);
}

// The LAN's flags as every other program reads them.
DWORD LanFlags() {
  INTERNET_PER_CONN_OPTIONW option{};
  option.dwOption = INTERNET_PER_CONN_FLAGS;
  INTERNET_PER_CONN_OPTION_LISTW query{sizeof query, nullptr, 1, 0, &option};
  DWORD size = sizeof query;
  return InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &query, &size) ? option.Value.dwValue
                                                                                              : 0xFFFFFFFF;
}

void CloseProgram(RunningProgram& program) {
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
}

// Ctrl+F while a proxy of the user's own is on at start: the program goes
// straight over to the fastest working proxy, and 断开 gives the user's back.
TEST(UsersSettings, CtrlFOverTheUsersOwnProxyThenDisconnectGivesItBack) {
  const CheckPage page = test::LoopbackCheckPage("http://check.test/ncsi.txt", "Vantoip check page");
  test::FakeProxies fakes(page);
  const std::string working = "127.0.0.1:" + std::to_string(fakes.Port(test::FakeProxyKind::Working));
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", working + "\n");
  });
  const DWORD one = 1;
  test::SetProxyValues(&one, "corp.example:3128");
  test::SetCheckEnvironment("http://check.test/ncsi.txt", "Vantoip check page");
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/list")));
  test::SetCheckEnvironment(nullptr, nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "读取完毕"; }, 10000)) << Title(program);
  ASSERT_TRUE(FindChild(program.window, L"Button", "断开"));  // on with the user's proxy
  SetForegroundWindow(program.window);
  test::SendKeys({VK_CONTROL}, 'F');
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "代理连接成功"; }, 20000)) << Title(program);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), working);
  Click(program, "断开");
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "取消代理"; })) << Title(program);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "corp.example:3128");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 1);
  CloseProgram(program);
  test::SetProxyValues(nullptr, nullptr);
}

// Killed while on, then the user sets another proxy by hand: the snapshot is
// stale, and the next 连接 and 断开 give back the newer settings.
TEST(UsersSettings, SettingsChangedByHandAfterACrashAreTheOnesGivenBack) {
  test::LoopbackHttpServer server = PlainListServer();
  const DWORD zero = 0;
  test::SetProxyValues(&zero, "corp.example:3128");
  {
    RunningProgram program;
    ASSERT_TRUE(program.Start(server.Url("/list")));
    ASSERT_NO_FATAL_FAILURE(ConnectARow(program));
    TerminateProcess(program.process.process.Get(), 9);
    WaitForSingleObject(program.process.process.Get(), 5000);
  }
  test::SetProxyValues(&zero, "newcorp.example:8080");  // by hand, in Internet Options
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/list")));
  ASSERT_NO_FATAL_FAILURE(ConnectARow(program));
  Click(program, "断开");
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "取消代理"; })) << Title(program);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "newcorp.example:8080");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  CloseProgram(program);
  test::SetProxyValues(nullptr, nullptr);
}

// The snapshot damaged while on: 断开 cannot give the user's settings back,
// and leaves no proxy of ours in the LAN's options either.
TEST(UsersSettings, ADamagedSnapshotWhileOnLeavesTheLanDirect) {
  test::LoopbackHttpServer server = PlainListServer();
  test::SetProxyValues(nullptr, nullptr);
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/list")));
  ASSERT_NO_FATAL_FAILURE(ConnectARow(program));
  ASSERT_TRUE(LanFlags() & PROXY_TYPE_PROXY);
  std::ofstream(program.DataFile("proxy-settings.txt"), std::ios::binary | std::ios::trunc) << "vantoip proxy";
  Click(program, "断开");
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "取消代理"; })) << Title(program);
  EXPECT_EQ(LanFlags(), static_cast<DWORD>(PROXY_TYPE_DIRECT));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath), "");
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  std::ifstream setAside(program.DataFile("proxy-settings.txt.bad"));
  EXPECT_TRUE(setAside.good());
  CloseProgram(program);
}

// 本地中转 on: the machine's proxy is the relay. Killed, the program leaves
// its watcher to give the user's settings back within a second; closed, or at
// the end of the Windows session, it gives them back itself.
TEST(UsersSettings, TheRelayNeverOutlivesTheProgram) {
  test::LoopbackHttpServer server = PlainListServer();
  const DWORD zero = 0;
  test::SetProxyValues(&zero, "corp.example:3128");
  CreateDirectoryA(RunningProgram::DataFolder().c_str(), nullptr);
  const auto users = [] { return ReadRegistryText(kCurrentUser, kServerPath) == "corp.example:3128"; };
  for (const char* end : {"killed", "closed", "session ended"}) {
    SCOPED_TRACE(end);
    std::ofstream(RunningProgram::DataFolder() + "\\settings.ini", std::ios::binary) << "relay=1\r\n";
    RunningProgram program;
    ASSERT_TRUE(program.Start(server.Url("/list")));
    ASSERT_FALSE(program.PickRow(5, "10.0.0.").empty()) << "no row was picked";
    Click(program, "连接");
    ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "代理连接成功（经本地中转）"; })) << Title(program);
    EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath).rfind("127.0.0.1:110", 0), 0u);
    if (std::string(end) == "session ended") {
      SendMessageW(program.window, WM_ENDSESSION, TRUE, 0);
      EXPECT_TRUE(users());  // before Windows ends the process (and the watcher with it)
      TerminateProcess(program.process.process.Get(), 9);
    } else if (std::string(end) == "killed") {
      TerminateProcess(program.process.process.Get(), 9);
    } else {
      PostMessageW(program.window, WM_CLOSE, 0, 0);
    }
    ASSERT_EQ(WaitForSingleObject(program.process.process.Get(), 5000), WAIT_OBJECT_0);
    const DWORD ended = GetTickCount();
    EXPECT_TRUE(test::PumpUntil(users, 5000)) << ReadRegistryText(kCurrentUser, kServerPath);
    EXPECT_LE(GetTickCount() - ended, 1000u);
    EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  }
  test::SetProxyValues(nullptr, nullptr);
}

// What WinINet in this process fetches from `url` with the machine's proxy settings.
std::string FetchedWithTheMachinesSettings(const wchar_t* url) {
  const HINTERNET session = InternetOpenW(L"vantoip-test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET request =
      session ? InternetOpenUrlW(session, url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0) : nullptr;
  std::string body;
  char buffer[4096];
  for (DWORD read = 0; request && InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0;) body.append(buffer, read);
  if (request) InternetCloseHandle(request);
  if (session) InternetCloseHandle(session);
  return body;
}

// With 本地中转 on, any program going by the machine's settings is carried
// through the relay by the proxy the check found working.
TEST(UsersSettings, WinInetGoesOutThroughTheRelay) {
  const CheckPage page = test::LoopbackCheckPage("http://check.test/ncsi.txt", "Vantoip check page");
  test::FakeProxies fakes(page);
  const std::string working = "127.0.0.1:" + std::to_string(fakes.Port(test::FakeProxyKind::Working));
  test::LoopbackHttpServer server([&](const test::ReceivedRequest&) {
    return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", working + "\n");
  });
  test::SetProxyValues(nullptr, nullptr);
  CreateDirectoryA(RunningProgram::DataFolder().c_str(), nullptr);
  std::ofstream(RunningProgram::DataFolder() + "\\settings.ini", std::ios::binary) << "relay=1\r\n";
  test::SetCheckEnvironment("http://check.test/ncsi.txt", "Vantoip check page");
  RunningProgram program;
  ASSERT_TRUE(program.Start(server.Url("/list")));
  test::SetCheckEnvironment(nullptr, nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "读取完毕"; }, 10000)) << Title(program);
  SetForegroundWindow(program.window);
  test::SendKeys({VK_CONTROL}, 'F');
  ASSERT_TRUE(test::PumpUntil([&] { return Title(program) == "代理连接成功（经本地中转）"; }, 20000)) << Title(program);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kServerPath).rfind("127.0.0.1:110", 0), 0u);
  EXPECT_EQ(FetchedWithTheMachinesSettings(L"http://check.test/ncsi.txt"), "Vantoip check page");
  CloseProgram(program);
  EXPECT_EQ(ReadRegistryNumber(kCurrentUser, kEnablePath), 0);
  DeleteFileA((RunningProgram::DataFolder() + "\\settings.ini").c_str());
}

}  // namespace
}  // namespace vantoip
