#include "FSConfig.h"

FSConfig::FSConfig() = default;

KeySlotHandle FSConfig::lookupKey(const std::string& id) const {
    Lock lock(keyLock);
    auto it = keys.find(id);
    return it == keys.end() ? nullptr : it->second;
}

void FSConfig::putKey(const std::string& id, KeySlotHandle slot) {
    Lock lock(keyLock);
    keys.emplace(id, std::move(slot));
}

void FSConfig::eraseKey(const std::string& id) {
    Lock lock(keyLock);
    keys.erase(id);
}

void FSConfig::eraseAllKeys() {
    Lock lock(keyLock);
    keys.clear();
    keys.emplace(volumeKeyId, std::make_shared<KeySlot>(KeySlot{volumeKey}));
}

std::size_t FSConfig::keyCount() const {
    Lock lock(keyLock);
    return keys.size();
}
