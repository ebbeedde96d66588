#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "Cipher.h"
#include "CipherKey.h"
#include "Interface.h"

// File-name coding and the registry of name codings. Stored paths keep their plain names
// (the path walk only checks lengths); single names are coded for absolute symlink targets.
// Errors are thrown as rlog::Error.
class NameIO {
public:
    using Constructor = std::shared_ptr<NameIO> (*)(const rel::Interface& iface,
                                                    const std::shared_ptr<Cipher>& cipher,
                                                    const CipherKey& key);

    struct Algorithm {
        std::string name;
        std::string description;
        rel::Interface iface;
    };

    static std::list<Algorithm> GetAlgorithmList(bool includeHidden = false);
    static std::shared_ptr<NameIO> New(const std::string& name,
                                       const std::shared_ptr<Cipher>& cipher, const CipherKey& key);
    static std::shared_ptr<NameIO> New(const rel::Interface& iface,
                                       const std::shared_ptr<Cipher>& cipher, const CipherKey& key);
    static bool Register(const char* name, const char* description, const rel::Interface& iface,
                         Constructor constructor, bool hidden = false);

    NameIO();
    NameIO(const NameIO&) = delete;
    NameIO& operator=(const NameIO&) = delete;
    virtual ~NameIO();

    virtual rel::Interface interface() const = 0;

    void setChainedNameIV(bool enable);
    bool getChainedNameIV() const;
    void setReverseEncryption(bool enable);
    bool getReverseEncryption() const;

    // The path without its leading slashes, each component checked by the length rule.
    std::string encodePath(const std::string& plaintextPath) const;
    std::string encodePath(const std::string& plaintextPath, uint64_t* iv) const;
    std::string decodePath(const std::string& encodedPath) const;
    std::string decodePath(const std::string& encodedPath, uint64_t* iv) const;

    // One name, coded (decoded when reverse encryption is set).
    std::string encodeName(const char* plaintextName, int length) const;
    std::string decodeName(const char* encodedName, int length) const;

    virtual int maxEncodedNameLen(int plaintextNameLen) const = 0;
    virtual int maxDecodedNameLen(int encodedNameLen) const = 0;

    // Raw coders: out receives the coded bytes, the result is their count.
    virtual int encodeName(const char* plaintextName, int length, char* encodedName) const;
    virtual int decodeName(const char* encodedName, int length, char* plaintextName) const;
    virtual int encodeName(const char* plaintextName, int length, uint64_t* iv,
                           char* encodedName) const = 0;
    virtual int decodeName(const char* encodedName, int length, uint64_t* iv,
                           char* plaintextName) const = 0;

private:
    enum class LengthRule { Encoded, Decoded };
    std::string recodePath(const std::string& path, LengthRule rule) const;
    std::string _encodeName(const char* name, int length) const;
    std::string _decodeName(const char* name, int length) const;

    bool chainedNameIV = false;
    bool reverseEncryption = false;
};
