#include "SSL_Cipher.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "Assert.h"
#include "SSLKey.h"
#include "SecureBuffer.h"
#include "base64.h"

const rel::Interface AESInterface("ssl/aes", 3, 0, 2);
const rel::Interface BlowfishInterface("ssl/blowfish", 3, 0, 2);

namespace {

constexpr int MaxIVLength = 16;
constexpr int KeyDerivationRounds = 16;

struct CipherDeleter {
    void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
};
using FetchedCipher = std::unique_ptr<EVP_CIPHER, CipherDeleter>;

// Fetching by name makes a cipher whose provider is missing (Blowfish without the legacy
// provider) show up as a null result instead of failing later inside a coder.
FetchedCipher fetchCipher(const char* name) {
    FetchedCipher cipher(EVP_CIPHER_fetch(nullptr, name, nullptr));
    if (!cipher) {
        rError("cipher %s is not available from OpenSSL: %s", name,
               ERR_error_string(ERR_get_error(), nullptr));
        ERR_clear_error();
    }
    return cipher;
}

EVP_MAC* hmacAlgorithm() {
    static EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    return mac;
}

std::shared_ptr<Cipher> makeSSLCipher(const rel::Interface& iface, const rel::Interface& realIface,
                                      const char* blockName, const char* streamName, int keyLenBits) {
    FetchedCipher blockCipher = fetchCipher(blockName);
    FetchedCipher streamCipher = fetchCipher(streamName);
    if (!blockCipher || !streamCipher) return nullptr;
    return std::make_shared<SSL_Cipher>(iface, realIface, blockCipher.get(), streamCipher.get(),
                                        keyLenBits / 8);
}

// Each byte absorbs the already shuffled byte before it.
void shuffleBytes(unsigned char* buf, int size) {
    for (int i = 1; i < size; ++i) buf[i] ^= buf[i - 1];
}

void unshuffleBytes(unsigned char* buf, int size) {
    for (int i = size - 1; i > 0; --i) buf[i] ^= buf[i - 1];
}

// Reverses the byte order inside each 64-byte chunk.
void flipBytes(unsigned char* buf, int size) {
    constexpr int Chunk = 64;
    for (int start = 0; start < size; start += Chunk)
        std::reverse(buf + start, buf + std::min(size, start + Chunk));
}

void storeLittleEndian64(unsigned char* out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Restarts the key's HMAC and returns its digest over data (and the optional 8 extra bytes).
// The caller holds the key's mutex.
unsigned int hmacDigest(SSLKey& key, const unsigned char* data, int length,
                        const unsigned char* extra8, unsigned char* md) {
    size_t mdLen = 0;
    if (EVP_MAC_init(key.macContext, nullptr, 0, nullptr) != 1 ||
        EVP_MAC_update(key.macContext, data, static_cast<size_t>(length)) != 1 ||
        (extra8 != nullptr && EVP_MAC_update(key.macContext, extra8, 8) != 1) ||
        EVP_MAC_final(key.macContext, md, &mdLen, EVP_MAX_MD_SIZE) != 1) {
        rError("HMAC failed: %s", ERR_error_string(ERR_get_error(), nullptr));
        return 0;
    }
    return static_cast<unsigned int>(mdLen);
}

// One pass of a cipher over the buffer in place; a short result counts as a failure.
bool runCipher(EVP_CIPHER_CTX* context, const unsigned char* ivec, unsigned char* buf, int size,
               bool encrypting) {
    int updateLength = 0;
    int finalLength = 0;
    const bool ok = EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, ivec, -1) == 1 &&
                    EVP_CipherUpdate(context, buf, &updateLength, buf, size) == 1 &&
                    EVP_CipherFinal_ex(context, buf + updateLength, &finalLength) == 1;
    if (!ok || updateLength + finalLength != size) {
        if (encrypting)
            rError("encoding %i bytes, got back %i (%i in final_ex)", size, updateLength, finalLength);
        else
            rError("decoding %i bytes, got back %i (%i in final_ex)", size, updateLength, finalLength);
        return false;
    }
    return true;
}

// The engine's own key derivation: a 16-fold SHA-1 chain, the digest bytes filling the key
// bytes and then the IV bytes.
int BytesToKey(int keyLen, int ivLen, const EVP_MD* md, const unsigned char* data, int dataLen,
               unsigned int rounds, unsigned char* key, unsigned char* iv) {
    if (data == nullptr || dataLen == 0) return 0;
    unsigned char mdBuf[EVP_MAX_MD_SIZE];
    unsigned int mdLen = 0;
    int addmd = 0;
    int keyFilled = 0;
    int ivFilled = 0;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    while (keyFilled < keyLen || ivFilled < ivLen) {
        EVP_DigestInit_ex(context, md, nullptr);
        if (addmd++) EVP_DigestUpdate(context, mdBuf, mdLen);
        EVP_DigestUpdate(context, data, static_cast<size_t>(dataLen));
        EVP_DigestFinal_ex(context, mdBuf, &mdLen);
        for (unsigned int i = 1; i < rounds; ++i) {
            EVP_DigestInit_ex(context, md, nullptr);
            EVP_DigestUpdate(context, mdBuf, mdLen);
            EVP_DigestFinal_ex(context, mdBuf, &mdLen);
        }
        int offset = 0;
        const int toKey = std::min(keyLen - keyFilled, static_cast<int>(mdLen));
        std::memcpy(key + keyFilled, mdBuf, static_cast<size_t>(toKey));
        keyFilled += toKey;
        offset = toKey;
        const int toIV = std::min(ivLen - ivFilled, static_cast<int>(mdLen) - offset);
        if (toIV > 0) {
            std::memcpy(iv + ivFilled, mdBuf + offset, static_cast<size_t>(toIV));
            ivFilled += toIV;
        }
    }
    EVP_MD_CTX_free(context);
    OPENSSL_cleanse(mdBuf, sizeof(mdBuf));
    return keyLen;
}

long elapsedMicroseconds(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

// PBKDF2 with an iteration count grown until one run takes about desiredMicroseconds.
int TimedPBKDF2(const char* pass, int passLen, const unsigned char* salt, int saltLen, int keyLen,
                unsigned char* out, long desiredMicroseconds) {
    int iterations = 1000;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (PKCS5_PBKDF2_HMAC_SHA1(pass, passLen, salt, saltLen, iterations, keyLen, out) != 1)
            return -1;
        const long delta = std::max(1L, elapsedMicroseconds(start));
        if (delta < desiredMicroseconds / 8) {
            iterations *= 4;
        } else if (delta < 5 * desiredMicroseconds / 6) {
            iterations = static_cast<int>(static_cast<double>(iterations) *
                                          static_cast<double>(desiredMicroseconds) /
                                          static_cast<double>(delta));
        } else {
            return iterations;
        }
        start = std::chrono::steady_clock::now();
    }
}

}  // namespace

