#pragma once

#include "tvl_aes.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace tvlkey {

template <auto Release>
struct Releaser {
    template <typename T>
    void operator()(T* handle) const { Release(handle); }
};

using KeyPtr = std::unique_ptr<aes_key, Releaser<destroyKey>>;
using BioPtr = std::unique_ptr<BIO, Releaser<BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, Releaser<BN_free>>;
using CipherContextPtr = std::unique_ptr<EVP_CIPHER_CTX, Releaser<EVP_CIPHER_CTX_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, Releaser<EVP_PKEY_free>>;
using PkeyContextPtr = std::unique_ptr<EVP_PKEY_CTX, Releaser<EVP_PKEY_CTX_free>>;
using X509Ptr = std::unique_ptr<X509, Releaser<X509_free>>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, Releaser<X509_EXTENSION_free>>;

}  // namespace tvlkey
