// Stream and block coding with a key's own contexts, and the MACs built on its HMAC context.
#include "tvl_aes.h"

#include "key_lock.h"

#include <openssl/crypto.h>

#include <cstdio>
#include <cstring>

using tvlkey::KeyLock;

namespace {

constexpr int kMaxMacBytes = EVP_MAX_MD_SIZE;

void appendLittleEndian64(unsigned char* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool finishMac(aes_key* key, unsigned char* md, size_t* mdLength)
{
    return EVP_MAC_final(key->mac_ctx, md, mdLength, kMaxMacBytes) == 1;
}

// Restarts the context with the key it was prepared with, so each call starts afresh.
bool restartMac(aes_key* key) { return EVP_MAC_init(key->mac_ctx, nullptr, 0, nullptr) == 1; }

// The context is restarted with the key's own IV on every call, so equal plaintexts under the
// same key always give equal ciphertexts; the seed plays no part.
bool runStream(EVP_CIPHER_CTX* context, unsigned char* buffer, int size, aes_key* key)
{
    if (size < 0 || !tvlkey::isAes256Key(key) || context == nullptr)
        return false;
    KeyLock lock(key);
    int produced = 0;
    int finished = 0;
    return EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, getIVData(key), -1) == 1 &&
           EVP_CipherUpdate(context, buffer, &produced, buffer, size) == 1 &&
           EVP_CipherFinal_ex(context, buffer + produced, &finished) == 1;
}

bool runBlock(EVP_CIPHER_CTX* context, unsigned char* buffer, int size, uint64_t seed,
              aes_key* key)
{
    if (size < 0 || !tvlkey::isAes256Key(key) || context == nullptr)
        return false;
    const int blockSize = EVP_CIPHER_CTX_get_block_size(context);
    if (blockSize <= 0 || size % blockSize != 0) {
        puts("Invalid data size, not multiple of block size");
        return false;
    }
    KeyLock lock(key);
    unsigned char ivec[tvlkey::kIvBytes];
    int produced = 0;
    int finished = 0;
    const bool done =
        setIVec(ivec, seed, key) == 0 &&
        EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, ivec, -1) == 1 &&
        EVP_CipherUpdate(context, buffer, &produced, buffer, size) == 1 &&
        EVP_CipherFinal_ex(context, buffer + produced, &finished) == 1;
    OPENSSL_cleanse(ivec, sizeof ivec);
    return done;
}

}  // namespace

extern "C" bool streamEncode(unsigned char* buffer, int size, uint64_t, aes_key* key)
{
    return key != nullptr && runStream(key->stream_enc, buffer, size, key);
}

extern "C" bool streamDecode(unsigned char* buffer, int size, uint64_t, aes_key* key)
{
    return key != nullptr && runStream(key->stream_dec, buffer, size, key);
}

extern "C" bool blockEncode(unsigned char* buffer, int size, uint64_t seed, aes_key* key)
{
    return key != nullptr && runBlock(key->block_enc, buffer, size, seed, key);
}

extern "C" bool blockDecode(unsigned char* buffer, int size, uint64_t seed, aes_key* key)
{
    return key != nullptr && runBlock(key->block_dec, buffer, size, seed, key);
}

extern "C" int setIVec(unsigned char* ivec, uint64_t seed, aes_key* key)
{
    memcpy(ivec, getIVData(key), tvlkey::kIvBytes);
    unsigned char seedBytes[8];
    appendLittleEndian64(seedBytes, seed);
    unsigned char md[kMaxMacBytes];
    size_t mdLength = 0;
    if (!restartMac(key) || EVP_MAC_update(key->mac_ctx, ivec, tvlkey::kIvBytes) != 1 ||
        EVP_MAC_update(key->mac_ctx, seedBytes, sizeof seedBytes) != 1 ||
        !finishMac(key, md, &mdLength) || mdLength < static_cast<size_t>(tvlkey::kIvBytes))
        return -1;
    memcpy(ivec, md, tvlkey::kIvBytes);
    OPENSSL_cleanse(md, sizeof md);
    return 0;
}

extern "C" uint64_t MAC_64(const unsigned char* data, int length, aes_key* key,
                           uint64_t* chainedIV)
{
    if (key == nullptr || key->mac_ctx == nullptr || length < 0)
        return 0;
    KeyLock lock(key);
    unsigned char md[kMaxMacBytes];
    size_t mdLength = 0;
    if (!restartMac(key) || EVP_MAC_update(key->mac_ctx, data, length) != 1)
        return 0;
    if (chainedIV != nullptr) {
        unsigned char ivBytes[8];
        appendLittleEndian64(ivBytes, *chainedIV);
        if (EVP_MAC_update(key->mac_ctx, ivBytes, sizeof ivBytes) != 1)
            return 0;
    }
    if (!finishMac(key, md, &mdLength))
        return 0;
    uint64_t value = 0;
    if (mdLength >= 8) {
        // The last HMAC byte is left out of the fold, as the stored checksums expect.
        unsigned char folded[8] = {};
        for (size_t i = 0; i + 1 < mdLength; ++i)
            folded[i % 8] ^= md[i];
        for (unsigned char byte : folded)
            value = (value << 8) | byte;
    }
    if (chainedIV != nullptr)
        *chainedIV = value;
    return value;
}

extern "C" uint32_t MAC_32(const unsigned char* data, int length, aes_key* key,
                           uint64_t* chainedIV)
{
    const uint64_t mac = MAC_64(data, length, key, chainedIV);
    return static_cast<uint32_t>(mac >> 32) ^ static_cast<uint32_t>(mac);
}

extern "C" uint16_t MAC_16(const unsigned char* data, int length, aes_key* key,
                           uint64_t* chainedIV)
{
    const uint32_t mac = MAC_32(data, length, key, chainedIV);
    return static_cast<uint16_t>((mac >> 16) ^ (mac & 0xFFFF));
}
