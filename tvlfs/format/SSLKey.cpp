#include "SSLKey.h"

#include <new>

namespace {

EVP_CIPHER_CTX* newContext() {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == nullptr) throw std::bad_alloc();
    return context;
}

}  // namespace

SSLKey::SSLKey(int keySize, int ivLength)
    : keySize(keySize),
      ivLength(ivLength),
      buffer(static_cast<std::size_t>(keySize + ivLength), true),
      blockEncryptContext(newContext()),
      blockDecryptContext(newContext()),
      streamEncryptContext(newContext()),
      streamDecryptContext(newContext()) {}

SSLKey::~SSLKey() {
    EVP_CIPHER_CTX_free(blockEncryptContext);
    EVP_CIPHER_CTX_free(blockDecryptContext);
    EVP_CIPHER_CTX_free(streamEncryptContext);
    EVP_CIPHER_CTX_free(streamDecryptContext);
    EVP_MAC_CTX_free(macContext);
}
