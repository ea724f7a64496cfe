// The list road in the test process: a loopback page server, the real
// WinINet, the scripting RegExp and the real main window.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/list/proxy_sources_win.h"
#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "runtime/system_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/proxy_page.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

std::string Utf8(const wchar_t* text) {
  char out[256];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
  return std::string(out, n > 0 ? n - 1 : 0);
}

class ProxyListGui : public test::WindowTest {
 protected:
  // Serves the pages one after the other (the last one again and again).
  void Serve(std::vector<test::Response> pages) {
    server = std::make_unique<test::LoopbackHttpServer>([this, pages](const test::ReceivedRequest&) {
      const std::size_t n = served++;
      return pages[std::min(n, pages.size() - 1)];
    });
    Open(server->Url("/list"));
  }
  void Open(const std::string& url) {
    program = std::make_unique<Program>(FixedSources({url}));
    window = OpenMainWindow(*program);
    ASSERT_TRUE(window);
  }
  std::string Title() { return test::WindowTextGbk(window->Handle()); }
  bool Done() { return Title() == "读取完毕"; }
  // Done, and the view has caught up with the rows streamed into it.
  bool Settled(int rows) { return Done() && Rows() == rows; }
  int Rows() { return ListView_GetItemCount(window->ControlHandle(main_window::kProxyList)); }
  std::string Cell(int row, int column) { return window->GetCellText(main_window::kProxyList, row, column); }
  static test::Response Page(const std::string& body, int pauseMs = 0) {
    test::Response r = test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/html; charset=utf-8\r\n", body);
    r.front().pauseMilliseconds = pauseMs;
    return r;
  }

  std::unique_ptr<test::LoopbackHttpServer> server;
  std::atomic<std::size_t> served{0};
  std::unique_ptr<Program> program;
};

TEST_F(ProxyListGui, FillsNumberedRowsWithTheFiveGroups) {
  Serve({Page(test::ProxyPage({test::ProxyRowHtml({"192.0.2.1", "8080", Utf8(L"北京市 联通"), "80%", "2026-12-08 09:00:01"}),
                               test::ProxyRowHtml({"192.0.2.2", "3128", "x", "7%", "t2"}),
                               test::ProxyRowHtml({"192.0.2.3", "80", "y", "100%", "t3"})}),
               1000)});  // the first title stays long enough to be seen
  // The first window of the run may take a while on a busy machine.
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "正在读取......请稍等"; }, 15000)) << Title();
  // The title never overtakes the rows: when it changes, the view has them all.
  ASSERT_TRUE(test::PumpUntil([&] { return Done(); }, 15000)) << Title();
  EXPECT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(0, 0), "1");
  EXPECT_EQ(Cell(2, 0), "3");
  EXPECT_EQ(Cell(0, 1), "192.0.2.1");
  EXPECT_EQ(Cell(0, 2), "8080");
  EXPECT_EQ(Cell(0, 3), "北京市 联通");
  EXPECT_EQ(Cell(0, 4), "80%");
  EXPECT_EQ(Cell(0, 5), "2026-12-08 09:00:01");
  EXPECT_EQ(Cell(1, 4), "7%");
  EXPECT_NE(program->listReader.LastPageText().find("<td>192.0.2.3</td>"), std::string::npos);
  const auto requests = server->Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].RequestLine(), "GET /list HTTP/1.1");  // fetched directly, not through the machine's proxy
}

// A plain list gives no 位置: the carried table does, in Chinese.
TEST_F(ProxyListGui, APlainListsAddressesShowTheirCountries) {
  Serve({Page("1.0.1.1:80\n8.8.8.8:3128\n1.0.0.1:8080\n192.168.1.9:81\n5.249.170.1:82\nproxy.example:83\n")});
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(6); }, 15000)) << Title() << " " << Rows();
  // The last two: a range no country holds, a host name.
  const std::vector<std::string> expected = {"中国", "美国", "澳大利亚", "局域网", "", ""};
  for (int row = 0; row < 6; ++row) EXPECT_EQ(Cell(row, 3), expected[row]) << Cell(row, 1);
}

