#pragma once

#include "NameIO.h"

std::shared_ptr<NameIO> NewBlockNameIO(const rel::Interface& iface,
                                       const std::shared_ptr<Cipher>& cipher, const CipherKey& key);

// Names padded to whole cipher blocks, MAC-prefixed, block-coded and written in a 64-character
// alphabet.
class BlockNameIO : public NameIO {
public:
    static rel::Interface CurrentInterface();

    BlockNameIO(const rel::Interface& iface, const std::shared_ptr<Cipher>& cipher,
                const CipherKey& key);
    ~BlockNameIO() override;

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
    int _bs;
    std::shared_ptr<Cipher> _cipher;
    CipherKey _key;
};
