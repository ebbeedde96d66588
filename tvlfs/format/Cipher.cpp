#include "Cipher.h"

#include <map>

#include "NullCipher.h"
#include "SSL_Cipher.h"

namespace {

struct CipherRegistration {
    std::string description;
    rel::Interface iface;
    Range keyLength;
    Range blockSize;
    Cipher::CipherConstructor constructor;
    bool hidden;
};

// Ordered byte-wise by name; one name may be registered twice.
using CipherRegistry = std::multimap<std::string, CipherRegistration>;

CipherRegistry makeRegistryWithBuiltins() {
    CipherRegistry registry;
    registry.emplace("AES", CipherRegistration{"16 byte block cipher", AESInterface,
                                               Range(128, 256, 64), Range(64, 4096, 16),
                                               &NewAESCipher, false});
    registry.emplace("Blowfish", CipherRegistration{"8 byte block cipher", BlowfishInterface,
                                                    Range(128, 256, 32), Range(64, 4096, 8),
                                                    &NewBFCipher, false});
    registry.emplace("Null", CipherRegistration{"Non encrypting cipher.  For testing only!",
                                                NullInterface, Range(0, 0, 1), Range(1, 4096, 1),
                                                &NewNullCipher, true});
    return registry;
}

// Filled with the built-in ciphers before the first lookup or registration can see it.
CipherRegistry& registry() {
    static CipherRegistry instance = makeRegistryWithBuiltins();
    return instance;
}

}  // namespace

Cipher::~Cipher() = default;

std::list<Cipher::CipherAlgorithm> Cipher::GetAlgorithmList(bool includeHidden) {
    std::list<CipherAlgorithm> result;
    for (const auto& [name, entry] : registry()) {
        if (entry.hidden && !includeHidden) continue;
        result.push_back({name, entry.description, entry.iface, entry.keyLength, entry.blockSize});
    }
    return result;
}

std::shared_ptr<Cipher> Cipher::New(const std::string& name, int keyLenBits) {
    auto it = registry().find(name);
    if (it == registry().end()) return nullptr;
    return it->second.constructor(it->second.iface, keyLenBits);
}

std::shared_ptr<Cipher> Cipher::New(const rel::Interface& iface, int keyLenBits) {
    for (const auto& [name, entry] : registry()) {
        if (entry.iface.implements(iface)) return entry.constructor(iface, keyLenBits);
    }
    return nullptr;
}

bool Cipher::Register(const char* name, const char* description, const rel::Interface& iface,
                      CipherConstructor constructor, bool hidden) {
    return Register(name, description, iface, Range(), Range(), constructor, hidden);
}

bool Cipher::Register(const char* name, const char* description, const rel::Interface& iface,
                      const Range& keyLength, const Range& blockSize,
                      CipherConstructor constructor, bool hidden) {
    registry().emplace(name, CipherRegistration{description, iface, keyLength, blockSize,
                                                constructor, hidden});
    return true;
}

unsigned int Cipher::MAC_32(const unsigned char* data, int length, const CipherKey& key,
                            uint64_t* chainedIV) const {
    const uint64_t mac = MAC_64(data, length, key, chainedIV);
    return static_cast<unsigned int>((mac >> 32) ^ (mac & 0xffffffffu));
}

unsigned int Cipher::MAC_16(const unsigned char* data, int length, const CipherKey& key,
                            uint64_t* chainedIV) const {
    const unsigned int mac = MAC_32(data, length, key, chainedIV);
    return ((mac >> 16) ^ mac) & 0xffffu;
}

bool Cipher::nameEncode(unsigned char* buffer, int size, uint64_t iv64, const CipherKey& key) const {
    return streamEncode(buffer, size, iv64, key);
}

bool Cipher::nameDecode(unsigned char* buffer, int size, uint64_t iv64, const CipherKey& key) const {
    return streamDecode(buffer, size, iv64, key);
}