// In the real window: a JSON list, an HTML table and a list of mixed schemes,
// one refresh after the other, each row with its 协议.
TEST_F(ProxyListGui, EveryFormatShowsItsRowsWithTheirProtocols) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> pages = {
      // 位置 from the list's country, by name or code, before the address's own.
      {R"({"data": [{"ip": "1.0.1.1", "port": 1080, "protocol": "socks5"},
                    {"ip": "8.8.8.8", "port": "80", "country": "Germany"}]})",
       {"1.0.1.1 1080 SOCKS5 中国", "8.8.8.8 80 HTTP 德国"}},
      {"<html><body><table>\n<tr><th>IP</th><th>Port</th><th>Code</th></tr>\n"
       "<tr><td>1.0.1.2</td><td>3128</td><td>JP</td></tr>\n<tr><td>1.0.1.3</td><td>8080</td></tr>\n</table></body></html>\n",
       {"1.0.1.2 3128 HTTP 日本", "1.0.1.3 8080 HTTP 中国"}},
      {"socks4://1.0.1.4:1080\nhttp://1.0.1.4:1080\n\xF0\x9F\x87\xA8\xF0\x9F\x87\xB3 1.0.1.5:80 fast\nvmess://abc\n",
       {"1.0.1.4 1080 SOCKS4 中国", "1.0.1.4 1080 HTTP 中国", "1.0.1.5 80 HTTP 中国"}},
  };
  std::vector<test::Response> responses;
  for (const auto& [page, rows] : pages) responses.push_back(Page(page));
  Serve(responses);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::vector<std::string>& expected = pages[i].second;
    SCOPED_TRACE(pages[i].first);
    if (i > 0) SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
    std::vector<std::string> shown;
    const auto showsThem = [&] {
      shown.clear();
      for (int row = 0; row < Rows(); ++row)
        shown.push_back(Cell(row, kAddressColumn) + " " + Cell(row, kPortColumn) + " " + Cell(row, kProtocolColumn) + " " +
                        Cell(row, kLocationColumn));
      return Done() && shown == expected;
    };
    EXPECT_TRUE(test::PumpUntil(showsThem, 15000)) << Title() << " " << testing::PrintToString(shown);
  }
}

TEST_F(ProxyListGui, CapitalTagsMatchAndMultiLineSpeedCellsToo) {
  std::string upper = test::ProxyRowHtml({"192.0.2.9", "1", "l", "5%", "t"});
  for (const char* tag : {"td>", "div", "span>", "strong>", "tr>"}) {
    std::string lower = tag, capital = tag;
    for (char& c : capital) c = static_cast<char>(toupper(c));
    for (std::size_t at; (at = upper.find(lower)) != std::string::npos;) upper.replace(at, lower.size(), capital);
  }
  const std::string multiLine = test::ProxyRowHtml({"192.0.2.10", "2", "m", "50%", "t"}, "\n  class=\"bar\"\n  ");
  const std::string brokenCell = test::ProxyRowHtml({"192.0.2.11", "3", "two\nlines", "50%", "t"});
  Serve({Page(test::ProxyPage({upper, multiLine, brokenCell}))});
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(2); }, 15000)) << Title() << " " << Rows();
  test::PumpFor(300);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 1), "192.0.2.9");
  EXPECT_EQ(Cell(1, 1), "192.0.2.10");
}

TEST_F(ProxyListGui, CrLfPagesGiveTheirTablesCellsAndFailedDownloadsSaySo) {
  std::string page = test::GeneratedProxyPage(3);
  for (std::size_t at = 0; (at = page.find('\n', at)) != std::string::npos; at += 2) page.insert(at, "\r");
  Serve({Page(page), test::SimpleResponse("HTTP/1.1 404 Not Found", "", "<td>no</td>")});
  ASSERT_TRUE(test::PumpUntil([&] { return Done(); }, 15000)) << Title();
  // No row fits the row pattern, whose line ends are LF: the table's cells
  // give the addresses and ports all the same.
  EXPECT_EQ(Rows(), 3);
  SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取失败"; }, 15000)) << Title();
  DestroyWindow(window->Handle());

  Open("http://127.0.0.1:1/list");  // nothing answers
  ASSERT_TRUE(test::PumpUntil([&] { return Title() == "读取失败"; }, 15000)) << Title();
  EXPECT_EQ(Rows(), 0);
}

// The user edits the sources file and presses 刷新: the next run reads the new address.
TEST_F(ProxyListGui, AnEditedSourcesFileCountsFromTheNextRefresh) {
  server = std::make_unique<test::LoopbackHttpServer>([](const test::ReceivedRequest& request) {
    const bool second = request.RequestLine().find("/second") != std::string::npos;
    return test::SimpleResponse("HTTP/1.1 200 OK", "", second ? "192.0.2.2:82\n" : "192.0.2.1:81\n");
  });
  const std::wstring folder = std::filesystem::temp_directory_path() / ("vantoip-edit-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", folder.c_str());
  SetEnvironmentVariableW(L"VANTOIP_LIST_URL", nullptr);
  const auto writeSources = [&](const std::string& text) {
    std::ofstream(std::filesystem::path(folder) / "sources.txt", std::ios::binary | std::ios::trunc) << text;
  };
  writeSources(server->Url("/first") + "\r\n");
  program = std::make_unique<Program>(&ProxySources);
  window = OpenMainWindow(*program);
  ASSERT_TRUE(window);
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(1); }, 15000)) << Title();
  EXPECT_EQ(Cell(0, 1), "192.0.2.1");
  writeSources("# edited\r\n" + server->Url("/second") + "\r\n");
  SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(1) && Cell(0, 1) == "192.0.2.2"; }, 15000)) << Title();
  EXPECT_EQ(Cell(0, 2), "82");
  SetEnvironmentVariableW(L"VANTOIP_DATA_DIR", nullptr);
  DestroyWindow(window->Handle());
  std::filesystem::remove_all(folder);
}

