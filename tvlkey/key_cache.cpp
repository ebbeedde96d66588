#include "key_cache.h"

#include "text_buffers.h"
#include "tvl_keygen.h"

#include <cstring>
#include <mutex>

namespace tvlkey {
namespace {

struct KeyCache {
    std::mutex lock;
    bool enabled = false;
    char* passphrase = nullptr;
    char* wrappedAk = nullptr;
    char* wrappedPk = nullptr;
    char* keySalt = nullptr;
    KeyPtr pk;

    // Expects the lock to be held.
    void clear()
    {
        for (char** text : {&passphrase, &wrappedAk, &wrappedPk, &keySalt})
            free_and_null_str(text);
        pk.reset();
    }
};

// Never destroyed: releasing the cached key's OpenSSL contexts at exit could follow OpenSSL's
// own clean-up.
KeyCache& keyCache()
{
    static KeyCache& cache = *new KeyCache;
    return cache;
}

bool sameText(const char* cached, const char* given)
{
    return cached != nullptr && given != nullptr && strcmp(cached, given) == 0;
}

// Expects the lock to be held.
bool keys_match_cache(const KeyCache& cache, const char* password, const char* wrappedAk,
                      const char* wrappedPk, const char* keySalt)
{
    return cache.pk != nullptr && sameText(cache.passphrase, password) &&
           sameText(cache.wrappedAk, wrappedAk) && sameText(cache.wrappedPk, wrappedPk) &&
           sameText(cache.keySalt, keySalt);
}

}  // namespace

KeyPtr cached_packing_key(const char* password, const char* wrappedAk, const char* wrappedPk,
                          const char* keySalt)
{
    KeyCache& cache = keyCache();
    std::lock_guard guard(cache.lock);
    if (!cache.enabled || !keys_match_cache(cache, password, wrappedAk, wrappedPk, keySalt))
        return nullptr;
    return KeyPtr(copyKey(cache.pk.get()));
}

void save_keys_to_cache(const char* password, const char* wrappedAk, const char* wrappedPk,
                        const char* keySalt, aes_key* pk)
{
    KeyCache& cache = keyCache();
    std::lock_guard guard(cache.lock);
    if (!cache.enabled)
        return;
    cache.clear();
    KeyPtr copy(copyKey(pk));
    TextPtr passphrase = copyText(password);
    TextPtr ak = copyText(wrappedAk);
    TextPtr pkText = copyText(wrappedPk);
    TextPtr salt = copyText(keySalt);
    if (!copy || !passphrase || !ak || !pkText || !salt)
        return;
    cache.pk = std::move(copy);
    cache.passphrase = passphrase.release();
    cache.wrappedAk = ak.release();
    cache.wrappedPk = pkText.release();
    cache.keySalt = salt.release();
}

}  // namespace tvlkey

extern "C" void enable_cached_keys(void)
{
    tvlkey::KeyCache& cache = tvlkey::keyCache();
    std::lock_guard guard(cache.lock);
    cache.clear();
    cache.enabled = true;
}

extern "C" void disable_cached_keys(void)
{
    tvlkey::KeyCache& cache = tvlkey::keyCache();
    std::lock_guard guard(cache.lock);
    cache.enabled = false;
    cache.clear();
}
