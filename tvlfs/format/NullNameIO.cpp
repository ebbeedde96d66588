#include "NullNameIO.h"

#include <cstring>

const rel::Interface NNIOIface("nameio/null", 1, 0, 0);

std::shared_ptr<NameIO> NewNNIO(const rel::Interface&, const std::shared_ptr<Cipher>&,
                                const CipherKey&) {
    return std::make_shared<NullNameIO>();
}

NullNameIO::NullNameIO() = default;

NullNameIO::~NullNameIO() = default;

rel::Interface NullNameIO::interface() const { return NNIOIface; }

int NullNameIO::maxEncodedNameLen(int plaintextNameLen) const { return plaintextNameLen; }

int NullNameIO::maxDecodedNameLen(int encodedNameLen) const { return encodedNameLen; }

int NullNameIO::encodeName(const char* plaintextName, int length, uint64_t*, char* encodedName) const {
    std::memcpy(encodedName, plaintextName, static_cast<size_t>(length));
    return length;
}

int NullNameIO::decodeName(const char* encodedName, int length, uint64_t*, char* plaintextName) const {
    std::memcpy(plaintextName, encodedName, static_cast<size_t>(length));
    return length;
}
