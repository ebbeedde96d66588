#include "StreamNameIO.h"

rel::Interface StreamNameIO::CurrentInterface() { return rel::Interface("nameio/stream", 2, 1, 2); }

std::shared_ptr<NameIO> NewStreamNameIO(const rel::Interface& iface,
                                        const std::shared_ptr<Cipher>& cipher,
                                        const CipherKey& key) {
    return std::make_shared<StreamNameIO>(iface, cipher, key);
}

StreamNameIO::StreamNameIO(const rel::Interface& iface, const std::shared_ptr<Cipher>& cipher,
                           const CipherKey& key)
    : _interface(iface.current()), _cipher(cipher), _key(key) {}

StreamNameIO::~StreamNameIO() = default;

rel::Interface StreamNameIO::interface() const { return CurrentInterface(); }

int StreamNameIO::maxEncodedNameLen(int plaintextNameLen) const {
    return ((plaintextNameLen + 2) * 8 + 5) / 6;
}

int StreamNameIO::maxDecodedNameLen(int encodedNameLen) const { return 6 * encodedNameLen / 8 - 2; }

int StreamNameIO::encodeName(const char*, int, uint64_t*, char*) const { return 0; }

int StreamNameIO::decodeName(const char*, int, uint64_t*, char*) const { return 0; }
