#include "packing_key.h"

#include "key_cache.h"

#include <cstdio>
#include <cstring>

namespace tvlkey {
namespace {

KeyPtr passwordKey(const char* password, const KeySalt& salt)
{
    return KeyPtr(newKeyWithSalt(reinterpret_cast<const unsigned char*>(password),
                                 static_cast<int>(strlen(password)), salt.data()));
}

}  // namespace

int generate_wrapped_access_key(const char* password, const KeySalt& salt, KeyPtr& ak,
                                bool generate, Wrapping& wrappedAk)
{
    if (password == nullptr)
        return -1;
    if (generate)
        ak.reset(newRandomKey());
    if (!ak)
        return -1;
    const KeyPtr wrappingKey = passwordKey(password, salt);
    if (!wrappingKey)
        return -1;
    return writeKey(ak.get(), wrappedAk.data(), wrappingKey.get());
}

int generate_wrapped_packing_key(const Wrapping& wrappedAk, const char* password,
                                 const KeySalt& salt, KeyPtr& pk, bool generate,
                                 Wrapping& wrappedPk)
{
    if (password == nullptr)
        return -1;
    const KeyPtr wrappingKey = passwordKey(password, salt);
    if (!wrappingKey)
        return -1;
    const KeyPtr ak(readKey(wrappedAk.data(), wrappingKey.get(), 1));
    if (!ak)
        return -1;
    if (generate)
        pk.reset(newRandomKey());
    if (!pk)
        return -1;
    return writeKey(pk.get(), wrappedPk.data(), ak.get());
}

KeyPtr unwrap_packing_key(const Wrapping& wrappedAk, const Wrapping& wrappedPk,
                          const char* password, const KeySalt& salt)
{
    if (password == nullptr)
        return nullptr;
    const KeyPtr wrappingKey = passwordKey(password, salt);
    if (!wrappingKey)
        return nullptr;
    const KeyPtr ak(readKey(wrappedAk.data(), wrappingKey.get(), 1));
    if (!ak)
        return nullptr;
    return KeyPtr(readKey(wrappedPk.data(), ak.get(), 1));
}

KeyPtr unwrap_packing_key_b64(const char* wrappedAk, const char* wrappedPk, const char* password,
                              const char* keySalt)
{
    if (KeyPtr cached = cached_packing_key(password, wrappedAk, wrappedPk, keySalt))
        return cached;
    const auto ak = decodeWrapping(wrappedAk, "wrapped_ak");
    const auto pkWrapping = decodeWrapping(wrappedPk, "wrapped_pk");
    const auto salt = decodeKeySalt(keySalt);
    if (!ak || !pkWrapping || !salt)
        return nullptr;
    KeyPtr pk = unwrap_packing_key(*ak, *pkWrapping, password, *salt);
    if (pk)
        save_keys_to_cache(password, wrappedAk, wrappedPk, keySalt, pk.get());
    return pk;
}

KeyPtr accountPackingKey(const char* password, const char* keySalt, const char* wrappedAk,
                         const char* wrappedPk)
{
    if (isMissing(wrappedAk) || isMissing(wrappedPk)) {
        puts("Missing wrapped access or packing key");
        return nullptr;
    }
    return unwrap_packing_key_b64(wrappedAk, wrappedPk, password, keySalt);
}

TextPtr encodeWrapping(const Wrapping& wrapping)
{
    return encodeBase64(wrapping.data(), wrapping.size());
}

}  // namespace tvlkey