std::shared_ptr<Cipher> NewAESCipher(const rel::Interface& iface, int keyLenBits) {
    const Range keyRange(128, 256, 64);
    int keyLen = keyLenBits <= 0 ? 192 : keyRange.closest(keyLenBits);
    switch (keyLen) {
    case 192:
        return makeSSLCipher(iface, AESInterface, "AES-192-CBC", "AES-192-CFB", keyLen);
    case 128:
        return makeSSLCipher(iface, AESInterface, "AES-128-CBC", "AES-128-CFB", keyLen);
    default:
        return makeSSLCipher(iface, AESInterface, "AES-256-CBC", "AES-256-CFB", keyLen);
    }
}

std::shared_ptr<Cipher> NewBFCipher(const rel::Interface& iface, int keyLenBits) {
    const Range keyRange(128, 256, 32);
    const int keyLen = keyLenBits <= 0 ? 160 : keyRange.closest(keyLenBits);
    return makeSSLCipher(iface, BlowfishInterface, "BF-CBC", "BF-CFB", keyLen);
}

SSL_Cipher::SSL_Cipher(const rel::Interface& iface_, const rel::Interface& realIface_,
                       const EVP_CIPHER* blockCipher, const EVP_CIPHER* streamCipher,
                       int keySizeBytes)
    : iface(iface_),
      realIface(realIface_),
      _blockCipher(blockCipher),
      _streamCipher(streamCipher),
      _keySize(keySizeBytes),
      _ivLength(EVP_CIPHER_get_iv_length(blockCipher)) {
    rAssert(_ivLength == 8 || _ivLength == 16);
    EVP_CIPHER_up_ref(const_cast<EVP_CIPHER*>(_blockCipher));
    EVP_CIPHER_up_ref(const_cast<EVP_CIPHER*>(_streamCipher));
    rDebug("allocated cipher %s, keySize %i, ivlength %i", iface.name().c_str(), _keySize,
           _ivLength);
    const int naturalKeyLength = EVP_CIPHER_get_key_length(_blockCipher);
    if (naturalKeyLength != _keySize && iface.current() == 1) {
        rWarning("Running in backward compatibilty mode for 1.0 - \nkey is really %i bits, not %i.\n"
                 "Consider creating a new filesystem and moving your data.",
                 naturalKeyLength * 8, _keySize * 8);
    }
}

