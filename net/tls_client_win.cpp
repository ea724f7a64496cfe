#define SECURITY_WIN32
#include "net/tls_client_win.h"

#include <windows.h>
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>

#include <array>
#include <memory>
#include <system_error>
#include <thread>

#include "net/root_fetches.h"
#include "runtime/handle_win.h"

namespace vantoip {
namespace {

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

// One credential for every session of the process, made on first use and
// kept: acquiring one costs more than a handshake.
CredHandle* Credentials() {
  static CredHandle* credentials = [] {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // The chain is verified by us, against the name asked for.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    auto* handle = new CredHandle{};
    TimeStamp expiry;
    if (AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
                                  nullptr, nullptr, handle, &expiry) != SEC_E_OK) {
      delete handle;
      return static_cast<CredHandle*>(nullptr);
    }
    return handle;
  }();
  return credentials;
}

void FreeCertificate(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
void FreeChain(PCCERT_CHAIN_CONTEXT c) { CertFreeCertificateChain(c); }
using Certificate = UniqueHandle<NullIsInvalid<PCCERT_CONTEXT, FreeCertificate>>;
using CertificateChain = UniqueHandle<NullIsInvalid<PCCERT_CHAIN_CONTEXT, FreeChain>>;
void FreeBuffer(void* buffer) { FreeContextBuffer(buffer); }
using ContextBuffer = UniqueHandle<NullIsInvalid<void*, FreeBuffer>>;  // what the security package allocated

// The fetches of the whole process: their threads may outlive every client.
RootFetches& Fetches() {
  static RootFetches* fetches = new RootFetches([](std::function<void()> work) {
    try {
      std::thread(std::move(work)).detach();
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  });
  return *fetches;
}

// A chain build that may go to the network, for what it leaves behind: a root
// Windows adds to its store, intermediates in its cache.
void BuildChainFetching(const std::shared_ptr<Certificate>& certificate) {
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (CertGetCertificateChain(nullptr, certificate->Get(), nullptr, certificate->Get()->hCertStore, &para, 0,
                              nullptr, &chain))
    CertFreeCertificateChain(chain);
}

SecBuffer Buffer(unsigned long type, void* data = nullptr, std::size_t size = 0) {
  return SecBuffer{static_cast<unsigned long>(size), type, data};
}

// The bytes a buffer list left unused at the end of the input.
std::size_t ExtraBytes(const SecBuffer* buffers, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (buffers[i].BufferType == SECBUFFER_EXTRA) return buffers[i].cbBuffer;
  return 0;
}

}  // namespace

struct TlsClient::Session {
  CtxtHandle context{};
  bool hasContext = false;
  SecPkgContext_StreamSizes sizes{};
  ~Session() {
    if (hasContext) DeleteSecurityContext(&context);
  }
};

TlsClient::TlsClient(const std::string& serverName)
    : session_(std::make_unique<Session>()), serverName_(serverName.begin(), serverName.end()) {
  if (!Credentials()) return;
  state_ = State::Handshaking;
  Handshake();
}

TlsClient::~TlsClient() = default;

TlsClient::State TlsClient::Feed(std::string_view bytes) {
  input_.append(bytes);
  if (state_ == State::Handshaking) Handshake();
  else if (state_ == State::Open) Decrypt();
  return state_;
}

// One step of the handshake per token the server has sent whole.
void TlsClient::Handshake() {
  for (;;) {
    std::array<SecBuffer, 2> in = {Buffer(SECBUFFER_TOKEN, input_.data(), input_.size()), Buffer(SECBUFFER_EMPTY)};
    std::array<SecBuffer, 2> out = {Buffer(SECBUFFER_TOKEN), Buffer(SECBUFFER_ALERT)};
    SecBufferDesc inDesc{SECBUFFER_VERSION, static_cast<unsigned long>(in.size()), in.data()};
    SecBufferDesc outDesc{SECBUFFER_VERSION, static_cast<unsigned long>(out.size()), out.data()};
    const bool first = !session_->hasContext;
    if (!first && input_.empty()) return;
    ULONG attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        Credentials(), first ? nullptr : &session_->context, serverName_.data(), kContextFlags, 0, 0,
        first ? nullptr : &inDesc, 0, &session_->context, &outDesc, &attributes, nullptr);
    if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) session_->hasContext = true;
    for (SecBuffer& buffer : out) {
      const ContextBuffer owned(buffer.pvBuffer);
      if (buffer.BufferType == SECBUFFER_TOKEN && buffer.pvBuffer && buffer.cbBuffer)
        output_.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) return;  // the rest of the token is on its way
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS) {
      state_ = State::Failed;
      return;
    }
    if (!first) input_.erase(0, input_.size() - ExtraBytes(in.data(), in.size()));
    if (status == SEC_E_OK) {
      if (QueryContextAttributesW(&session_->context, SECPKG_ATTR_STREAM_SIZES, &session_->sizes) != SEC_E_OK) {
        state_ = State::Failed;
      } else {
        Judged();
      }
      return;
    }
    if (first) return;
  }
}

