#include "KeyFile.h"

#include <openssl/crypto.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "FSConfig.h"
#include "NameIO.h"
#include "base64.h"

namespace {

std::string trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Decodes a Base64 key text and derives the cipher key from its bytes, as a mount does.
CipherKey keyFromText(Cipher& cipher, const std::string& text) {
    unsigned char* bytes = nullptr;
    const int length = base64_decode(text.c_str(), static_cast<int>(text.size()), &bytes);
    CipherKey key = length > 0 ? cipher.newKey(bytes, length) : nullptr;
    if (bytes != nullptr) {
        OPENSSL_cleanse(bytes, text.size());
        std::free(bytes);
    }
    return key;
}

}  // namespace

bool readKeyFile(const std::string& path, KeySet& keys, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot read the key file";
        return false;
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (trim(line).empty()) continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            error = path + ": not a key file (expected 'name: value' lines)";
            return false;
        }
        values[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    for (const char* required : {"user-key", "share-key", "share-key-id"}) {
        if (values[required].empty()) {
            error = path + ": missing '" + required + ":' line";
            return false;
        }
    }
    keys.userKey = values["user-key"];
    keys.shareKey = values["share-key"];
    keys.shareKeyId = values["share-key-id"];
    keys.ownerId = values["owner-id"];
    return true;
}

std::shared_ptr<FSConfig> makeVolumeConfig(const KeySet& keys, std::string& error) {
    auto config = std::make_shared<FSConfig>();
    config->config = std::make_shared<VolumeConfig>();
    config->config->ownerID = keys.ownerId;
    config->opts = std::make_shared<VolumeOpts>();
    const Cipher::CipherAlgorithm algorithm = findCipherAlgorithm("AES", config->config->keySize);
    config->cipher = Cipher::New(algorithm.name, config->config->keySize);
    if (!config->cipher) {
        error = "the AES cipher is not available";
        return nullptr;
    }
    config->nameCoding = NameIO::New(config->config->nameIface, config->cipher, nullptr);
    config->volumeKeyId = config->config->volumeKeyID;
    config->shareKeyId = keys.shareKeyId;
    if (!keys.userKey.empty()) {
        config->userKey = keyFromText(*config->cipher, keys.userKey);
        if (!config->userKey) {
            error = "user-key is not valid Base64";
            return nullptr;
        }
    }
    if (!keys.shareKey.empty()) {
        config->shareKey = keyFromText(*config->cipher, keys.shareKey);
        if (!config->shareKey) {
            error = "share-key is not valid Base64";
            return nullptr;
        }
    }
    return config;
}

std::shared_ptr<FSConfig> loadVolumeConfig(const std::string& keysPath, std::string& error) {
    KeySet keys;
    if (!readKeyFile(keysPath, keys, error)) return nullptr;
    std::shared_ptr<FSConfig> config = makeVolumeConfig(keys, error);
    if (!config) error = keysPath + ": " + error;
    return config;
}
