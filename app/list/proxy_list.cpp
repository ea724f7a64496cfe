#include "app/list/proxy_list.h"

#include <cctype>
#include <condition_variable>
#include <unordered_set>
#include <utility>

#include "app/list/plain_proxy_list.h"
#include "app/list/proxy_sources.h"
#include "app/main_window_controls.h"
#include "app/notepad_text.h"
#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

constexpr const char* kList = main_window::kProxyList;

// Rows go to the window's thread in slices: a trip for each row costs a
// message to the window, which under Wine took longer than reading the row.
constexpr std::size_t kRowsPerTrip = 256;

// A row ready for the window: its number, cells and what is kept unseen.
struct RowWrite {
  int row = 0;
  std::vector<std::string> cells;  // from 服务器地址 on
  std::string_view protocol;
  bool stated = false;
  std::string credentials;
  bool ownLocation = false;  // 位置 came with the row
};

}  // namespace

struct ProxyListReader::Run {
  unsigned number = 0;
  std::shared_ptr<WindowControls> window;
  std::condition_variable sourceDone;
  int pending = 0;      // sources still being read
  int failed = 0;       // sources that could not be fetched
  int rows = 0;         // rows listed so far, at most kMaxRowsPerRun
  bool ended = false;   // the closing title is written: late pages add nothing
  std::unordered_set<std::string> listed;  // ProxyIdentity of every row
  std::vector<RowWrite> outbox;            // rows listed, not yet sent to the window
};

bool IsSuccessStatus(const std::string& rawHeaders) {
  // "HTTP/1.1 200 OK": three digits after the version, the first a 2.
  if (rawHeaders.compare(0, 5, "HTTP/") != 0) return false;
  const std::size_t space = rawHeaders.find(' ');
  if (space == std::string::npos || space + 3 >= rawHeaders.size()) return false;
  const std::string code = rawHeaders.substr(space + 1, 3);
  return code[0] == '2' && std::isdigit(static_cast<unsigned char>(code[1])) &&
         std::isdigit(static_cast<unsigned char>(code[2]));
}

ProxyListReader::ProxyListReader(ProxySourceProvider sources, PageReaderFactory makeReader,
                                 ThreadStarter& threads, std::chrono::milliseconds sourceTimeout,
                                 std::function<std::string(std::string_view, std::string_view)> locate)
    : sources_(std::move(sources)), makeReader_(std::move(makeReader)), threads_(threads),
      sourceTimeout_(sourceTimeout), locate_(std::move(locate)) {}

std::string ProxyListReader::LastPageText() const {
  std::lock_guard lock(pageMutex_);
  return lastPageText_;
}

void ProxyListReader::KeepPageText(unsigned run, std::string text) {
  std::lock_guard lock(pageMutex_);
  // Copied into the buffer it has: a new page-sized block on every run
  // scatters the heap (10 MiB more after 300 refreshes under Wine). A larger
  // page is taken over instead, so that no second copy of it is made.
  if (run != newestRun_.load()) return;
  if (text.size() > lastPageText_.capacity())
    lastPageText_ = std::move(text);
  else
    lastPageText_.assign(text);
}

bool ProxyListReader::Superseded(const Run& run) const { return run.number != newestRun_.load(); }

void ProxyListReader::Write(const Run& run, std::function<void(WindowControls&)> write) {
  WindowControls* window = run.window.get();  // alive while its posted work waits
  window->Post([this, number = run.number, window, write = std::move(write)] {
    if (number == newestRun_.load()) write(*window);
  });
}

void ProxyListReader::ReadProxyList(const std::shared_ptr<WindowControls>& window) {
  auto run = std::make_shared<Run>();
  run->number = ++newestRun_;
  run->window = window;
  const auto deadline = std::chrono::steady_clock::now() + sourceTimeout_;
  Write(*run, [](WindowControls& w) { w.DeleteAllRows(kList); });
  Write(*run, [](WindowControls& w) { w.SetCaption(kThisWindow, "正在读取......请稍等"); });

  const ProxySourceList sources = sources_();
  std::unique_lock lock(runMutex_);
  for (const ProxySource& source : sources.sources) {
    ++run->pending;
    if (!threads_.Start([this, run, source, deadline] { ReadSource(run, source, deadline); })) {
      --run->pending;
      ++run->failed;
    }
  }
  run->sourceDone.wait_until(lock, deadline, [&] { return run->pending == 0; });
  run->failed += run->pending;  // still unanswered: failed
  run->ended = true;
  const std::string title = ListRunTitle(static_cast<int>(sources.sources.size()), run->failed,
                                         run->rows >= kMaxRowsPerRun ? kMaxRowsPerRun : 0, sources.note);
  Write(*run, [title](WindowControls& w) { w.SetCaption(kThisWindow, title); });
}

