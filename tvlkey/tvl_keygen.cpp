// Creating an account's keys and opening them with the password.
#include "tvl_keygen.h"

#include "blob_access.h"
#include "packing_key.h"

using namespace tvlkey;

extern "C" int generate_user_data(const char* user_id, const char* password, const char* key_salt,
                                  char** key_blob, char** certificate, char** wrapped_ak,
                                  char** wrapped_pk, char** shek_id)
{
    if (user_id == nullptr || password == nullptr || key_blob == nullptr ||
        certificate == nullptr || wrapped_ak == nullptr || wrapped_pk == nullptr ||
        shek_id == nullptr)
        return -1;
    const auto salt = decodeKeySalt(key_salt);
    if (!salt)
        return -1;
    KeyPtr ak;
    Wrapping wrappedAk;
    if (generate_wrapped_access_key(password, *salt, ak, true, wrappedAk) != 0)
        return -1;
    KeyPtr pk;
    Wrapping wrappedPk;
    if (generate_wrapped_packing_key(wrappedAk, password, *salt, pk, true, wrappedPk) != 0)
        return -1;
    TextPtr blobText;
    TextPtr certificateText;
    TextPtr shekId;
    if (generate_user_key_blob(user_id, pk.get(), blobText, certificateText, shekId) != 0)
        return -1;
    TextPtr akText = encodeWrapping(wrappedAk);
    TextPtr pkText = encodeWrapping(wrappedPk);
    if (!akText || !pkText)
        return -1;
    *key_blob = blobText.release();
    *certificate = certificateText.release();
    *wrapped_ak = akText.release();
    *wrapped_pk = pkText.release();
    *shek_id = shekId.release();
    return 0;
}

extern "C" int check_user_data(const char* password, const char* key_salt, const char* key_blob,
                               const char* wrapped_ak, const char* wrapped_pk)
{
    const KeyPtr pk = accountPackingKey(password, key_salt, wrapped_ak, wrapped_pk);
    if (!pk)
        return -1;
    return check_user_key_blob(pk.get(), key_blob);
}

extern "C" int get_kek(const char* password, const char* key_salt, const char* key_blob,
                       const char* wrapped_ak, const char* wrapped_pk, char** kek)
{
    if (kek == nullptr)
        return -1;
    const KeyPtr pk = accountPackingKey(password, key_salt, wrapped_ak, wrapped_pk);
    TextPtr kekText;
    if (!pk || _get_kek_from_blob(pk.get(), key_blob, kekText) != 0)
        return -1;
    *kek = kekText.release();
    return 0;
}

extern "C" int get_shek(const char* password, const char* key_salt, const char* key_blob,
                        const char* wrapped_ak, const char* wrapped_pk, char** shek_id,
                        char** shek)
{
    if (shek_id == nullptr || shek == nullptr)
        return -1;
    const KeyPtr pk = accountPackingKey(password, key_salt, wrapped_ak, wrapped_pk);
    TextPtr idText;
    TextPtr shekText;
    if (!pk || _get_shek_from_blob(pk.get(), key_blob, idText, shekText) != 0)
        return -1;
    *shek_id = idText.release();
    *shek = shekText.release();
    return 0;
}

extern "C" int update_shek(const char* password, const char* key_salt, const char* key_blob,
                           const char* wrapped_ak, const char* wrapped_pk, char** new_key_blob,
                           char** new_shek_id)
{
    if (new_key_blob == nullptr || new_shek_id == nullptr)
        return -1;
    const KeyPtr pk = accountPackingKey(password, key_salt, wrapped_ak, wrapped_pk);
    TextPtr blobText;
    TextPtr idText;
    if (!pk || _update_shek_in_blob(pk.get(), key_blob, blobText, idText) != 0)
        return -1;
    *new_key_blob = blobText.release();
    *new_shek_id = idText.release();
    return 0;
}
