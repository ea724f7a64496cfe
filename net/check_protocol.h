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

enum class ProxyProtocol { kHttp, kSocks4, kSocks5 };

// The outcomes with a time are those whose HTTP page came right; they differ
// in what became of HTTPS through the proxy's tunnel.
enum class CheckOutcome {
  NotChecked,
  Checking,
  Passed,            // the HTTP page right and HTTPS proven
  PassedHttpOnly,    // the proxy refused the CONNECT (a non-2xx answer)
  HttpsFailed,       // the tunnel opened but broke, timed out, or TLS or the HTTPS page failed
  CertificateError,  // the certificate through the tunnel does not verify: TLS is intercepted
  TimedOut,
  Refused,
  Unresolved,   // a host name without an IPv4 address, or its lookup took too long
  Unreachable,  // the connect failed for a reason other than a refusal (no route, network down)
  WrongContent,
  InvalidResponse,
  AuthenticationRequired,  // the proxy asks for credentials it was not given, or refused them
};

// Whether a proxy hides its user, by a judge page's echo (net/judge_echo.h).
enum class Anonymity { kUnknown, kTransparent, kAnonymous, kElite };

struct CheckResult {
  CheckOutcome outcome = CheckOutcome::NotChecked;
  int milliseconds = 0;  // the HTTP step's time, for the outcomes that have one
  // The protocol checked in: the job's, or the SOCKS one an assumed HTTP proxy answered in.
  ProxyProtocol protocol = ProxyProtocol::kHttp;
  // By the judge, for the outcomes with a time: the level, and the address the judge saw the proxy come from.
  Anonymity anonymity = Anonymity::kUnknown;
  std::string exitAddress;
};

// The HTTP page came right: the result carries a time.
bool HasTime(const CheckResult& result);
// A proxy worth using: HasTime, and TLS through it not intercepted.
bool IsPass(const CheckResult& result);

// The list's 检测结果 text (GBK): "123 ms", "123 ms 仅HTTP", "超时", ...; empty before a check.
std::string CheckResultText(const CheckResult& result);

// 匿名度's text (GBK): "?", "透明", "匿名", "高匿".
std::string_view AnonymityText(Anonymity level);

// The page fetched through the tunnel, over TLS.
struct HttpsPage {
  std::string host;
  int port = 443;
  std::string path;
  int status = 204;  // the answer's expected status
};

// A page that echoes the request it got (plain http).
struct JudgePage {
  std::string host;
  int port = 80;
  std::string path;
};

struct CheckPage {
  std::string host;
  int port = 80;
  std::string path;  // from the "/" on, query included
  std::string expectedBody;
  HttpsPage https;
  // The judges, tried in turn for the user's own address; proxies are judged by
  // the first. None: no judge step.
  std::vector<JudgePage> judges;
};

// The page from VANTOIP_CHECK_URL and VANTOIP_CHECK_TEXT (null or empty: the
// defaults). A URL that is not a plain http address gives the default page.
// The HTTPS page and the judges are the default ones.
CheckPage CheckPageFrom(const char* url, const char* text);

// The HTTPS page from VANTOIP_CHECK_HTTPS_URL and VANTOIP_CHECK_HTTPS_STATUS:
// by default https://cp.cloudflare.com/generate_204 answering 204; another
// page answers 200 unless a status from 100 to 599 is named. A URL that is not
// a plain https address gives the default page.
HttpsPage HttpsPageFrom(const char* url, const char* status);

// The judges from VANTOIP_CHECK_JUDGE_URL: that page alone; null, empty or not
// a plain http address: the two public ones, httpbin.org's then azenv.net's.
std::vector<JudgePage> JudgesFrom(const char* url);

// Each step's limit: the lookup (from its start, not its queueing), the
// connect, the GET's answer once connected, then CONNECT, TLS and the HTTPS
// page together; and the longest a check can take, all of them in a row.
inline constexpr int kLookupMilliseconds = 5000;
inline constexpr int kConnectMilliseconds = 5000;
inline constexpr int kAnswerMilliseconds = 10000;
inline constexpr int kTunnelMilliseconds = 10000;
// The judge's step after them, its connect included; the direct fetch of the user's own address too.
inline constexpr int kJudgeMilliseconds = 10000;
inline constexpr int kCheckWorstCaseSeconds =
    (kLookupMilliseconds + kConnectMilliseconds + kAnswerMilliseconds + kTunnelMilliseconds + kJudgeMilliseconds) /
    1000;

// How many checks run at once.
inline constexpr int kDefaultChecksInFlight = 512;

// The pages a check uses when none is named.
inline constexpr const char* kDefaultCheckUrl = "http://www.msftconnecttest.com/connecttest.txt";
inline constexpr const char* kDefaultCheckText = "Microsoft Connect Test";
// www.msftconnecttest.com serves no valid HTTPS: the tunnel goes elsewhere.
inline constexpr const char* kDefaultHttpsUrl = "https://cp.cloudflare.com/generate_204";
inline constexpr int kDefaultHttpsStatus = 204;
// Small plain answers (a few hundred bytes) that name the client and its headers.
inline constexpr const char* kDefaultJudgeUrls[] = {"http://httpbin.org/get", "http://azenv.net/"};
inline constexpr int kMaxChecksInFlight = 2048;

