#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "Cipher.h"
#include "CipherKey.h"
#include "KeySlot.h"
#include "Mutex.h"
#include "NameIO.h"
#include "VolumeConfig.h"
#include "VolumeOpts.h"

// The run-time configuration that every file layer of a volume shares, with the key map of
// share keys and other data-encryption keys loaded by id.
class FSConfig {
public:
    FSConfig();
    FSConfig(const FSConfig&) = delete;
    FSConfig& operator=(const FSConfig&) = delete;

    std::shared_ptr<VolumeConfig> config;
    std::shared_ptr<VolumeOpts> opts;
    std::shared_ptr<Cipher> cipher;
    std::string volumeKeyId;
    CipherKey volumeKey;
    CipherKey userKey;
    CipherKey shareKey;
    std::string shareKeyId;
    std::shared_ptr<NameIO> nameCoding;
    bool forceDecode = false;
    bool reverseEncryption = false;
    bool idleTracking = false;

    // The slot registered under id, or an empty handle.
    KeySlotHandle lookupKey(const std::string& id) const;
    // Keeps an existing entry: the first key loaded under an id stays until erased.
    void putKey(const std::string& id, KeySlotHandle slot);
    void eraseKey(const std::string& id);
    // Leaves exactly one entry: volumeKeyId mapped to a new slot holding volumeKey.
    void eraseAllKeys();
    std::size_t keyCount() const;

    // The whole map, copied out and replaced in one step: a remount carries the loaded keys
    // over to the rebuilt volume.
    using KeyMap = std::unordered_map<std::string, KeySlotHandle>;
    KeyMap copyKeys() const {
        Lock lock(keyLock);
        return keys;
    }
    void replaceKeys(const KeyMap& newKeys) {
        Lock lock(keyLock);
        keys = newKeys;
    }

private:
    mutable Mutex keyLock;
    std::unordered_map<std::string, KeySlotHandle> keys;
};
