// Key objects: allocation, preparation of their contexts, the three ways to make a key, and the
// 52-byte wrapped form.
#include "tvl_aes.h"

#include "key_lock.h"
#include "password_key_derivations.h"
#include "secure_buffer.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using tvlkey::KeyLock;
using tvlkey::kEncodedKeyBytes;
using tvlkey::kIvBytes;
using tvlkey::kKeyBytes;
using tvlkey::kKeyMaterialBytes;

namespace {

constexpr int kRandomKeyRounds = 1000;
constexpr int kPasswordKeyRounds = 20000;
constexpr int kSaltBytes = 20;
constexpr int kBytesToKeyCount = 16;

void releaseContexts(aes_key* key)
{
    for (EVP_CIPHER_CTX** context : {&key->block_enc, &key->block_dec, &key->stream_enc,
                                     &key->stream_dec}) {
        EVP_CIPHER_CTX_free(*context);
        *context = nullptr;
    }
    EVP_MAC_CTX_free(key->mac_ctx);
    key->mac_ctx = nullptr;
}

bool prepareCipher(EVP_CIPHER_CTX*& context, const EVP_CIPHER* cipher, int encrypt,
                   const unsigned char* keyBytes, int keyLength)
{
    context = EVP_CIPHER_CTX_new();
    return context != nullptr &&
           EVP_CipherInit_ex(context, cipher, nullptr, nullptr, nullptr, encrypt) == 1 &&
           EVP_CIPHER_CTX_set_key_length(context, keyLength) == 1 &&
           EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
           EVP_CipherInit_ex(context, nullptr, nullptr, keyBytes, nullptr, encrypt) == 1;
}

bool prepareMac(aes_key* key, int keyLength)
{
    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    if (hmac == nullptr)
        return false;
    key->mac_ctx = EVP_MAC_CTX_new(hmac);
    EVP_MAC_free(hmac);
    char digest[] = OSSL_DIGEST_NAME_SHA1;
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_END};
    return key->mac_ctx != nullptr &&
           EVP_MAC_init(key->mac_ctx, key->buffer, keyLength, params) == 1;
}

// Every key the library makes: AES-256-CBC for blocks, AES-256-CFB128 for streams.
aes_key* newAes256Key(const unsigned char* material)
{
    aes_key* key = allocateNewKey(kKeyBytes, kIvBytes);
    if (key == nullptr)
        return nullptr;
    memcpy(key->buffer, material, kKeyMaterialBytes);
    if (initKey(key, EVP_aes_256_cbc(), EVP_aes_256_cfb128(), kKeyBytes) != 0) {
        destroyKey(key);
        return nullptr;
    }
    return key;
}

void writeBigEndian32(unsigned char* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

uint32_t readBigEndian32(const unsigned char* in)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | in[i];
    return value;
}

}  // namespace

extern "C" aes_key* allocateNewKey(int keySize, int ivLength)
{
    if (keySize < 0 || ivLength < 0)
        return nullptr;
    auto* key = static_cast<aes_key*>(calloc(1, sizeof(aes_key)));
    if (key == nullptr) {
        puts("Failed to allocate new key");
        return nullptr;
    }
    key->buffer = static_cast<unsigned char*>(calloc(keySize + ivLength + 1, 1));
    if (key->buffer == nullptr) {
        puts("Failed to allocate key buffer");
        free(key);
        return nullptr;
    }
    key->keySize = static_cast<uint32_t>(keySize);
    key->ivLength = static_cast<uint32_t>(ivLength);
    pthread_mutex_init(&key->lock, nullptr);
    return key;
}

extern "C" int initKey(aes_key* key, const EVP_CIPHER* blockCipher, const EVP_CIPHER* streamCipher,
                       int keyLength)
{
    if (key == nullptr || keyLength < 0 || static_cast<uint32_t>(keyLength) > key->keySize)
        return -1;
    KeyLock lock(key);
    releaseContexts(key);
    const bool prepared =
        prepareCipher(key->block_enc, blockCipher, 1, key->buffer, keyLength) &&
        prepareCipher(key->block_dec, blockCipher, 0, key->buffer, keyLength) &&
        prepareCipher(key->stream_enc, streamCipher, 1, key->buffer, keyLength) &&
        prepareCipher(key->stream_dec, streamCipher, 0, key->buffer, keyLength) &&
        prepareMac(key, keyLength);
    if (!prepared)
        releaseContexts(key);
    return prepared ? 0 : -1;
}

extern "C" void freeKey(aes_key* key)
{
    if (key == nullptr)
        return;
    OPENSSL_cleanse(key->buffer, key->keySize + key->ivLength);
    free(key->buffer);
    pthread_mutex_destroy(&key->lock);
    free(key);
}

