#include "tests/support/tls_check_server_win.h"

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "net/socket_win.h"
#include "runtime/handle_win.h"
#include "tests/support/child_process_win.h"
#include "tests/support/loopback_judge_win.h"

#ifndef VANTOIP_TLS_SERVER_SCRIPT
#error "VANTOIP_TLS_SERVER_SCRIPT names the helper's host path"
#endif

namespace vantoip::test {
namespace {

constexpr int kStartMilliseconds = 30000;

std::vector<unsigned char> FromHex(const std::string& hex) {
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

void CloseStore(HCERTSTORE store) { CertCloseStore(store, 0); }
using CertificateStore = UniqueHandle<NullIsInvalid<HCERTSTORE, &CloseStore>>;

HCERTSTORE OpenRootStore() {
  return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
}

}  // namespace

void TrustAuthority(const std::vector<unsigned char>& certificate, bool untilExit) {
  PCCERT_CONTEXT added = nullptr;
  {
    const CertificateStore root(OpenRootStore());  // closed at once: written to the prefix, other processes see it
    if (!root) throw std::runtime_error("the root store does not open");
    if (!CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING, certificate.data(),
                                          static_cast<DWORD>(certificate.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          untilExit ? &added : nullptr))
      throw std::runtime_error("the authority is not taken");
  }
  if (!untilExit) return;
  static PCCERT_CONTEXT kept = added;
  std::atexit([] {
    const CertificateStore store(OpenRootStore());
    if (!store) return;
    if (PCCERT_CONTEXT found =
            CertFindCertificateInStore(store.Get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, kept, nullptr))
      CertDeleteCertificateFromStore(found);  // frees `found` too
  });
}

TlsCheckServer::TlsCheckServer() {
  if (!StartWinsock()) throw std::runtime_error("no Winsock");
  // The helper connects back to this listener; the connection is its lifeline.
  Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  if (!listener || bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0 || listen(listener.Get(), 1) != 0)
    throw std::runtime_error("no listener for the TLS helper");
  const char* python = std::getenv("VANTOIP_PYTHON");
  std::string command = std::string(python && *python ? python : "/usr/bin/python3") + " " +
                        VANTOIP_TLS_SERVER_SCRIPT + " " + std::to_string(ntohs(address.sin_port));
  PROCESS_INFORMATION process{};
  if (!StartProcess(command, process))
    throw std::runtime_error("the TLS helper does not start: " + command);
  StartedProcess{process};  // our handles go now; the helper ends when our connection does

  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listener.Get(), &readable);
  timeval timeout{kStartMilliseconds / 1000, 0};
  if (select(0, &readable, nullptr, nullptr, &timeout) != 1) throw std::runtime_error("the TLS helper did not call back");
  static Socket lifeline;  // closed by the process's end, which ends the helper
  lifeline.Reset(accept(listener.Get(), nullptr, nullptr));
  std::string line;
  char c = 0;
  while (line.size() < 16384 && recv(lifeline.Get(), &c, 1, 0) == 1 && c != '\n') line += c;
  // "<trusted port> <intercepting port> <hanging port> <quick port> <authority>"
  std::size_t at = 0;
  int* ports[] = {&trustedPort_, &interceptingPort_, &hangingPort_, &quickPort_};
  for (int* port : ports) {
    const std::size_t space = line.find(' ', at);
    if (space == std::string::npos) throw std::runtime_error("the TLS helper said: " + line);
    *port = std::stoi(line.substr(at, space - at));
    at = space + 1;
  }
  TrustAuthority(FromHex(line.substr(at)), true);
}

const TlsCheckServer& SharedTlsCheckServer() {
  static const TlsCheckServer server;
  return server;
}

CheckPage LoopbackCheckPage(const char* url, const char* text) {
  CheckPage page = CheckPageFrom(url, text);
  page.https = SharedTlsCheckServer().Page();
  page.judges = {SharedLoopbackJudge()};
  return page;
}

void SetCheckEnvironment(const char* url, const char* text) {
  // _putenv_s: the C runtime's copy (read by a program made in this process) and the process's (children).
  _putenv_s("VANTOIP_CHECK_URL", url ? url : "");
  _putenv_s("VANTOIP_CHECK_TEXT", url && text ? text : "");
  _putenv_s("VANTOIP_CHECK_HTTPS_URL", url ? TlsCheckServer::kUrl : "");
  _putenv_s("VANTOIP_CHECK_HTTPS_STATUS", url ? "204" : "");
  const JudgePage& judge = SharedLoopbackJudge();
  _putenv_s("VANTOIP_CHECK_JUDGE_URL",
            url ? ("http://" + judge.host + ":" + std::to_string(judge.port) + judge.path).c_str() : "");
}

}  // namespace vantoip::test
