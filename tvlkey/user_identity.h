#pragma once

#include "text_buffers.h"

namespace tvlkey {

// The user's RSA key pair as it goes into the key blob: the self-signed certificate and the
// unencrypted PKCS#8 private key, both PEM.
struct UserIdentity {
    TextPtr certificate;
    TextPtr privateKey;
};

// 2048-bit RSA, exponent 65537; a version 3 certificate for CN = userId, valid 7300 days,
// signed with SHA-1.
bool generateUserIdentity(const char* userId, UserIdentity& identity);

}  // namespace tvlkey