SSL_Cipher::~SSL_Cipher() {
    EVP_CIPHER_free(const_cast<EVP_CIPHER*>(_blockCipher));
    EVP_CIPHER_free(const_cast<EVP_CIPHER*>(_streamCipher));
}

rel::Interface SSL_Cipher::interface() const { return realIface; }

std::shared_ptr<SSLKey> SSL_Cipher::makeKey() const {
    return std::make_shared<SSLKey>(_keySize, _ivLength);
}

std::shared_ptr<SSLKey> SSL_Cipher::sslKey(const CipherKey& key) const {
    std::shared_ptr<SSLKey> result = std::dynamic_pointer_cast<SSLKey>(key);
    if (!result) throw ERROR("key is not a key of this cipher");
    return result;
}

void SSL_Cipher::initKey(const std::shared_ptr<SSLKey>& key) const {
    Lock lock(key->mutex);
    const unsigned char* keyBytes = key->keyData();
    auto setUp = [&](EVP_CIPHER_CTX* context, const EVP_CIPHER* cipher, int encrypting) {
        EVP_CipherInit_ex(context, cipher, nullptr, nullptr, nullptr, encrypting);
        EVP_CIPHER_CTX_set_key_length(context, _keySize);
        EVP_CIPHER_CTX_set_padding(context, 0);
        EVP_CipherInit_ex(context, nullptr, nullptr, keyBytes, nullptr, encrypting);
    };
    setUp(key->blockEncryptContext, _blockCipher, 1);
    setUp(key->blockDecryptContext, _blockCipher, 0);
    setUp(key->streamEncryptContext, _streamCipher, 1);
    setUp(key->streamDecryptContext, _streamCipher, 0);

    EVP_MAC_CTX_free(key->macContext);
    key->macContext = EVP_MAC_CTX_new(hmacAlgorithm());
    char digestName[] = "SHA1";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0), OSSL_PARAM_END};
    EVP_MAC_init(key->macContext, keyBytes, static_cast<size_t>(_keySize), params);
}

CipherKey SSL_Cipher::newKey(const char* password, int passwdLength, int& iterationCount,
                             long desiredDurationMs, const unsigned char* salt, int saltLen) {
    std::shared_ptr<SSLKey> key = makeKey();
    const int outLength = _keySize + _ivLength;
    if (iterationCount == 0) {
        const int result = TimedPBKDF2(password, passwdLength, salt, saltLen, outLength,
                                       key->keyData(), desiredDurationMs * 1000);
        if (result <= 0) {
            rWarning("openssl error, PBKDF2 failed");
            return nullptr;
        }
        iterationCount = result;
    } else if (PKCS5_PBKDF2_HMAC_SHA1(password, passwdLength, salt, saltLen, iterationCount,
                                      outLength, key->keyData()) != 1) {
        rWarning("openssl error, PBKDF2 failed");
        return nullptr;
    }
    initKey(key);
    return key;
}

