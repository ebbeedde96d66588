#include "NullCipher.h"

#include <cstring>

const rel::Interface NullInterface("nullCipher", 1, 0, 0);

namespace {

class NullKey : public AbstractCipherKey {};

// One key object stands for every Null-cipher key.
const CipherKey gNullKey = std::make_shared<NullKey>();

}  // namespace

std::shared_ptr<Cipher> NewNullCipher(const rel::Interface& iface, int) {
    return std::make_shared<NullCipher>(iface);
}

NullCipher::NullCipher(const rel::Interface& iface_) : iface(iface_) {}

NullCipher::~NullCipher() = default;

rel::Interface NullCipher::interface() const { return iface; }

CipherKey NullCipher::newKey(const char*, int, int&, long, const unsigned char*, int) { return gNullKey; }

CipherKey NullCipher::newKey(const char*, int) { return gNullKey; }

CipherKey NullCipher::newKey(const unsigned char*, int) { return gNullKey; }

CipherKey NullCipher::newRandomKey() { return gNullKey; }

CipherKey NullCipher::readKey(const unsigned char*, const CipherKey&, bool) { return gNullKey; }

void NullCipher::writeKey(const CipherKey&, unsigned char*, const CipherKey&) {}

std::string NullCipher::encodeAsString(const CipherKey&, const CipherKey&) { return {}; }

bool NullCipher::compareKey(const CipherKey& a, const CipherKey& b) const {
    return a && a == b && std::dynamic_pointer_cast<NullKey>(a) != nullptr;
}

int NullCipher::keySize() const { return 0; }

int NullCipher::encodedKeySize() const { return 0; }

int NullCipher::cipherBlockSize() const { return 1; }

bool NullCipher::randomize(unsigned char* buffer, int length, bool) const {
    std::memset(buffer, 0, static_cast<size_t>(length));
    return true;
}

uint64_t NullCipher::MAC_64(const unsigned char*, int, const CipherKey&, uint64_t*) const { return 0; }

bool NullCipher::streamEncode(unsigned char*, int, uint64_t, const CipherKey&) const { return true; }

bool NullCipher::streamDecode(unsigned char*, int, uint64_t, const CipherKey&) const { return true; }

bool NullCipher::blockEncode(unsigned char*, int, uint64_t, const CipherKey&) const { return true; }

bool NullCipher::blockDecode(unsigned char*, int, uint64_t, const CipherKey&) const { return true; }
