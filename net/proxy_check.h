// Checking a proxy through itself: the check page, the request texts, the
// result texts, and the classifiers that judge a proxy's answer as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

enum class CheckOutcome { NotChecked, Checking, Passed, PassedHttpOnly, TimedOut, Refused, WrongContent, InvalidResponse };

struct CheckResult {
  CheckOutcome outcome = CheckOutcome::NotChecked;
  int milliseconds = 0;  // the GET's time, for the passed outcomes
};

bool IsPass(const CheckResult& result);

// The list's 检测结果 text (GBK): "123 ms", "123 ms 仅HTTP", "超时", ...; empty before a check.
std::string CheckResultText(const CheckResult& result);

struct CheckPage {
  std::string host;
  int port = 80;
  std::string path;  // from the "/" on, query included
  std::string expectedBody;
};

// The page from VANTOIP_CHECK_URL and VANTOIP_CHECK_TEXT (null or empty: the
// defaults). A URL that is not a plain http address gives the default page.
CheckPage CheckPageFrom(const char* url, const char* text);

// How many checks run at once: 512, or VANTOIP_CHECK_PARALLEL's number (null
// or not a number: the default) kept within kMaxChecksInFlight.
inline constexpr int kDefaultChecksInFlight = 512;
inline constexpr int kMaxChecksInFlight = 2048;
int ChecksInFlightFrom(const char* value);

// The GET in proxy form (absolute address) and the CONNECT to the page's host on 443.
std::string ProxyGetRequest(const CheckPage& page);
std::string ProxyConnectRequest(const CheckPage& page);

// One proxy to check.
struct CheckJob {
  std::string host;
  int port = 0;
};

// Checks many proxies at once; the program's runner works on sockets.
class ProxyCheckRunner {
 public:
  struct Events {
    std::function<void(std::size_t job)> started;                      // the check of a job begins
    std::function<void(std::size_t job, CheckResult result)> finished;  // its result
    std::function<void()> progress;                                    // about every 250 ms while checks go on
    std::function<void()> done;                                        // every job finished
  };
  virtual ~ProxyCheckRunner() = default;
  // Checks every job (a run still going is stopped first); returns at once.
  // Events come on a worker thread.
  virtual void Start(std::vector<CheckJob> jobs, Events events) = 0;
  // Adds jobs to the run going on, numbered on after its own; false (and
  // nothing added) when no run is going: it was stopped or reported `done`.
  virtual bool Add(std::vector<CheckJob> jobs) = 0;
  // Stops all checks at once and returns without waiting; a few events may
  // still arrive (the caller tells runs apart). A stopped run reports no `done`.
  virtual void Stop() = 0;
};

// The most bytes of an answer that are looked at.
inline constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

// The status line, fed byte by byte: "HTTP/" version, a space, three digits.
class StatusLineReader {
 public:
  enum class State { Reading, Invalid, Known };
  State Feed(char c);
  State Current() const { return state_; }
  int Status() const { return status_; }
  // "HTTP/" has arrived whole: from here on the answer counts as HTTP.
  bool LooksLikeHttp() const { return seen_ >= 5 && state_ != State::Invalid; }

 private:
  State state_ = State::Reading;
  std::size_t seen_ = 0;
  int versionLength_ = 0;
  bool spaceSeen_ = false;
  int digits_ = 0;
  int status_ = 0;
};

// Judges the answer to the GET as early as it can. Feed returns Checking while
// undecided, then for good one of: Passed (status 200 and exactly the expected
// body), WrongContent (an HTTP answer, but not that), InvalidResponse (not
// HTTP). Bodies framed by Content-Length, chunked or ended by the close.
class ResponseClassifier {
 public:
  explicit ResponseClassifier(std::string expectedBody);
  CheckOutcome Feed(std::string_view bytes);
  // The peer ended the connection: decides what is still open; an answer
  // without a single byte is Refused.
  CheckOutcome Close();
  CheckOutcome Outcome() const { return outcome_; }
  std::size_t BytesSeen() const { return seen_; }

 private:
  enum class Stage { StatusLine, Headers, LengthBody, CloseBody, ChunkSize, ChunkData, ChunkDataEnd };
  void FeedByte(char c);
  bool AddToLine(char c);  // true at the line's end
  void HeaderLine();
  void HeadEnd();
  void ChunkSizeLine();
  void BodyByte(char c);
  CheckOutcome Unfinished() const;

  std::string expected_;
  CheckOutcome outcome_ = CheckOutcome::Checking;
  Stage stage_ = Stage::StatusLine;
  StatusLineReader statusLine_;
  std::size_t seen_ = 0;
  bool http_ = false;  // an interim answer came before
  std::string line_;  // the header or chunk-size line being read
  bool transferEncoding_ = false;
  bool chunked_ = false;
  bool lengthKnown_ = false;
  bool badLength_ = false;
  std::uint64_t length_ = 0;  // Content-Length, then the bytes left of it or of the chunk
  std::size_t bodyMatched_ = 0;
};

// Judges the answer to the CONNECT: decided Passed by a status line saying
// 200, WrongContent by any other status, InvalidResponse when it is not HTTP.
class ConnectClassifier {
 public:
  CheckOutcome Feed(std::string_view bytes);
  CheckOutcome Outcome() const { return outcome_; }

 private:
  StatusLineReader statusLine_;
  CheckOutcome outcome_ = CheckOutcome::Checking;
};

}  // namespace vantoip