void ProxyListReader::ReadSource(const std::shared_ptr<Run>& run, const ProxySource& source,
                                 std::chrono::steady_clock::time_point deadline) {
  const std::unique_ptr<PageReader> reader = makeReader_();
  ListPage page = Superseded(*run) ? ListPage{} : reader->Fetch(source.address);
  // The same list elsewhere, while the run still waits for this source.
  if (!page.fetched && !source.mirror.empty() && !Superseded(*run) && std::chrono::steady_clock::now() < deadline)
    page = reader->Fetch(source.mirror);
  if (page.fetched) {
    AddPage(*run, *reader, std::move(page.body), source.Protocol());
    return;
  }
  std::lock_guard lock(runMutex_);
  SettleSource(*run, false);
}

void ProxyListReader::SettleSource(Run& run, bool fetched) {
  if (run.ended) return;
  --run.pending;
  if (!fetched) ++run.failed;
  run.sourceDone.notify_all();
}

void ProxyListReader::AddPage(Run& run, PageReader& reader, ByteBlock body,
                              std::optional<ProxyProtocol> sourceProtocol) {
  // A page is a row page when the row pattern finds a row in it, else a plain list.
  const std::string_view raw(reinterpret_cast<const char*>(body.data()), body.size());
  std::string text;
  int matched = 0;
  if (MayBeRowPage(raw)) {
    const bool bom = WithoutUtf8Bom(raw).size() != raw.size();
    text = reader.Decode(body);
    if (bom && !text.empty()) text.erase(0, 1);  // the mark, which GBK has no character for
    matched = reader.MatchRows(text);
  }
  // A plain list is read from the bytes as received: the decoded text ends at
  // a NUL byte and no longer shows whether the page was cut at the size limit.
  std::vector<ProxyAddress> plain;
  if (matched == 0) {
    plain = ReadPlainProxyList(raw, kMaxRowsPerRun, sourceProtocol);
    if (text.empty()) text.assign(raw);
  }
  ByteBlock().swap(body);  // not held while the rows go out
  KeepPageText(run.number, std::move(text));
  if (locate_ && matched == 0) locate_({}, {});  // a first call may take a while: not under the lock
  // The page's rows go out together, each as soon as its cells are read. The
  // source is settled first: a run that reaches its deadline meanwhile waits
  // for the lock, and then does not count as failed a source whose rows show.
  std::lock_guard lock(runMutex_);
  SettleSource(run, true);
  const auto open = [&] { return !run.ended && !Superseded(run) && run.rows < kMaxRowsPerRun; };
  run.listed.reserve(run.listed.size() + static_cast<std::size_t>(matched) + plain.size());  // no rehash on the way
  const ProxyAddress pageEntry{.protocol = sourceProtocol.value_or(ProxyProtocol::kHttp),
                               .protocolStated = sourceProtocol.has_value()};
  for (int i = 1; i <= matched && open(); ++i)
    AddRow(run,
           {reader.RowGroup(i, 1), reader.RowGroup(i, 2), reader.RowGroup(i, 3), reader.RowGroup(i, 4),
            reader.RowGroup(i, 5)},
           pageEntry);
  for (std::size_t i = 0; i < plain.size() && open(); ++i)
    AddRow(run, {plain[i].host, plain[i].port}, plain[i]);
  SendRows(run);
}

void ProxyListReader::AddRow(Run& run, std::vector<std::string> cells, const ProxyAddress& entry) {
  if (!run.listed.insert(ProxyIdentity(cells[0], cells[1], entry.protocol)).second) return;
  const bool ownLocation = cells.size() >= 3 && !cells[2].empty();
  if (locate_ && !ownLocation) {  // the source gave no 位置
    cells.resize(std::max<std::size_t>(cells.size(), 3));
    cells[2] = locate_(cells[0], entry.country);
  }
  run.outbox.push_back({run.rows++, std::move(cells), ProtocolName(entry.protocol), entry.protocolStated,
                        CredentialsCell(entry.user, entry.password), ownLocation});
  if (run.outbox.size() >= kRowsPerTrip) SendRows(run);
}

void ProxyListReader::SendRows(Run& run) {
  if (run.outbox.empty()) return;
  // On the window's thread each row is appended, then numbered, then each
  // cell written, every write by its own call.
  Write(run, [rows = std::exchange(run.outbox, {})](WindowControls& w) {
    for (const RowWrite& r : rows) {
      w.InsertRow(kList);
      w.SetCellText(kList, r.row, 0, ToText(r.row + 1));
      for (std::size_t k = 0; k < r.cells.size(); ++k) w.SetCellText(kList, r.row, static_cast<int>(k) + 1, r.cells[k]);
      w.SetCellText(kList, r.row, kProtocolColumn, std::string(r.protocol));
      if (r.stated) w.SetCellText(kList, r.row, kProtocolStatedColumn, "1");
      if (!r.credentials.empty()) w.SetCellText(kList, r.row, kCredentialsColumn, r.credentials);
      if (r.ownLocation) w.SetCellText(kList, r.row, kOwnLocationColumn, "1");
    }
  });
}

}  // namespace vantoip
