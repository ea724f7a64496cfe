#include "app/list/proxy_list_win.h"

#include "app/list/page_text_win.h"
#include "regex/proxy_row_pattern.h"
#include "regex/regex_object_win.h"
#include "runtime/native_commands_win.h"
#include "web/wininet_layer_win.h"

namespace vantoip {
namespace {

class WindowsPageReader final : public PageReader {
 public:
  WindowsPageReader() { CallNativeCommand(kCoInitialize, {0}); }  // the regex object is made first
  ~WindowsPageReader() override { regex_.Destroy(); }                // which ends the automation use

  ListPage Fetch(const std::string& url) override {
    // Every optional argument supplied, as FetchPageText does: the list mode,
    // which never goes through the machine's proxy.
    WebRequestValues values;
    ByteBlock body = VisitWebPage(url, values.AllSupplied());
    return {IsSuccessStatus(values.rawHeaders), std::move(body)};
  }
  std::string Decode(const ByteBlock& body) override { return Utf8ToGbkText(body); }
  int MatchRows(const std::string& text) override {
    // Wine's scripting RegExp aborts the whole process when asked to run over an empty subject.
    if (text.empty()) return 0;
    regex_.Create(std::string(ProxyRowPattern), text);
    return regex_.MatchCount();
  }
  std::string RowGroup(int row, int group) override { return regex_.SubMatchText(row, group); }

 private:
  RegexObject regex_;
};

}  // namespace

std::unique_ptr<PageReader> MakeWindowsPageReader() { return std::make_unique<WindowsPageReader>(); }

}  // namespace vantoip
