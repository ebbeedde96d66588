#pragma once

#include "tvl_aes.h"

namespace tvlkey {

// Holds a key's own lock for one operation on its contexts.
class KeyLock {
public:
    explicit KeyLock(aes_key* key) : key_(key) { pthread_mutex_lock(&key_->lock); }
    KeyLock(const KeyLock&) = delete;
    KeyLock& operator=(const KeyLock&) = delete;
    ~KeyLock() { pthread_mutex_unlock(&key_->lock); }

private:
    aes_key* key_;
};

constexpr int kKeyBytes = 32;
constexpr int kIvBytes = 16;
constexpr int kKeyMaterialBytes = kKeyBytes + kIvBytes;
constexpr int kEncodedKeyBytes = 4 + kKeyMaterialBytes;

// Stream, block and wrapping operations accept only the 32/16 keys the library makes.
inline bool isAes256Key(const aes_key* key)
{
    return key != nullptr && key->keySize == kKeyBytes && key->ivLength == kIvBytes &&
           key->buffer != nullptr;
}

}  // namespace tvlkey
