#include "app/proxy_list_win.h"
#include "app/main_window_controls.h"

#include "app/page_text_win.h"
#include "regex/proxy_row_pattern.h"
#include "regex/regex_object_win.h"
#include "runtime/convert.h"
#include "runtime/native_commands_win.h"

namespace vantoip {
namespace {

constexpr const char* kList = main_window::kProxyList;

}  // namespace

ProxyListReader::ProxyListReader(MainWindow& mainWindow, std::string pageUrl)
    : main_(mainWindow), pageUrl_(std::move(pageUrl)) {}

template <class Write>
bool ProxyListReader::WriteIfNewest(unsigned run, Write write) {
  std::lock_guard lock(writeMutex_);
  if (run != newestRun_.load()) return false;
  write();
  return true;
}

std::string ProxyListReader::LastPageText() const {
  std::lock_guard lock(writeMutex_);
  return lastPageText_;
}

void ProxyListReader::ReadProxyList() {
  const unsigned run = ++newestRun_;
  RegexObject regex;
  CallNativeCommand(kCoInitialize, {0});
  FillList(run, regex);  // a superseded run simply stops; the newer one finishes the list
  regex.Destroy();
}

void ProxyListReader::FillList(unsigned run, RegexObject& regex) {
  WindowControls& window = main_.Controls();
  if (!WriteIfNewest(run, [&] { window.DeleteAllRows(kList); })) return;
  if (!WriteIfNewest(run, [&] { window.SetCaption(kThisWindow, "正在读取......请稍等"); })) return;
  const std::string page = FetchPageText(pageUrl_);  // this run parses its own copy
  if (!WriteIfNewest(run, [&] { lastPageText_ = page; })) return;
  // An empty page has no rows; Wine's scripting RegExp aborts the whole
  // process when asked to run over an empty subject.
  if (!page.empty()) regex.Create(std::string(ProxyRowPattern), page);
  const std::int32_t count = regex.MatchCount();
  for (std::int32_t i = 1; i <= count; ++i) {
    const int row = i - 1;
    if (!WriteIfNewest(run, [&] {
          window.InsertRow(kList);
          window.SetCellText(kList, row, 0, ToText(i));
        }))
      return;
    for (std::int32_t k = 1; k <= 5; ++k) {
      const std::string cell = regex.SubMatchText(i, k);
      if (!WriteIfNewest(run, [&] { window.SetCellText(kList, row, k, cell); })) return;
    }
  }
  WriteIfNewest(run, [&] { window.SetCaption(kThisWindow, "读取完毕"); });
}

}  // namespace vantoip
