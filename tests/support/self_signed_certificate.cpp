#include "support/self_signed_certificate.h"

#include <cstdlib>
#include <string>

namespace vidralo::test {

bool makeSelfSignedCertificate(const TempDir& dir) {
  const std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                              "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                              dir.file("key.pem") + " -out " + dir.file("cert.pem") + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

}  // namespace vidralo::test
