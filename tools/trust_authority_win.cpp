// Adds the demo's test authority (a DER file) to the Wine prefix's trusted
// roots, so that the program's HTTPS checks through the demo proxies verify.
// Usage: trust_authority.exe <certificate.der>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "tests/support/tls_check_server_win.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_authority <certificate.der>\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<unsigned char> certificate{std::istreambuf_iterator<char>(file), {}};
  try {
    if (certificate.empty()) throw std::runtime_error("no certificate in the file");
    vantoip::test::TrustAuthority(certificate, false);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "trust_authority: %s\n", e.what());
    return 1;
  }
  return 0;
}
