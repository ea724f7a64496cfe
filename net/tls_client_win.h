// A TLS client on the system's TLS (Schannel through SSPI) that does no I/O
// of its own: the caller moves bytes between it and a non-blocking socket.
// The server's certificate chain is verified against the system's trusted
// roots and the server's name once the handshake is done; a root the system
// must fetch first is fetched off the caller's thread (RootFetches).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vantoip {

class TlsClient {
 public:
  enum class State {
    Handshaking,
    Open,       // the handshake is done and the certificate verified
    Closed,     // the server ended the session
    Failed,     // Schannel refused the handshake or a record
    Untrusted,  // the handshake finished, the certificate does not verify
    Verifying,  // the handshake finished, the chain waits for its root to be fetched: Poll
  };

  // Starts the handshake for `serverName` (sent as SNI, checked against the
  // certificate); its first bytes are waiting in TakeOutput.
  explicit TlsClient(const std::string& serverName);
  ~TlsClient();
  TlsClient(const TlsClient&) = delete;
  TlsClient& operator=(const TlsClient&) = delete;

  State Current() const { return state_; }
  // Bytes from the server: the handshake goes on, records are decrypted.
  State Feed(std::string_view bytes);
  // Encrypts application data into the output; false unless Open.
  bool Write(std::string_view plain);
  // While Verifying: judges the chain again once its root's fetch is done.
  State Poll();
  // Bytes for the server, handed over and cleared.
  std::string TakeOutput();
  // Application data from the server, handed over and cleared.
  std::string TakeReceived();

 private:
  struct Session;
  void Handshake();
  void Decrypt();
  enum class ChainTrust { kTrusted, kUntrusted, kIncomplete };
  // From what is at hand; kIncomplete (once) when a root or an intermediate
  // is missing, and the fetch that may bring it is under way.
  ChainTrust JudgeChain();
  void Judged();  // the state from JudgeChain, once the handshake is done

  std::unique_ptr<Session> session_;
  std::wstring serverName_;
  State state_ = State::Failed;
  std::string input_;     // received, not yet used
  std::string output_;    // to send
  std::string received_;  // decrypted
  std::string issuer_;    // whose root is being fetched
  bool fetchDone_ = false;
};

}  // namespace vantoip
