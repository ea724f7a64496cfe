// The real main window with the check benchmarks' 3,000 loopback proxies
// listed (tools/check_mix.h): the fake proxies, the list's server, the
// program and its window, as the window benchmarks share them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "app/main_window_controls.h"
#include "app/program_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tests/support/gui_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tools/check_mix.h"
#include "ui/window_win.h"

namespace vantoip::bench {

inline constexpr char kCheckUrl[] = "http://check.test/ncsi.txt";
inline constexpr char kCheckText[] = "Vantoip check page";

class ListedWindow {
 public:
  // The check pages in the environment, then `setUp` may adjust the fakes
  // before the list is served.
  explicit ListedWindow(const std::function<void(test::FakeProxies&)>& setUp = {})
      : fakes_(Fakes()), server_([this](const test::ReceivedRequest&) {
          return test::SimpleResponse("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n", list_);
        }) {
    if (setUp) setUp(fakes_);
    for (int i = 0; i < kCheckedProxies; ++i)
      list_ += MixedAddress(i) + ":" + std::to_string(fakes_.Port(MixedKind(i))) + "\n";
    program_ = std::make_unique<Program>(FixedSources({server_.Url("/list")}));
  }

  // Opens the window and waits for the whole list; false when it did not come.
  bool Open() {
    window_ = OpenMainWindow(*program_);
    if (!window_) return false;
    HWND view = window_->ControlHandle(main_window::kProxyList);
    return test::PumpUntil([&] { return Title() == "读取完毕" && ListView_GetItemCount(view) == kCheckedProxies; }, 30000);
  }
  std::string Title() { return test::WindowTextGbk(window_->Handle()); }
  Program& program() { return *program_; }
  Window& window() { return *window_; }
  ~ListedWindow() {
    if (window_) DestroyWindow(window_->Handle());
  }

 private:
  static test::FakeProxies Fakes() {
    test::SetCheckEnvironment(kCheckUrl, kCheckText);
    return test::FakeProxies(test::LoopbackCheckPage(kCheckUrl, kCheckText), true);
  }
  test::FakeProxies fakes_;
  std::string list_;
  test::LoopbackHttpServer server_;
  std::unique_ptr<Program> program_;
  std::shared_ptr<Window> window_;
};

}  // namespace vantoip::bench
