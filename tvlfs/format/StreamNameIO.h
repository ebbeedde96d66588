#pragma once

#include "NameIO.h"

std::shared_ptr<NameIO> NewStreamNameIO(const rel::Interface& iface,
                                        const std::shared_ptr<Cipher>& cipher,
                                        const CipherKey& key);

// Kept for its identity and length rules; it codes every name to nothing.
class StreamNameIO : public NameIO {
public:
    static rel::Interface CurrentInterface();

    StreamNameIO(const rel::Interface& iface, const std::shared_ptr<Cipher>& cipher,
                 const CipherKey& key);
    ~StreamNameIO() override;

    using NameIO::decodeName;
    using NameIO::encodeName;

    rel::Interface interface() const override;
    int maxEncodedNameLen(int plaintextNameLen) const override;
    int maxDecodedNameLen(int encodedNameLen) const override;
    int encodeName(const char* plaintextName, int length, uint64_t* iv,
                   char* encodedName) const override;
    int decodeName(const char* encodedName, int length, uint64_t* iv,
                   char* plaintextName) const override;

private:
    int _interface;
    std::shared_ptr<Cipher> _cipher;
    CipherKey _key;
};
