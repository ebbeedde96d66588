#include "ShareKeyTransport.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <openssl/crypto.h>

#include "Assert.h"
#include "Cipher.h"
#include "VolumeConfig.h"
#include "base64.h"

namespace {

constexpr int kKeySizeBits = 256;

std::shared_ptr<Cipher> volumeCipher() {
    return Cipher::New(findCipherAlgorithm("AES", kKeySizeBits).name, kKeySizeBits);
}

std::string takeText(char* text) {
    std::string result = text ? text : "";
    free(text);
    return result;
}

}  // namespace

std::string encodeShareKey(const CipherKey& key, const std::string& shareKeyId) {
    std::shared_ptr<Cipher> cipher = volumeCipher();
    if (!cipher || !key || shareKeyId.empty()) return {};
    CipherKey wrappingKey = cipher->newKey(reinterpret_cast<const unsigned char*>(shareKeyId.data()),
                                           static_cast<int>(shareKeyId.size()));
    if (!wrappingKey) return {};
    std::vector<unsigned char> encoded(static_cast<std::size_t>(cipher->encodedKeySize()));
    cipher->writeKey(key, encoded.data(), wrappingKey);
    char* text = nullptr;
    int length = base64_encode(encoded.data(), static_cast<int>(encoded.size()), &text);
    OPENSSL_cleanse(encoded.data(), encoded.size());
    return length > 0 ? takeText(text) : takeText(nullptr);
}

std::string shareKeyTransportText(const std::string& shareKeyBase64, const std::string& shareKeyId) {
    std::shared_ptr<Cipher> cipher = volumeCipher();
    if (!cipher) return {};
    unsigned char* bytes = nullptr;
    int length = base64_decode(shareKeyBase64.c_str(), static_cast<int>(shareKeyBase64.size()), &bytes);
    CipherKey shareKey;
    if (length > 0) shareKey = cipher->newKey(bytes, length);
    if (bytes) {
        if (length > 0) OPENSSL_cleanse(bytes, static_cast<std::size_t>(length));
        free(bytes);
    }
    return encodeShareKey(shareKey, shareKeyId);
}
