#pragma once

#include "NameIO.h"

extern const rel::Interface NNIOIface;

std::shared_ptr<NameIO> NewNNIO(const rel::Interface& iface, const std::shared_ptr<Cipher>& cipher,
                                const CipherKey& key);

// Names stored as they are.
class NullNameIO : public NameIO {
public:
    NullNameIO();
    ~NullNameIO() override;

    using NameIO::decodeName;
    using NameIO::encodeName;

    rel::Interface interface() const override;
    int maxEncodedNameLen(int plaintextNameLen) const override;
    int maxDecodedNameLen(int encodedNameLen) const override;
    int encodeName(const char* plaintextName, int length, uint64_t* iv,
                   char* encodedName) const override;
    int decodeName(const char* encodedName, int length, uint64_t* iv,
                   char* plaintextName) const override;
};
