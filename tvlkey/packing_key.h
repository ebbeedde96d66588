#pragma once

#include "openssl_handles.h"
#include "text_buffers.h"

namespace tvlkey {

// Wraps the access key (a new random one when generate is set) under the password key.
int generate_wrapped_access_key(const char* password, const KeySalt& salt, KeyPtr& ak,
                                bool generate, Wrapping& wrappedAk);

// Opens the access key from wrappedAk and wraps the packing key (a new random one when generate
// is set) under it.
int generate_wrapped_packing_key(const Wrapping& wrappedAk, const char* password,
                                 const KeySalt& salt, KeyPtr& pk, bool generate,
                                 Wrapping& wrappedPk);

KeyPtr unwrap_packing_key(const Wrapping& wrappedAk, const Wrapping& wrappedPk,
                          const char* password, const KeySalt& salt);

// The packing key from the account's Base64 texts, served from the cache when it holds them.
KeyPtr unwrap_packing_key_b64(const char* wrappedAk, const char* wrappedPk, const char* password,
                              const char* keySalt);

// As unwrap_packing_key_b64, refusing missing wrapped texts: how every operation on an existing
// account begins.
KeyPtr accountPackingKey(const char* password, const char* keySalt, const char* wrappedAk,
                         const char* wrappedPk);

// The wrapping as the Base64 text that leaves the library.
TextPtr encodeWrapping(const Wrapping& wrapping);

}  // namespace tvlkey
