#pragma once
// A certificate for 127.0.0.1 that no authority signed, for TLS test sites.
#include "support/temp_dir.h"

namespace vidralo::test {

// Writes cert.pem and key.pem into `dir` (made by openssl); false when
// openssl failed.
bool makeSelfSignedCertificate(const TempDir& dir);

}  // namespace vidralo::test
