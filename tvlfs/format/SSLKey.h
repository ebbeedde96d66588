#pragma once

#include <openssl/evp.h>

#include "CipherKey.h"
#include "Mutex.h"
#include "SecureBuffer.h"

// Key bytes then IV bytes in locked, wiped memory, with the cipher and MAC contexts kept
// initialised so that coding a block only reloads the IV. mutex serialises every context use.
class SSLKey : public AbstractCipherKey {
public:
    SSLKey(int keySize, int ivLength);
    ~SSLKey() override;

    unsigned char* keyData() { return buffer.data(); }
    const unsigned char* keyData() const { return buffer.data(); }
    unsigned char* ivData() { return buffer.data() + keySize; }
    const unsigned char* ivData() const { return buffer.data() + keySize; }

    mutable Mutex mutex;
    const int keySize;   // bytes
    const int ivLength;  // bytes
    SecureBuffer buffer;

    EVP_CIPHER_CTX* blockEncryptContext;
    EVP_CIPHER_CTX* blockDecryptContext;
    EVP_CIPHER_CTX* streamEncryptContext;
    EVP_CIPHER_CTX* streamDecryptContext;
    EVP_MAC_CTX* macContext = nullptr;
};
