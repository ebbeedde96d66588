#pragma once

#include "openssl_handles.h"

namespace tvlkey {

// The process-wide cache of the last unwrapped packing key, keyed by the four texts it came
// from. Sign-in and share loading use it from different threads, so one lock guards it.

// A copy of the cached packing key when the cache is enabled and holds these four texts.
KeyPtr cached_packing_key(const char* password, const char* wrappedAk, const char* wrappedPk,
                          const char* keySalt);
// Replaces the entry, when the cache is enabled.
void save_keys_to_cache(const char* password, const char* wrappedAk, const char* wrappedPk,
                        const char* keySalt, aes_key* pk);

}  // namespace tvlkey
