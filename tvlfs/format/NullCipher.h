#pragma once

#include "Cipher.h"

extern const rel::Interface NullInterface;

std::shared_ptr<Cipher> NewNullCipher(const rel::Interface& iface, int keyLenBits);

// A pass-through cipher for testing: keys are one shared NullKey, coding changes nothing.
class NullCipher : public Cipher {
public:
    explicit NullCipher(const rel::Interface& iface);
    ~NullCipher() override;

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

private:
    rel::Interface iface;
};