extern "C" void destroyKey(aes_key* key)
{
    if (key == nullptr)
        return;
    OPENSSL_cleanse(key->buffer, key->keySize + key->ivLength);
    free(key->buffer);
    key->buffer = nullptr;
    key->keySize = 0;
    key->ivLength = 0;
    releaseContexts(key);
    pthread_mutex_destroy(&key->lock);
    free(key);
}

extern "C" aes_key* newRandomKey(void)
{
    tvlkey::SecureBuffer password(kKeyBytes);
    unsigned char salt[kSaltBytes];
    tvlkey::SecureBuffer material(kKeyMaterialBytes);
    if (!randomize(password.data(), password.length()) || !randomize(salt, kSaltBytes))
        return nullptr;
    if (PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password.data()), password.length(),
                               salt, kSaltBytes, kRandomKeyRounds, material.length(),
                               material.data()) != 1) {
        puts("openssl error, PBKDF2 failed");
        return nullptr;
    }
    return newAes256Key(material.data());
}

extern "C" aes_key* newKey(const unsigned char* password, int length)
{
    if (password == nullptr || length < 0)
        return nullptr;
    tvlkey::SecureBuffer material(kKeyMaterialBytes);
    const int derived = EVP_BytesToKey(EVP_aes_256_cbc(), EVP_sha1(), nullptr, password, length,
                                       kBytesToKeyCount, material.data(),
                                       material.data() + kKeyBytes);
    if (derived != kKeyBytes)
        return nullptr;
    return newAes256Key(material.data());
}

extern "C" aes_key* newKeyWithSalt(const unsigned char* password, int length,
                                   const unsigned char* salt)
{
    if (password == nullptr || length < 0 || salt == nullptr)
        return nullptr;
    tvlkey::countPasswordKeyDerivation();
    tvlkey::SecureBuffer material(kKeyMaterialBytes);
    if (PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password), length, salt, kSaltBytes,
                               kPasswordKeyRounds, material.length(), material.data()) != 1) {
        puts("openssl error, PBKDF2 failed");
        return nullptr;
    }
    return newAes256Key(material.data());
}

extern "C" aes_key* readKey(const unsigned char* encoded, aes_key* wrappingKey, int checkKey)
{
    if (encoded == nullptr || !tvlkey::isAes256Key(wrappingKey))
        return nullptr;
    const uint32_t checksum = readBigEndian32(encoded);
    tvlkey::SecureBuffer material(encoded + 4, kKeyMaterialBytes);
    if (!streamDecode(material.data(), material.length(), 0, wrappingKey))
        return nullptr;
    const uint32_t computed = MAC_32(material.data(), material.length(), wrappingKey, nullptr);
    if (computed != checksum && checkKey) {
        printf("checksum mismatch: expected %u, got %u\n", checksum, computed);
        printf("on decode of %i bytes\n", kKeyMaterialBytes);
        return nullptr;
    }
    return newAes256Key(material.data());
}

extern "C" int writeKey(aes_key* key, unsigned char* encoded, aes_key* wrappingKey)
{
    if (!tvlkey::isAes256Key(key) || encoded == nullptr || !tvlkey::isAes256Key(wrappingKey))
        return -1;
    tvlkey::SecureBuffer material(key->buffer, kKeyMaterialBytes);
    const uint32_t checksum = MAC_32(material.data(), material.length(), wrappingKey, nullptr);
    if (!streamEncode(material.data(), material.length(), 0, wrappingKey))
        return -1;
    memcpy(encoded + 4, material.data(), kKeyMaterialBytes);
    writeBigEndian32(encoded, checksum);
    return 0;
}

extern "C" aes_key* copyKey(aes_key* key)
{
    if (!tvlkey::isAes256Key(key))
        return nullptr;
    return newAes256Key(key->buffer);
}

extern "C" int compareKey(const aes_key* a, const aes_key* b)
{
    if (!tvlkey::isAes256Key(a) || !tvlkey::isAes256Key(b))
        return 0;
    return CRYPTO_memcmp(a->buffer, b->buffer, kKeyMaterialBytes) == 0 ? 1 : 0;
}

extern "C" unsigned char* getKeyData(const aes_key* key) { return key->buffer; }

extern "C" unsigned char* getIVData(const aes_key* key) { return key->buffer + key->keySize; }

extern "C" int keySize(const aes_key* key) { return static_cast<int>(key->keySize); }

extern "C" int encodedKeySize(void) { return kEncodedKeyBytes; }

extern "C" int cipherBlockSize(const aes_key* key)
{
    return key->block_enc != nullptr ? EVP_CIPHER_CTX_get_block_size(key->block_enc) : 0;
}
