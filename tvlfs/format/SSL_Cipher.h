#pragma once

#include <openssl/evp.h>

#include "Cipher.h"

class SSLKey;

extern const rel::Interface AESInterface;
extern const rel::Interface BlowfishInterface;

std::shared_ptr<Cipher> NewAESCipher(const rel::Interface& iface, int keyLenBits);
std::shared_ptr<Cipher> NewBFCipher(const rel::Interface& iface, int keyLenBits);

// The OpenSSL-backed cipher: CBC for block coding, CFB for stream coding, HMAC-SHA1 for MACs.
// iface is the requested version, which decides the IV and key derivation rules.
class SSL_Cipher : public Cipher {
public:
    SSL_Cipher(const rel::Interface& iface, const rel::Interface& realIface,
               const EVP_CIPHER* blockCipher, const EVP_CIPHER* streamCipher, int keySizeBytes);
    ~SSL_Cipher() override;

    rel::Interface interface() const override;

    CipherKey newKey(const char* password, int passwdLength, int& iterationCount,
                     long desiredDurationMs, const unsigned char* salt, int saltLen) override;
    CipherKey newKey(const char* password, int passwdLength) override;
    CipherKey newKey(const unsigned char* data, int dataLength) override;
    CipherKey newRandomKey() override;

    CipherKey readKey(const unsigned char* encodedData, const CipherKey& masterKey,
                      bool checkKey = true) override;
    void writeKey(const CipherKey& key, unsigned char* outData, const CipherKey& masterKey) override;
    std::string encodeAsString(const CipherKey& key, const CipherKey& encodingKey) override;
    bool compareKey(const CipherKey& a, const CipherKey& b) const override;

    int keySize() const override;
    int encodedKeySize() const override;
    int cipherBlockSize() const override;

    bool randomize(unsigned char* buffer, int length, bool strongRandom) const override;

    uint64_t MAC_64(const unsigned char* data, int length, const CipherKey& key,
                    uint64_t* chainedIV = nullptr) const override;

    bool streamEncode(unsigned char* buffer, int size, uint64_t iv64,
                      const CipherKey& key) const override;
    bool streamDecode(unsigned char* buffer, int size, uint64_t iv64,
                      const CipherKey& key) const override;
    bool blockEncode(unsigned char* buffer, int size, uint64_t iv64,
                     const CipherKey& key) const override;
    bool blockDecode(unsigned char* buffer, int size, uint64_t iv64,
                     const CipherKey& key) const override;

    // The IV for seed under key, ivLength bytes (exposed for the format's own checks).
    void setIVec(unsigned char* ivec, uint64_t seed, const std::shared_ptr<SSLKey>& key) const;

private:
    std::shared_ptr<SSLKey> sslKey(const CipherKey& key) const;
    // sslKey, checked to be a key of this cipher's size.
    std::shared_ptr<SSLKey> matchingKey(const CipherKey& key) const;
    bool blockCode(unsigned char* buffer, int size, uint64_t iv64, const CipherKey& key,
                   bool encrypt) const;
    std::shared_ptr<SSLKey> makeKey() const;
    void initKey(const std::shared_ptr<SSLKey>& key) const;

    rel::Interface iface;
    rel::Interface realIface;
    const EVP_CIPHER* _blockCipher;
    const EVP_CIPHER* _streamCipher;
    int _keySize;
    int _ivLength;
};