CipherKey SSL_Cipher::newKey(const char* password, int passwdLength) {
    return newKey(reinterpret_cast<const unsigned char*>(password), passwdLength);
}

CipherKey SSL_Cipher::newKey(const unsigned char* data, int dataLength) {
    std::shared_ptr<SSLKey> key = makeKey();
    int bytes = 0;
    if (iface.current() < 2) {
        bytes = EVP_BytesToKey(_blockCipher, EVP_sha1(), nullptr, data, dataLength,
                               KeyDerivationRounds, key->keyData(), key->ivData());
    } else {
        bytes = BytesToKey(_keySize, _ivLength, EVP_sha1(), data, dataLength, KeyDerivationRounds,
                           key->keyData(), key->ivData());
    }
    if (bytes != _keySize)
        rWarning("newKey: BytesToKey returned %i, expecting %i key bytes", bytes, _keySize);
    initKey(key);
    return key;
}

CipherKey SSL_Cipher::newRandomKey() {
    constexpr int RandomBytes = 32;
    constexpr int SaltBytes = 20;
    SecureBuffer random(RandomBytes);
    SecureBuffer salt(SaltBytes);
    if (!randomize(random.data(), RandomBytes, true) || !randomize(salt.data(), SaltBytes, true))
        return nullptr;
    std::shared_ptr<SSLKey> key = makeKey();
    if (PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(random.data()), RandomBytes,
                               salt.data(), SaltBytes, 1000, _keySize + _ivLength,
                               key->keyData()) != 1) {
        rWarning("openssl error, PBKDF2 failed");
        return nullptr;
    }
    initKey(key);
    return key;
}

CipherKey SSL_Cipher::readKey(const unsigned char* encodedData, const CipherKey& masterKey,
                              bool checkKey) {
    std::shared_ptr<SSLKey> mk = sslKey(masterKey);
    rAssert(mk->keySize == _keySize);
    const unsigned int checksum = (static_cast<unsigned int>(encodedData[0]) << 24) |
                                  (static_cast<unsigned int>(encodedData[1]) << 16) |
                                  (static_cast<unsigned int>(encodedData[2]) << 8) |
                                  static_cast<unsigned int>(encodedData[3]);
    const int length = _keySize + _ivLength;
    std::shared_ptr<SSLKey> key = makeKey();
    std::memcpy(key->keyData(), encodedData + 4, static_cast<size_t>(length));
    if (!streamDecode(key->keyData(), length, checksum, mk)) return nullptr;
    const unsigned int checksum2 = MAC_32(key->keyData(), length, mk);
    if (checksum2 != checksum && checkKey) {
        rDebug("checksum mismatch: expected %u, got %u", checksum, checksum2);
        rDebug("on decode of %i bytes", length);
        return nullptr;  // the key's buffer is wiped on release
    }
    initKey(key);
    return key;
}

void SSL_Cipher::writeKey(const CipherKey& ckey, unsigned char* outData, const CipherKey& masterKey) {
    std::shared_ptr<SSLKey> key = sslKey(ckey);
    std::shared_ptr<SSLKey> mk = sslKey(masterKey);
    rAssert(key->keySize == _keySize);
    rAssert(key->ivLength == _ivLength);
    rAssert(mk->keySize == _keySize);
    rAssert(mk->ivLength == _ivLength);
    const int length = _keySize + _ivLength;
    SecureBuffer plain(static_cast<size_t>(length));
    std::memcpy(plain.data(), key->keyData(), static_cast<size_t>(length));
    const unsigned int checksum = MAC_32(plain.data(), length, mk);
    if (!streamEncode(plain.data(), length, checksum, mk))
        throw ERROR("failed to encode key");
    outData[0] = static_cast<unsigned char>(checksum >> 24);
    outData[1] = static_cast<unsigned char>(checksum >> 16);
    outData[2] = static_cast<unsigned char>(checksum >> 8);
    outData[3] = static_cast<unsigned char>(checksum);
    std::memcpy(outData + 4, plain.data(), static_cast<size_t>(length));
}

