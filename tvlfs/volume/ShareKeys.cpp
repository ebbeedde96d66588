// Share keys of the running volume: export, load, check and remove by id.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <openssl/crypto.h>

#include "Assert.h"
#include "Cipher.h"
#include "CurrentVolume.h"
#include "FSConfig.h"
#include "ShareKeyTransport.h"
#include "VolumeConfig.h"
#include "base64.h"
#include "tvlfs.h"

namespace {

constexpr int kKeySizeBits = 256;

std::shared_ptr<Cipher> shareKeyCipher() {
    return Cipher::New(findCipherAlgorithm("AES", kKeySizeBits).name, kKeySizeBits);
}

}  // namespace

extern "C" int tvlfs_get_shek(char** shekId, char** shek) {
    std::shared_ptr<FSConfig> config = currentFSConfig();
    if (!config) {
        rError("Failed to load file system config");
        return -1;
    }
    try {
        std::string text = encodeShareKey(config->shareKey, config->shareKeyId);
        if (!text.empty()) {
            *shek = strdup(text.c_str());
            *shekId = strdup(config->shareKeyId.c_str());
            return 0;
        }
    } catch (const rlog::Error&) {
    }
    rError("Failed to b64 encode share key");
    return -1;
}

extern "C" int tvlfs_load_shek(const char* shekId, const char* shek) {
    std::shared_ptr<FSConfig> config = currentFSConfig();
    if (!config) {
        rError("Failed to load file system config");
        return -1;
    }
    if (shekId == nullptr || shek == nullptr) return -1;
    std::shared_ptr<Cipher> cipher = shareKeyCipher();
    unsigned char* decoded = nullptr;
    int length = base64_decode(shek, static_cast<int>(strlen(shek)), &decoded);
    auto release = [&] {
        if (decoded) {
            if (length > 0) OPENSSL_cleanse(decoded, static_cast<std::size_t>(length));
            free(decoded);
        }
    };
    // Shorter input than an encoded key would make the decoder read past the decoded bytes.
    if (length <= 0 || !cipher || length < cipher->encodedKeySize()) {
        rError("Failed to decode shek");
        release();
        return -1;
    }
    CipherKey key;
    try {
        CipherKey wrappingKey = cipher->newKey(reinterpret_cast<const unsigned char*>(shekId),
                                               static_cast<int>(strlen(shekId)));
        if (!wrappingKey) {
            rError("Failed to derive shek decryption key");
            release();
            return -1;
        }
        key = cipher->readKey(decoded, wrappingKey, true);
    } catch (const rlog::Error&) {
        key.reset();
    }
    release();
    if (!key) {
        rError("Failed to decrypt shared shek");
        return -1;
    }
    auto slot = std::make_shared<KeySlot>();
    slot->key = key;
    config->putKey(shekId, slot);
    return 0;
}

extern "C" int tvlfs_remove_shek(const char* shekId) {
    std::shared_ptr<FSConfig> config = currentFSConfig();
    if (!config || shekId == nullptr) {
        rError("Failed to load file system config");
        return -1;
    }
    config->eraseKey(shekId);
    return 0;
}

extern "C" int tvlfs_remove_all_sheks(void) {
    std::shared_ptr<FSConfig> config = currentFSConfig();
    if (!config) {
        rError("Failed to load file system config");
        return -1;
    }
    config->eraseAllKeys();
    return 0;
}

extern "C" bool tvlfs_is_dek_loaded(const char* keyId) {
    std::shared_ptr<FSConfig> config = currentFSConfig();
    if (!config || keyId == nullptr) {
        rError("Failed to get file system context");
        return false;
    }
    return config->lookupKey(keyId) != nullptr;
}
