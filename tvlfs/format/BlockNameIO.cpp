#include "BlockNameIO.h"

#include <cstring>
#include <vector>

#include "Assert.h"
#include "base64.h"

namespace {

constexpr int MacBytes = 2;
constexpr int DefaultBlockSize = 8;

}  // namespace

rel::Interface BlockNameIO::CurrentInterface() { return rel::Interface("nameio/block", 3, 0, 1); }

std::shared_ptr<NameIO> NewBlockNameIO(const rel::Interface& iface,
                                       const std::shared_ptr<Cipher>& cipher, const CipherKey& key) {
    return std::make_shared<BlockNameIO>(iface, cipher, key);
}

BlockNameIO::BlockNameIO(const rel::Interface& iface, const std::shared_ptr<Cipher>& cipher,
                         const CipherKey& key)
    : _interface(iface.current()),
      _bs(cipher ? cipher->cipherBlockSize() : DefaultBlockSize),
      _cipher(cipher),
      _key(key) {
    const int blockSize = _bs;
    rAssert(blockSize < 128);
}

BlockNameIO::~BlockNameIO() = default;

rel::Interface BlockNameIO::interface() const { return CurrentInterface(); }

int BlockNameIO::maxEncodedNameLen(int plaintextNameLen) const {
    const int blocks = (plaintextNameLen + _bs) / _bs;
    return ((blocks * _bs + MacBytes) * 8 + 5) / 6;
}

int BlockNameIO::maxDecodedNameLen(int encodedNameLen) const {
    return 6 * encodedNameLen / 8 - MacBytes;
}

int BlockNameIO::encodeName(const char* plaintextName, int length, uint64_t* iv,
                            char* encodedName) const {
    unsigned char* out = reinterpret_cast<unsigned char*>(encodedName);
    const int padding = _bs - length % _bs;
    std::memcpy(out + MacBytes, plaintextName, static_cast<size_t>(length));
    std::memset(out + MacBytes + length, padding, static_cast<size_t>(padding));
    const int codedLength = length + padding;

    const uint64_t seed = (iv != nullptr && _interface >= 3) ? *iv : 0;
    const unsigned int mac = _cipher->MAC_16(out + MacBytes, codedLength, _key, iv);
    out[0] = static_cast<unsigned char>((mac >> 8) & 0xff);
    out[1] = static_cast<unsigned char>(mac & 0xff);

    _cipher->blockEncode(out + MacBytes, codedLength, seed ^ mac, _key);

    const int byteLength = codedLength + MacBytes;
    const int encodedLength = (byteLength * 8 + 5) / 6;
    changeBase2Inline(out, byteLength, 8, 6, true);
    B64ToAscii(out, encodedLength);
    return encodedLength;
}

int BlockNameIO::decodeName(const char* encodedName, int length, uint64_t* iv,
                            char* plaintextName) const {
    const int decodedLength = 6 * length / 8 - MacBytes;
    if (decodedLength < _bs) throw ERROR("Filename too small to decode");

    std::vector<unsigned char> bytes(encodedName, encodedName + length);
    AsciiToB64(bytes.data(), length);
    changeBase2Inline(bytes.data(), length, 6, 8, false);
    const unsigned int mac = (static_cast<unsigned int>(bytes[0]) << 8) | bytes[1];
    const uint64_t seed = (iv != nullptr && _interface >= 3) ? *iv : 0;

    unsigned char* coded = bytes.data() + MacBytes;
    _cipher->blockDecode(coded, decodedLength, seed ^ mac, _key);
    const int padding = coded[decodedLength - 1];
    const int finalSize = decodedLength - padding;
    if (padding > _bs || finalSize < 0) {
        rDebug("padding, _bx, finalSize = %i, %i, %i", padding, _bs, finalSize);
        throw ERROR("invalid padding size");
    }
    std::memcpy(plaintextName, coded, static_cast<size_t>(finalSize));
    plaintextName[finalSize] = '\0';

    const unsigned int mac2 = _cipher->MAC_16(coded, decodedLength, _key, iv);
    if (mac2 != mac) {
        rDebug("checksum mismatch: expected %u, got %u", mac, mac2);
        rDebug("on decode of %i bytes", finalSize);
        throw ERROR("checksum mismatch in filename decode");
    }
    return finalSize;
}