std::string SSL_Cipher::encodeAsString(const CipherKey& key, const CipherKey& encodingKey) {
    SecureBuffer encoded(static_cast<size_t>(encodedKeySize()));
    writeKey(key, encoded.data(), encodingKey);
    char* text = nullptr;
    const int length = base64_encode(encoded.data(), encodedKeySize(), &text);
    std::string result = length > 0 ? std::string(text) : std::string();
    std::free(text);
    return result;
}

bool SSL_Cipher::compareKey(const CipherKey& a, const CipherKey& b) const {
    std::shared_ptr<SSLKey> key1 = sslKey(a);
    std::shared_ptr<SSLKey> key2 = sslKey(b);
    rAssert(key1->keySize == _keySize);
    rAssert(key2->keySize == _keySize);
    return std::memcmp(key1->keyData(), key2->keyData(),
                       static_cast<size_t>(_keySize + _ivLength)) == 0;
}

int SSL_Cipher::keySize() const { return _keySize; }

int SSL_Cipher::encodedKeySize() const { return _keySize + _ivLength + 4; }

int SSL_Cipher::cipherBlockSize() const { return EVP_CIPHER_get_block_size(_blockCipher); }

bool SSL_Cipher::randomize(unsigned char* buffer, int length, bool strongRandom) const {
    std::memset(buffer, 0, static_cast<size_t>(length));
    // RAND_bytes serves both strengths: OpenSSL 3 has no weaker generator.
    if (RAND_bytes(buffer, length) == 1) return true;
    const unsigned long error = ERR_get_error();
    if (error != 0) rWarning("openssl error: %s", ERR_error_string(error, nullptr));
    return false;
}

