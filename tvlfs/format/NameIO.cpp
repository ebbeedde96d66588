#include "NameIO.h"

#include <map>
#include <vector>

#include "Assert.h"
#include "BlockNameIO.h"
#include "NullNameIO.h"
#include "StreamNameIO.h"

namespace {

struct NameIORegistration {
    std::string description;
    rel::Interface iface;
    NameIO::Constructor constructor;
    bool hidden;
};

using NameIORegistry = std::multimap<std::string, NameIORegistration>;

NameIORegistry makeRegistryWithBuiltins() {
    NameIORegistry registry;
    registry.emplace("Block", NameIORegistration{"Block encoding, hides file name size somewhat",
                                                 BlockNameIO::CurrentInterface(), &NewBlockNameIO,
                                                 false});
    registry.emplace("Null", NameIORegistration{"No encryption of filenames", NNIOIface, &NewNNIO,
                                                false});
    registry.emplace("Stream",
                     NameIORegistration{"Stream encoding, keeps filenames as short as possible",
                                        StreamNameIO::CurrentInterface(), &NewStreamNameIO, false});
    return registry;
}

NameIORegistry& registry() {
    static NameIORegistry instance = makeRegistryWithBuiltins();
    return instance;
}

}  // namespace

std::list<NameIO::Algorithm> NameIO::GetAlgorithmList(bool includeHidden) {
    std::list<Algorithm> result;
    for (const auto& [name, entry] : registry()) {
        if (entry.hidden && !includeHidden) continue;
        result.push_back({name, entry.description, entry.iface});
    }
    return result;
}

std::shared_ptr<NameIO> NameIO::New(const std::string& name, const std::shared_ptr<Cipher>& cipher,
                                    const CipherKey& key) {
    auto it = registry().find(name);
    if (it == registry().end()) return nullptr;
    return it->second.constructor(it->second.iface, cipher, key);
}

std::shared_ptr<NameIO> NameIO::New(const rel::Interface& iface,
                                    const std::shared_ptr<Cipher>& cipher, const CipherKey& key) {
    for (const auto& [name, entry] : registry()) {
        if (entry.iface.implements(iface)) return entry.constructor(iface, cipher, key);
    }
    return nullptr;
}

bool NameIO::Register(const char* name, const char* description, const rel::Interface& iface,
                      Constructor constructor, bool hidden) {
    registry().emplace(name, NameIORegistration{description, iface, constructor, hidden});
    return true;
}

NameIO::NameIO() = default;

NameIO::~NameIO() = default;

void NameIO::setChainedNameIV(bool enable) { chainedNameIV = enable; }

bool NameIO::getChainedNameIV() const { return chainedNameIV; }

void NameIO::setReverseEncryption(bool enable) { reverseEncryption = enable; }

bool NameIO::getReverseEncryption() const { return reverseEncryption; }

std::string NameIO::recodePath(const std::string& path, LengthRule rule) const {
    std::string output;
    std::size_t position = 0;
    while (position < path.size()) {
        if (path[position] == '/') {
            if (!output.empty()) output += '/';
            ++position;
            continue;
        }
        std::size_t end = path.find('/', position);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(position, end - position);
        if (component != "." && component != "..") {
            const int length = static_cast<int>(component.size());
            const int limit =
                rule == LengthRule::Encoded ? maxEncodedNameLen(length) : maxDecodedNameLen(length);
            if (limit <= 0) throw ERROR("Filename too small to decode");
        }
        output += component;
        position = end;
    }
    return output;
}

std::string NameIO::encodePath(const std::string& plaintextPath) const {
    uint64_t iv = 0;
    return encodePath(plaintextPath, &iv);
}

std::string NameIO::encodePath(const std::string& plaintextPath, uint64_t*) const {
    return recodePath(plaintextPath, reverseEncryption ? LengthRule::Decoded : LengthRule::Encoded);
}

std::string NameIO::decodePath(const std::string& encodedPath) const {
    uint64_t iv = 0;
    return decodePath(encodedPath, &iv);
}

std::string NameIO::decodePath(const std::string& encodedPath, uint64_t*) const {
    return recodePath(encodedPath, reverseEncryption ? LengthRule::Encoded : LengthRule::Decoded);
}

std::string NameIO::encodeName(const char* plaintextName, int length) const {
    return reverseEncryption ? _decodeName(plaintextName, length) : _encodeName(plaintextName, length);
}

std::string NameIO::decodeName(const char* encodedName, int length) const {
    return reverseEncryption ? _encodeName(encodedName, length) : _decodeName(encodedName, length);
}

int NameIO::encodeName(const char* plaintextName, int length, char* encodedName) const {
    return encodeName(plaintextName, length, nullptr, encodedName);
}

int NameIO::decodeName(const char* encodedName, int length, char* plaintextName) const {
    return decodeName(encodedName, length, nullptr, plaintextName);
}

std::string NameIO::_encodeName(const char* name, int length) const {
    const int approxLen = maxEncodedNameLen(length);
    std::vector<char> codeBuf(static_cast<size_t>(std::max(approxLen, 0)) + 1, '\0');
    const int codedLen = encodeName(name, length, nullptr, codeBuf.data());
    rAssert(codedLen <= approxLen);
    rAssert(codeBuf[codedLen] == '\0');
    return std::string(codeBuf.data());
}

std::string NameIO::_decodeName(const char* name, int length) const {
    const int approxLen = maxDecodedNameLen(length);
    std::vector<char> codeBuf(static_cast<size_t>(std::max(approxLen, 0)) + 1, '\0');
    const int codedLen = decodeName(name, length, nullptr, codeBuf.data());
    rAssert(codedLen <= approxLen);
    rAssert(codeBuf[codedLen] == '\0');
    return std::string(codeBuf.data());
}
