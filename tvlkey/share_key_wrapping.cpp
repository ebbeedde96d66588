// Share keys wrapped for another user with the RSA key of that user's certificate.
#include "tvl_keygen.h"

#include "blob_access.h"
#include "openssl_handles.h"
#include "packing_key.h"

#include <openssl/core_names.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cstdio>
#include <cstring>
#include <vector>

using namespace tvlkey;

namespace {

constexpr char kImplicitRejection[] = "rsa_pkcs1_implicit_rejection";

BioPtr textBio(const char* text)
{
    return BioPtr(BIO_new_mem_buf(text, static_cast<int>(strlen(text))));
}

PkeyPtr certificateRsaKey(const char* certificate)
{
    BioPtr bio = textBio(certificate);
    X509Ptr parsed(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!parsed) {
        puts("Failed to read the recipient's certificate");
        return nullptr;
    }
    PkeyPtr key(X509_get_pubkey(parsed.get()));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
        puts("The recipient's certificate carries no RSA key");
        return nullptr;
    }
    return key;
}

PkeyPtr privateRsaKey(const char* privateKeyPem)
{
    BioPtr bio = textBio(privateKeyPem);
    PkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
        puts("Failed to read the private key of the key blob");
        return nullptr;
    }
    return key;
}

// Newer OpenSSL answers a bad padding with a random message instead of an error; a wrong key must
// fail, so that answer is switched off wherever it exists.
bool refuseImplicitRejection(EVP_PKEY_CTX* context)
{
    const OSSL_PARAM* settable = EVP_PKEY_CTX_settable_params(context);
    if (settable == nullptr || OSSL_PARAM_locate_const(settable, kImplicitRejection) == nullptr)
        return true;
    unsigned int off = 0;
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_uint(kImplicitRejection, &off),
                                 OSSL_PARAM_END};
    return EVP_PKEY_CTX_set_params(context, params) == 1;
}

}  // namespace

extern "C" int wrap_dek(const char* certificate, const char* text, char** wrapped)
{
    if (certificate == nullptr || text == nullptr || wrapped == nullptr)
        return -1;
    const PkeyPtr key = certificateRsaKey(certificate);
    if (!key)
        return -1;
    PkeyContextPtr context(EVP_PKEY_CTX_new(key.get(), nullptr));
    // The text travels with its NUL, as recipients expect.
    const auto* plain = reinterpret_cast<const unsigned char*>(text);
    const std::size_t plainLength = strlen(text) + 1;
    std::vector<unsigned char> cipher(static_cast<std::size_t>(EVP_PKEY_get_size(key.get())));
    std::size_t cipherLength = cipher.size();
    if (!context || EVP_PKEY_encrypt_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_encrypt(context.get(), cipher.data(), &cipherLength, plain, plainLength) != 1) {
        puts("RSA encryption of the share key failed");
        return -1;
    }
    TextPtr encoded = encodeBase64(cipher.data(), cipherLength);
    if (!encoded)
        return -1;
    *wrapped = encoded.release();
    return 0;
}

extern "C" int unwrap_dek(const char* password, const char* key_salt, const char* key_blob,
                          const char* wrapped_ak, const char* wrapped_pk, const char* wrapped,
                          char** text)
{
    if (text == nullptr)
        return -1;
    const KeyPtr pk = accountPackingKey(password, key_salt, wrapped_ak, wrapped_pk);
    TextPtr privateKeyPem;
    if (!pk || _get_privk_from_blob(pk.get(), key_blob, privateKeyPem) != 0)
        return -1;
    const PkeyPtr key = privateRsaKey(privateKeyPem.get());
    if (!key)
        return -1;
    const auto cipher = decodeBase64(wrapped, "wrapped share key");
    if (!cipher)
        return -1;
    PkeyContextPtr context(EVP_PKEY_CTX_new(key.get(), nullptr));
    SecureBuffer plain(static_cast<std::size_t>(EVP_PKEY_get_size(key.get())));
    std::size_t plainLength = plain.size();
    if (!context || EVP_PKEY_decrypt_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
        !refuseImplicitRejection(context.get()) ||
        EVP_PKEY_decrypt(context.get(), plain.data(), &plainLength, cipher->data(),
                         cipher->size()) != 1) {
        puts("RSA decryption of the share key failed");
        return -1;
    }
    // What was wrapped is a text with its NUL; anything else is not ours.
    if (plainLength == 0 || plainLength > plain.size() || plain.data()[plainLength - 1] != '\0' ||
        strlen(reinterpret_cast<const char*>(plain.data())) != plainLength - 1) {
        puts("The unwrapped share key is not a text");
        return -1;
    }
    TextPtr result = copyText(reinterpret_cast<const char*>(plain.data()));
    if (!result)
        return -1;
    *text = result.release();
    return 0;
}