uint64_t SSL_Cipher::MAC_64(const unsigned char* data, int length, const CipherKey& ckey,
                            uint64_t* chainedIV) const {
    std::shared_ptr<SSLKey> key = sslKey(ckey);
    const int dataLen = length;
    rAssert(dataLen > 0);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLen = 0;
    {
        Lock lock(key->mutex);
        unsigned char chained[8];
        if (chainedIV != nullptr) storeLittleEndian64(chained, *chainedIV);
        mdLen = hmacDigest(*key, data, dataLen, chainedIV != nullptr ? chained : nullptr, md);
    }
    rAssert(mdLen >= 8);
    // The last digest byte is not folded in; stored MACs depend on that.
    unsigned char h[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (unsigned int i = 0; i < mdLen - 1; ++i) h[i % 8] ^= md[i];
    uint64_t value = 0;
    for (unsigned char byte : h) value = (value << 8) | byte;
    if (chainedIV != nullptr) *chainedIV = value;
    return value;
}

void SSL_Cipher::setIVec(unsigned char* ivec, uint64_t seed, const std::shared_ptr<SSLKey>& key) const {
    std::memcpy(ivec, key->ivData(), static_cast<size_t>(_ivLength));
    if (iface.current() >= 3) {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned char seedBytes[8];
        storeLittleEndian64(seedBytes, seed);
        const int mdLen = static_cast<int>(hmacDigest(*key, ivec, _ivLength, seedBytes, md));
        rAssert(mdLen >= _ivLength);
        std::memcpy(ivec, md, static_cast<size_t>(_ivLength));
        return;
    }
    // Older volumes: a multiplicative mix of the low 32 seed bits.
    const uint32_t s = static_cast<uint32_t>(seed);
    const uint32_t p = 0x060a4011u * s;
    const uint32_t q = 0x0221040du * (s ^ 0xD3FEA11Cu);
    auto byte = [](uint32_t value) { return static_cast<unsigned char>(value & 0xff); };
    ivec[0] ^= byte(p >> 24);
    ivec[1] ^= byte(q >> 16);
    ivec[2] ^= byte(p >> 8);
    ivec[3] ^= byte(q);
    ivec[4] ^= byte(q >> 24);
    ivec[5] ^= byte(p >> 16);
    ivec[6] ^= byte(q >> 8);
    ivec[7] ^= byte(p);
    if (_ivLength == 16) {
        ivec[8] ^= byte(p);
        ivec[9] ^= byte(q >> 8);
        ivec[10] ^= byte(p >> 16);
        ivec[11] ^= byte(q >> 24);
        ivec[12] ^= byte(p >> 24);
        ivec[13] ^= byte(q >> 16);
        ivec[14] ^= byte(p >> 8);
        ivec[15] ^= byte(q);
    }
}

bool SSL_Cipher::streamEncode(unsigned char* buffer, int size, uint64_t iv64,
                              const CipherKey& ckey) const {
    rAssert(size > 0);
    std::shared_ptr<SSLKey> key = matchingKey(ckey);
    Lock lock(key->mutex);
    unsigned char ivec[MaxIVLength];
    shuffleBytes(buffer, size);
    setIVec(ivec, iv64, key);
    if (!runCipher(key->streamEncryptContext, ivec, buffer, size, true)) return false;
    flipBytes(buffer, size);
    shuffleBytes(buffer, size);
    setIVec(ivec, iv64 + 1, key);
    return runCipher(key->streamEncryptContext, ivec, buffer, size, true);
}

bool SSL_Cipher::streamDecode(unsigned char* buffer, int size, uint64_t iv64,
                              const CipherKey& ckey) const {
    rAssert(size > 0);
    std::shared_ptr<SSLKey> key = matchingKey(ckey);
    Lock lock(key->mutex);
    unsigned char ivec[MaxIVLength];
    setIVec(ivec, iv64 + 1, key);
    if (!runCipher(key->streamDecryptContext, ivec, buffer, size, false)) return false;
    unshuffleBytes(buffer, size);
    flipBytes(buffer, size);
    setIVec(ivec, iv64, key);
    if (!runCipher(key->streamDecryptContext, ivec, buffer, size, false)) return false;
    unshuffleBytes(buffer, size);
    return true;
}

bool SSL_Cipher::blockEncode(unsigned char* buffer, int size, uint64_t iv64,
                             const CipherKey& ckey) const {
    return blockCode(buffer, size, iv64, ckey, true);
}

bool SSL_Cipher::blockDecode(unsigned char* buffer, int size, uint64_t iv64,
                             const CipherKey& ckey) const {
    return blockCode(buffer, size, iv64, ckey, false);
}

bool SSL_Cipher::blockCode(unsigned char* buffer, int size, uint64_t iv64, const CipherKey& ckey,
                           bool encrypt) const {
    rAssert(size > 0);
    std::shared_ptr<SSLKey> key = matchingKey(ckey);
    if (size % cipherBlockSize() != 0) throw ERROR("Invalid data size, not multiple of block size");
    Lock lock(key->mutex);
    unsigned char ivec[MaxIVLength];
    setIVec(ivec, iv64, key);
    EVP_CIPHER_CTX* context = encrypt ? key->blockEncryptContext : key->blockDecryptContext;
    return runCipher(context, ivec, buffer, size, encrypt);
}

std::shared_ptr<SSLKey> SSL_Cipher::matchingKey(const CipherKey& ckey) const {
    std::shared_ptr<SSLKey> key = sslKey(ckey);
    rAssert(key->keySize == _keySize);
    rAssert(key->ivLength == _ivLength);
    return key;
}
