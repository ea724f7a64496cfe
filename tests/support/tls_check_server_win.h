// The HTTPS check page for the tests: served on loopback by a helper program
// on the host (Wine starts host programs), with a certificate from a test
// authority that this process adds to the prefix's trusted roots for as long
// as it runs, and a second port whose certificate is its own, as a proxy that
// intercepts TLS would show. For timing tests, two proxies whose work costs
// Wine's server nothing: one that accepts and never answers (a dead proxy),
// one that answers the default check page's GET at once and refuses CONNECT.
// One per process, made on first use.
#pragma once

#include <string>
#include <vector>

#include "net/check_protocol.h"

namespace vantoip::test {

class TlsCheckServer {
 public:
  static constexpr const char* kHost = "vantoip.test";
  // The page as VANTOIP_CHECK_HTTPS_URL names it, answering 204.
  static constexpr const char* kUrl = "https://vantoip.test/generate_204";

  int TrustedPort() const { return trustedPort_; }
  int InterceptingPort() const { return interceptingPort_; }
  int HangingPort() const { return hangingPort_; }
  int QuickPort() const { return quickPort_; }
  HttpsPage Page() const { return HttpsPageFrom(kUrl, "204"); }

 private:
  friend const TlsCheckServer& SharedTlsCheckServer();
  TlsCheckServer();  // throws std::runtime_error when the helper does not start

  int trustedPort_ = 0;
  int interceptingPort_ = 0;
  int hangingPort_ = 0;
  int quickPort_ = 0;
};

// Adds a certificate (DER) to the prefix's trusted roots of the current user,
// until this process exits or for good; throws when it cannot.
void TrustAuthority(const std::vector<unsigned char>& certificate, bool untilExit);

// Started on the first call; throws when it cannot be.
const TlsCheckServer& SharedTlsCheckServer();

// The check page with the test's HTTPS page, which the fake proxies' tunnels
// reach, and the test's judge.
CheckPage LoopbackCheckPage(const char* url, const char* text);
// The same page in the variables the program reads at start (VANTOIP_CHECK_URL,
// _TEXT, _HTTPS_URL, _HTTPS_STATUS, _JUDGE_URL); a null url removes them.
void SetCheckEnvironment(const char* url, const char* text);

}  // namespace vantoip::test
