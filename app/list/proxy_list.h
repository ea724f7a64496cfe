// Reads the proxy list from its sources and fills 超级列表框1 row by row, on
// worker threads. The machine is reached through a page reader made on each
// worker, so that the run logic is the same in the program and in tests.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/list/proxy_address.h"
#include "app/list/proxy_sources.h"
#include "app/services.h"
#include "runtime/value.h"
#include "ui/window_controls.h"

namespace vantoip {

// One source's page as fetched.
struct ListPage {
  bool fetched = false;  // an answer with a 2xx status arrived
  ByteBlock body;         // its bytes as received
};

// What reading one source needs from the machine. Made anew on the thread
// that reads the source and used on that thread only.
class PageReader {
 public:
  virtual ~PageReader() = default;
  virtual ListPage Fetch(const std::string& url) = 0;
  // The body decoded from UTF-8 into GBK text.
  virtual std::string Decode(const ByteBlock& body) = 0;
  // Runs the row pattern over `text`; the number of rows it found.
  virtual int MatchRows(const std::string& text) = 0;
  // Group 1 to 5 of row 1 to n of the last match.
  virtual std::string RowGroup(int row, int group) = 0;
};
using PageReaderFactory = std::function<std::unique_ptr<PageReader>()>;

// True when a raw response header block starts with a 2xx status line.
bool IsSuccessStatus(const std::string& rawHeaders);

// The rows one list run lists at most: a page of millions of valid lines
// would otherwise exhaust a 32-bit process.
inline constexpr int kMaxRowsPerRun = 200000;

class ProxyListReader {
 public:
  // `sources` is asked at the start of every run. Sources not answered within
  // `sourceTimeout` of the run's start count as failed. `locate` gives 位置
  // for a host, and the country its list names (a code, or empty), when its
  // source gave none (its first call may take a while).
  ProxyListReader(ProxySourceProvider sources, PageReaderFactory makeReader, ThreadStarter& threads,
                  std::chrono::milliseconds sourceTimeout = std::chrono::seconds(30),
                  std::function<std::string(std::string_view host, std::string_view listCountry)> locate = {});

  // The whole body of one list run's worker thread: empties the list, fetches
  // every source at once on threads of its own, adds each page's rows as soon
  // as it is in, then writes the closing title. A newer run supersedes an
  // older one: the older one's writes are dropped on the window's thread.
  void ReadProxyList(const std::shared_ptr<WindowControls>& window);

  // The page text of the newest run that got a page (a copy).
  std::string LastPageText() const;

 private:
  struct Run;
  // Reads one source, its mirror when the source fails before `deadline`.
  void ReadSource(const std::shared_ptr<Run>& run, const ProxySource& source,
                  std::chrono::steady_clock::time_point deadline);
  // Lists the page's rows and settles its source; rows that state no
  // protocol are of the source's, when it names one.
  void AddPage(Run& run, PageReader& reader, ByteBlock body, std::optional<ProxyProtocol> sourceProtocol);
  // The source is in (or failed): one fewer pending; under runMutex_.
  void SettleSource(Run& run, bool fetched);
  // Lists a row (its cells from 服务器地址 on) numbered on from the rows
  // before, unless the same host:port and protocol is listed already. Its
  // protocol, credentials and the country for an empty 位置 are `entry`'s.
  // The row waits in the run's outbox for SendRows.
  void AddRow(Run& run, std::vector<std::string> cells, const ProxyAddress& entry);
  // The rows of the outbox to the window, in one trip to its thread.
  void SendRows(Run& run);
  // A run that a newer one has superseded stops working; whether its writes
  // still show is decided on the window's thread.
  bool Superseded(const Run& run) const;
  // Queues `write` to run on the window's thread while `run` is the newest run.
  void Write(const Run& run, std::function<void(WindowControls&)> write);
  void KeepPageText(unsigned run, std::string text);

  const ProxySourceProvider sources_;
  const PageReaderFactory makeReader_;
  ThreadStarter& threads_;
  const std::chrono::milliseconds sourceTimeout_;
  const std::function<std::string(std::string_view, std::string_view)> locate_;
  std::atomic<unsigned> newestRun_{0};
  // One page's rows at a time, and the counts of every run. One lock for all
  // runs: a lock made per run would leave its system object behind with
  // MinGW's threads, which never destroy a std::mutex.
  std::mutex runMutex_;
  mutable std::mutex pageMutex_;
  std::string lastPageText_;
};

}  // namespace vantoip
