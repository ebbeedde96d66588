// Second ways to the packing key: the recovery code and the service-held reset key.
#include "tvl_keygen.h"

#include "packing_key.h"
#include "tvl_b16.h"

#include <climits>
#include <cstdio>
#include <cstring>

using namespace tvlkey;

namespace {

constexpr char kRecoveryAlphabet[] = "0123456789ABCDEFGHIJKLMNPQRSTUVWXYZ";
constexpr uint64_t kRecoveryAlphabetSize = sizeof kRecoveryAlphabet - 1;

KeyPtr recoveryKey(const char* recoveryCode)
{
    return KeyPtr(newKey(reinterpret_cast<const unsigned char*>(recoveryCode),
                         static_cast<int>(strlen(recoveryCode))));
}

// MAC_64 of the key's own key bytes, least significant byte first, as 16 hex digits.
TextPtr recoveryKeyId(aes_key* key)
{
    const uint64_t mac = MAC_64(getKeyData(key), keySize(key), key, nullptr);
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(mac >> (8 * i));
    char* text = nullptr;
    if (base16_encode(bytes, sizeof bytes, &text, 0) < 0)
        return nullptr;
    return TextPtr(text);
}

TextPtr wrapUnder(aes_key* key, aes_key* wrappingKey)
{
    Wrapping wrapping;
    if (writeKey(key, wrapping.data(), wrappingKey) != 0)
        return nullptr;
    return encodeWrapping(wrapping);
}

// The reset key arrives as Base64; its decoded bytes are the material of the wrapping key.
KeyPtr resetWrappingKey(const char* resetKey)
{
    const auto material = decodeBase64(resetKey, "reset key");
    if (!material)
        return nullptr;
    return KeyPtr(newKey(material->data(), material->length()));
}

}  // namespace

extern "C" int gen_random_string(char* area, int length)
{
    if (area == nullptr || length < 1 || length > INT_MAX / 4)
        return -1;
    SecureBuffer randomBytes(4 * static_cast<std::size_t>(length));
    if (!randomize(randomBytes.data(), randomBytes.length()))
        return -1;
    for (int i = 0; i < length - 1; ++i) {
        int32_t group = 0;
        memcpy(&group, randomBytes.data() + 4 * i, sizeof group);
        // Sign-extended first, as codes already issued were drawn.
        const auto index = static_cast<uint64_t>(static_cast<int64_t>(group)) % kRecoveryAlphabetSize;
        area[i] = kRecoveryAlphabet[index];
    }
    area[length - 1] = '\0';
    return 0;
}

extern "C" int get_recovery_key_id(const char* recovery_code, char** key_id)
{
    if (recovery_code == nullptr || key_id == nullptr)
        return -1;
    const KeyPtr key = recoveryKey(recovery_code);
    TextPtr id = key ? recoveryKeyId(key.get()) : nullptr;
    if (!id)
        return -1;
    *key_id = id.release();
    return 0;
}

extern "C" int wrap_pk_for_recovery(const char* password, const char* key_salt,
                                    const char* wrapped_ak, const char* wrapped_pk,
                                    const char* recovery_code, char** recovery_key, char** key_id)
{
    if (recovery_code == nullptr || recovery_key == nullptr || key_id == nullptr)
        return -1;
    const KeyPtr pk = unwrap_packing_key_b64(wrapped_ak, wrapped_pk, password, key_salt);
    if (!pk)
        return -1;
    const KeyPtr key = recoveryKey(recovery_code);
    if (!key)
        return -1;
    TextPtr id = recoveryKeyId(key.get());
    TextPtr wrapped = wrapUnder(pk.get(), key.get());
    if (!id || !wrapped)
        return -1;
    *recovery_key = wrapped.release();
    *key_id = id.release();
    return 0;
}

extern "C" int generate_reset_pk(const char* password, const char* key_salt,
                                 const char* reset_key, const char* wrapped_ak,
                                 const char* wrapped_pk, char** reset_pk)
{
    if (reset_pk == nullptr)
        return -1;
    const KeyPtr pk = unwrap_packing_key_b64(wrapped_ak, wrapped_pk, password, key_salt);
    if (!pk)
        return -1;
    const KeyPtr wrappingKey = resetWrappingKey(reset_key);
    TextPtr wrapped = wrappingKey ? wrapUnder(pk.get(), wrappingKey.get()) : nullptr;
    if (!wrapped)
        return -1;
    *reset_pk = wrapped.release();
    return 0;
}

extern "C" int reset_user_data(const char* password, const char* key_salt, const char* reset_key,
                               const char* reset_pk, char** wrapped_ak, char** wrapped_pk)
{
    if (password == nullptr || wrapped_ak == nullptr || wrapped_pk == nullptr)
        return -1;
    const auto resetWrapping = decodeWrapping(reset_pk, "reset_pk");
    const auto salt = decodeKeySalt(key_salt);
    const KeyPtr wrappingKey = resetWrappingKey(reset_key);
    if (!resetWrapping || !salt || !wrappingKey)
        return -1;
    KeyPtr pk(readKey(resetWrapping->data(), wrappingKey.get(), 1));
    if (!pk)
        return -1;
    // A new access key for the new password; the packing key, and so the blob, stay as they are.
    KeyPtr ak;
    Wrapping newWrappedAk;
    Wrapping newWrappedPk;
    if (generate_wrapped_access_key(password, *salt, ak, true, newWrappedAk) != 0 ||
        generate_wrapped_packing_key(newWrappedAk, password, *salt, pk, false, newWrappedPk) != 0)
        return -1;
    TextPtr akText = encodeWrapping(newWrappedAk);
    TextPtr pkText = encodeWrapping(newWrappedPk);
    if (!akText || !pkText)
        return -1;
    *wrapped_ak = akText.release();
    *wrapped_pk = pkText.release();
    return 0;
}
