#pragma once

#include <memory>
#include <string>

class FSConfig;

// The key set a key file holds: the `keygen` lines and an optional owner id.
struct KeySet {
    std::string userKey;     // Base64 of the user key-encryption key
    std::string shareKey;    // Base64 of the share key
    std::string shareKeyId;  // UUID text
    std::string ownerId;     // recorded as the user id of new headers
};

// Reads "name: value" lines; false with a message naming the file and the problem.
bool readKeyFile(const std::string& path, KeySet& keys, std::string& error);

// The volume configuration a mount would build from these keys (AES-256, 512-byte blocks,
// holes allowed, current header version); empty with a message when a key does not decode.
std::shared_ptr<FSConfig> makeVolumeConfig(const KeySet& keys, std::string& error);

// readKeyFile, then makeVolumeConfig.
std::shared_ptr<FSConfig> loadVolumeConfig(const std::string& keysPath, std::string& error);