// A plain "<scheme>://host[:port][/path]" address.
bool IsPlainUrl(std::string_view url, std::string_view scheme);

// The GET in proxy form (absolute address), the CONNECT to the HTTPS page's
// host and the GET sent through the tunnel once TLS is up; `authorization`
// (a header line with its CR LF, or empty) goes with the first two.
std::string ProxyGetRequest(const CheckPage& page, std::string_view authorization = {});
std::string ProxyConnectRequest(const CheckPage& page, std::string_view authorization = {});
std::string HttpsGetRequest(const CheckPage& page);
// The check page's GET in origin form, for a tunnel through a SOCKS proxy.
std::string TunnelGetRequest(const CheckPage& page);
// The judge's GET with a token that its echo must carry back (in the query
// and in a header of ours): in proxy form for an HTTP proxy, else in origin
// form (straight to the judge, or through a SOCKS tunnel).
std::string JudgeRequest(const JudgePage& judge, std::string_view token, bool proxyForm,
                         std::string_view authorization = {});
// "Proxy-Authorization: Basic …" with its CR LF, for an HTTP proxy's credentials; empty without a user.
std::string ProxyAuthorization(std::string_view user, std::string_view password);

// One proxy to check.
struct CheckJob {
  std::string host;
  int port = 0;
  ProxyProtocol protocol = ProxyProtocol::kHttp;
  // HTTP by default, not named by its list: SOCKS5, then SOCKS4, are tried
  // when the proxy gives no HTTP answer.
  bool protocolAssumed = false;
  std::string user, password;  // its credentials, when its list gave some
};
// "host:port", as the switch and the titles name a proxy; "socks=host:port"
// for a SOCKS4 one, as Windows names it in its proxy server setting.
std::string TargetText(const CheckJob& job);
inline constexpr char kSocksTargetPrefix[] = "socks=";

// Checks many proxies at once; the program's runner works on sockets.
class ProxyCheckRunner {
 public:
  struct Events {
    std::function<void(std::size_t job)> started;                      // the check of a job begins
    std::function<void(std::size_t job, CheckResult result)> finished;  // its result
    std::function<void()> progress;                                    // about every 250 ms while checks go on
    std::function<void()> done;                                        // every job finished
    // Once a run with judges has settled the user's own address: found, or not.
    std::function<void(bool found)> ownAddress;
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
  int status_ = 0;
};

// Judges the answer to the GET as early as it can. Feed returns Checking while
// undecided, then for good one of: Passed (status 200 and exactly the expected
// body), WrongContent (an HTTP answer, but not that), InvalidResponse (not
// HTTP). Bodies framed by Content-Length, chunked or ended by the close.
// Made by Keeping, it expects no body: any whole 200 answer passes, its body kept.
class ResponseClassifier {
 public:
  explicit ResponseClassifier(std::string expectedBody);
  static ResponseClassifier Keeping();
  const std::string& Body() const { return body_; }
  CheckOutcome Feed(std::string_view bytes);
  // The peer ended the connection: decides what is still open; an answer
  // without a single byte is Refused.
  CheckOutcome Close();
  CheckOutcome Outcome() const { return outcome_; }
  std::size_t BytesSeen() const { return seen_; }
  int Status() const { return statusLine_.Status(); }  // of the answer's status line, once read

 private:
  enum class Stage { StatusLine, Headers, LengthBody, CloseBody, ChunkSize, ChunkData, ChunkDataEnd };
  void FeedByte(char c);
  bool AddToLine(char c);  // true at the line's end
  void HeaderLine();
  void HeadEnd();
  void ChunkSizeLine();
  void BodyByte(char c);
  CheckOutcome Unfinished() const;
  CheckOutcome BodyComplete() const;  // the body's end has come

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
  bool keep_ = false;
  std::string body_;
};

// Judges the answer to the CONNECT: Passed by a 2xx status once its head has
// ended (the tunnel's bytes follow), WrongContent by any other status,
// InvalidResponse when it is not HTTP or its head does not end within
// kMaxAnswerBytes.
class ConnectClassifier {
 public:
  CheckOutcome Feed(std::string_view bytes);
  CheckOutcome Outcome() const { return outcome_; }
  // The bytes of the last Feed that came after the head: the tunnel's first.
  std::string_view Tunnel() const { return tunnel_; }

 private:
  StatusLineReader statusLine_;
  CheckOutcome outcome_ = CheckOutcome::Checking;
  std::size_t seen_ = 0;
  int lineEnds_ = 0;  // LF, or CR LF, in a row: two end the head
  std::string_view tunnel_;
};

// Judges the HTTPS page's answer by its status: Passed when it is the
// expected one, HttpsFailed for any other or an answer that is not HTTP.
class HttpsAnswerClassifier {
 public:
  explicit HttpsAnswerClassifier(int expectedStatus) : expected_(expectedStatus) {}
  CheckOutcome Feed(std::string_view bytes);

 private:
  int expected_;
  StatusLineReader statusLine_;
  CheckOutcome outcome_ = CheckOutcome::Checking;
};

}  // namespace vantoip