TEST_F(ProxyListGui, SourcesMergeWhileOneHangsAndOneFailsAndTheTitleCountsTheFailure) {
  server = std::make_unique<test::LoopbackHttpServer>([](const test::ReceivedRequest& request) {
    const std::string line = request.RequestLine();
    if (line.find("/missing") != std::string::npos) return test::SimpleResponse("HTTP/1.1 404 Not Found", "", "");
    if (line.find("/slow") != std::string::npos) return Page(test::ProxyPage({test::ProxyRowHtml({"192.0.2.9", "9", "l", "9%", "t"}),
                                                                            test::ProxyRowHtml({"192.0.2.1", "80", "l", "1%", "t"})}),
                                                            2500);
    return test::SimpleResponse("HTTP/1.1 200 OK", "", "192.0.2.1:80\n192.0.2.2:81\n");
  });
  program = std::make_unique<Program>(
      FixedSources({server->Url("/slow"), server->Url("/missing"), server->Url("/plain")}));
  window = OpenMainWindow(*program);
  ASSERT_TRUE(window);
  // The plain list shows while the row page is still on its way.
  ASSERT_TRUE(test::PumpUntil([&] { return Rows() == 2; }, 2000));
  EXPECT_EQ(Title(), "正在读取......请稍等");
  ASSERT_TRUE(test::PumpUntil([&] { return Title() != "正在读取......请稍等"; }, 15000));
  EXPECT_EQ(Title(), "读取完毕（1个来源读取失败）");
  ASSERT_EQ(Rows(), 3);  // 192.0.2.1:80 once
  EXPECT_EQ(Cell(2, 0), "3");
  EXPECT_EQ(Cell(2, 1), "192.0.2.9");
  EXPECT_EQ(Cell(2, 3), "l");
}

TEST_F(ProxyListGui, CharactersGbkLacksShowAsQuestionMarks) {
  Serve({Page(test::ProxyPage({test::ProxyRowHtml({"192.0.2.1", "1", Utf8(L"曼谷\x0E01"), "1%", "t"})}))});
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(1); }, 15000)) << Title() << " " << Rows();
  EXPECT_EQ(Cell(0, 3), "曼谷?");
}

TEST_F(ProxyListGui, RefreshEmptiesFirstAndRenumbersFromOne) {
  Serve({Page(test::GeneratedProxyPage(4)), Page(test::GeneratedProxyPage(2), 1000)});
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(4); }, 15000));
  SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
  // Empty while the page is still on its way.
  ASSERT_TRUE(test::PumpUntil([&] { return Rows() == 0 && Title() == "正在读取......请稍等"; }, 900));
  ASSERT_TRUE(test::PumpUntil([&] { return served == 2 && Settled(2); }, 15000)) << Rows();
  EXPECT_EQ(Cell(0, 0), "1");
  EXPECT_EQ(Cell(1, 0), "2");
  EXPECT_EQ(Cell(1, 2), "8002");
}

TEST_F(ProxyListGui, ANewerRunSupersedesASlowerOlderOne) {
  // The run started with the window gets a slow page; the refresh a fast one.
  Serve({Page(test::GeneratedProxyPage(5), 1500), Page(test::GeneratedProxyPage(3))});
  ASSERT_TRUE(test::PumpUntil([&] { return served == 1; }));
  SendMessageW(window->ControlHandle(main_window::kRefreshButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return Settled(3); }, 15000));
  // The older run gets its page afterwards and must leave the list alone.
  ASSERT_TRUE(test::PumpUntil([&] { return served == 2 && RunningThreadCount() == 0; }, 30000));
  EXPECT_EQ(Rows(), 3);
  EXPECT_EQ(Title(), "读取完毕");
  EXPECT_EQ(Cell(2, 0), "3");
  // The older run's page, arriving last, does not replace the newer one.
  const std::string page = program->listReader.LastPageText();
  EXPECT_NE(page.find("<td>10.0.0.3</td>"), std::string::npos);
  EXPECT_EQ(page.find("<td>10.0.0.5</td>"), std::string::npos);
}

}  // namespace
}  // namespace vantoip
