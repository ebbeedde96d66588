#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "CipherKey.h"
#include "Interface.h"
#include "Range.h"

// A block cipher with its key handling, coding modes and MAC, plus the registry of ciphers.
// All coding works in place on the caller's buffer.
class Cipher {
public:
    using CipherConstructor = std::shared_ptr<Cipher> (*)(const rel::Interface& iface, int keyLenBits);

    struct CipherAlgorithm {
        std::string name;
        std::string description;
        rel::Interface iface;
        Range keyLength;
        Range blockSize;
    };

    static std::list<CipherAlgorithm> GetAlgorithmList(bool includeHidden = false);
    // First entry with exactly this name, constructed with its registered interface.
    static std::shared_ptr<Cipher> New(const std::string& name, int keyLenBits = -1);
    // First entry (in name order) whose interface implements iface, constructed with iface.
    static std::shared_ptr<Cipher> New(const rel::Interface& iface, int keyLenBits = -1);

    static bool Register(const char* name, const char* description, const rel::Interface& iface,
                         CipherConstructor constructor, bool hidden = false);
    static bool Register(const char* name, const char* description, const rel::Interface& iface,
                         const Range& keyLength, const Range& blockSize,
                         CipherConstructor constructor, bool hidden = false);

    Cipher() = default;
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;
    virtual ~Cipher();

    virtual rel::Interface interface() const = 0;

    // Password key with salt; iterationCount 0 asks for a timed derivation and receives its count.
    virtual CipherKey newKey(const char* password, int passwdLength, int& iterationCount,
                             long desiredDurationMs, const unsigned char* salt, int saltLen) = 0;
    virtual CipherKey newKey(const char* password, int passwdLength) = 0;
    // Key derived from raw key material.
    virtual CipherKey newKey(const unsigned char* data, int dataLength) = 0;
    virtual CipherKey newRandomKey() = 0;

    // Unwraps an encoded key (checksum, then coded key and IV bytes) under masterKey.
    // With checkKey a checksum mismatch gives an empty handle.
    virtual CipherKey readKey(const unsigned char* encodedData, const CipherKey& masterKey,
                              bool checkKey = true) = 0;
    // Writes encodedKeySize() bytes into outData.
    virtual void writeKey(const CipherKey& key, unsigned char* outData,
                          const CipherKey& masterKey) = 0;
    virtual std::string encodeAsString(const CipherKey& key, const CipherKey& encodingKey) = 0;
    virtual bool compareKey(const CipherKey& a, const CipherKey& b) const = 0;

    virtual int keySize() const = 0;          // bytes
    virtual int encodedKeySize() const = 0;   // bytes
    virtual int cipherBlockSize() const = 0;  // bytes

    virtual bool randomize(unsigned char* buffer, int length, bool strongRandom) const = 0;

    // 64-bit MAC; a given chainedIV is mixed in and then replaced by the result.
    virtual uint64_t MAC_64(const unsigned char* data, int length, const CipherKey& key,
                            uint64_t* chainedIV = nullptr) const = 0;
    unsigned int MAC_32(const unsigned char* data, int length, const CipherKey& key,
                        uint64_t* chainedIV = nullptr) const;
    unsigned int MAC_16(const unsigned char* data, int length, const CipherKey& key,
                        uint64_t* chainedIV = nullptr) const;

    // Any length >= 1.
    virtual bool streamEncode(unsigned char* buffer, int size, uint64_t iv64,
                              const CipherKey& key) const = 0;
    virtual bool streamDecode(unsigned char* buffer, int size, uint64_t iv64,
                              const CipherKey& key) const = 0;
    virtual bool nameEncode(unsigned char* buffer, int size, uint64_t iv64,
                            const CipherKey& key) const;
    virtual bool nameDecode(unsigned char* buffer, int size, uint64_t iv64,
                            const CipherKey& key) const;
    // Whole cipher blocks only; other sizes throw rlog::Error.
    virtual bool blockEncode(unsigned char* buffer, int size, uint64_t iv64,
                             const CipherKey& key) const = 0;
    virtual bool blockDecode(unsigned char* buffer, int size, uint64_t iv64,
                             const CipherKey& key) const = 0;
};