TlsClient::State TlsClient::Poll() {
  if (state_ == State::Verifying && !Fetches().Fetching(issuer_, {})) {
    fetchDone_ = true;
    Judged();
  }
  return state_;
}

void TlsClient::Judged() {
  switch (JudgeChain()) {
    case ChainTrust::kTrusted: state_ = State::Open; break;
    case ChainTrust::kUntrusted: state_ = State::Untrusted; break;
    case ChainTrust::kIncomplete: state_ = State::Verifying; return;
  }
  if (state_ == State::Open && !input_.empty()) Decrypt();
}

TlsClient::ChainTrust TlsClient::JudgeChain() {
  Certificate remote;
  if (QueryContextAttributesW(&session_->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, remote.Receive()) != SEC_E_OK ||
      !remote)
    return ChainTrust::kUntrusted;
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  // Only what is at hand: the check's thread never waits on a download of
  // intermediates, roots or revocation lists.
  CertificateChain chain;
  if (!CertGetCertificateChain(nullptr, remote.Get(), nullptr, remote.Get()->hCertStore, &chainPara,
                               CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, chain.Receive()))
    return ChainTrust::kUntrusted;
  const CERT_SIMPLE_CHAIN* simple = chain.Get()->cChain ? chain.Get()->rgpChain[0] : nullptr;
  constexpr DWORD kMissing = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;
  if (!fetchDone_ && simple && simple->cElement && (chain.Get()->TrustStatus.dwErrorStatus & kMissing)) {
    // Keyed by the issuer of the last certificate at hand: the one to fetch.
    const CERT_NAME_BLOB& issuer = simple->rgpElement[simple->cElement - 1]->pCertContext->pCertInfo->Issuer;
    issuer_.assign(reinterpret_cast<const char*>(issuer.pbData), issuer.cbData);
    auto owned = std::make_shared<Certificate>(CertDuplicateCertificateContext(remote.Get()));
    if (Fetches().Fetching(issuer_, [owned] { BuildChainFetching(owned); })) return ChainTrust::kIncomplete;
    fetchDone_ = true;
    return JudgeChain();  // the fetch of an earlier check may have brought it
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = serverName_.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS verdict{};
  verdict.cbSize = sizeof verdict;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &verdict) &&
                 verdict.dwError == 0
             ? ChainTrust::kTrusted
             : ChainTrust::kUntrusted;
}

void TlsClient::Decrypt() {
  while (!input_.empty() && state_ == State::Open) {
    std::array<SecBuffer, 4> buffers = {Buffer(SECBUFFER_DATA, input_.data(), input_.size()), Buffer(SECBUFFER_EMPTY),
                                        Buffer(SECBUFFER_EMPTY), Buffer(SECBUFFER_EMPTY)};
    SecBufferDesc desc{SECBUFFER_VERSION, static_cast<unsigned long>(buffers.size()), buffers.data()};
    const SECURITY_STATUS status = DecryptMessage(&session_->context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return;
    if (status == SEC_I_CONTEXT_EXPIRED) {
      state_ = State::Closed;
      return;
    }
    if (status != SEC_E_OK) {  // renegotiation included: a check has no use for it
      state_ = State::Failed;
      return;
    }
    for (const SecBuffer& buffer : buffers)
      if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer)
        received_.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
    // Decrypted in place: the extra bytes are the tail of the input.
    input_.erase(0, input_.size() - ExtraBytes(buffers.data(), buffers.size()));
  }
}

bool TlsClient::Write(std::string_view plain) {
  const SecPkgContext_StreamSizes& sizes = session_->sizes;
  while (state_ == State::Open && !plain.empty()) {
    const std::size_t size = std::min<std::size_t>(plain.size(), sizes.cbMaximumMessage);
    std::string record(sizes.cbHeader + size + sizes.cbTrailer, '\0');
    record.replace(sizes.cbHeader, size, plain.data(), size);
    std::array<SecBuffer, 4> buffers = {Buffer(SECBUFFER_STREAM_HEADER, record.data(), sizes.cbHeader),
                                        Buffer(SECBUFFER_DATA, record.data() + sizes.cbHeader, size),
                                        Buffer(SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + size,
                                               sizes.cbTrailer),
                                        Buffer(SECBUFFER_EMPTY)};
    SecBufferDesc desc{SECBUFFER_VERSION, static_cast<unsigned long>(buffers.size()), buffers.data()};
    if (EncryptMessage(&session_->context, 0, &desc, 0) != SEC_E_OK) {
      state_ = State::Failed;
      return false;
    }
    output_.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    plain.remove_prefix(size);
  }
  return state_ == State::Open;
}

std::string TlsClient::TakeOutput() { return std::exchange(output_, {}); }

std::string TlsClient::TakeReceived() { return std::exchange(received_, {}); }

}  // namespace vantoip
