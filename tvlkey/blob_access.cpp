#include "blob_access.h"

#include "openssl_handles.h"
#include "tvl_key_blob.h"
#include "user_identity.h"

#include <openssl/crypto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tvlkey {
namespace {

using BlobPtr = std::unique_ptr<key_blob, Releaser<free_key_blob>>;

// The decrypted XML holds the private key in the clear: wiped whole when it goes.
struct DecryptedArea {
    unsigned char* bytes = nullptr;
    std::size_t size = 0;
    ~DecryptedArea()
    {
        if (bytes != nullptr)
            OPENSSL_cleanse(bytes, size);
        free(bytes);
    }
};

BlobPtr openBlob(aes_key* pk, const char* blobText)
{
    if (pk == nullptr || blobText == nullptr)
        return nullptr;
    const std::size_t textLength = strlen(blobText);
    DecryptedArea xml;
    if (decrypt_buffer(blobText, static_cast<int>(textLength), pk, 0, &xml.bytes) != 0)
        return nullptr;
    xml.size = textLength;
    // Base64 decoding leaves the area zero beyond the decrypted bytes, so it reads as text.
    key_blob* blob = nullptr;
    if (read_key_blob(reinterpret_cast<const char*>(xml.bytes), &blob) != 0)
        return nullptr;
    return BlobPtr(blob);
}

TextPtr sealBlob(const key_blob* blob, aes_key* pk)
{
    char* xml = nullptr;
    const int length = write_key_blob(blob, &xml);
    if (length < 0)
        return nullptr;
    const TextPtr document(xml);
    char* sealed = nullptr;
    if (encrypt_buffer(reinterpret_cast<const unsigned char*>(document.get()), length, pk, 0,
                       &sealed) != 0)
        return nullptr;
    return TextPtr(sealed);
}

TextPtr newKeyText()
{
    const KeyPtr key(newRandomKey());
    if (!key)
        return nullptr;
    return encodeBase64(key->buffer, kKeyMaterialBytes);
}

}  // namespace

int _generate_shek(TextPtr& shekId, TextPtr& shek)
{
    TextPtr keyText = newKeyText();
    if (!keyText) {
        puts("Failed to generate user shek");
        return -1;
    }
    char* uuid = nullptr;
    if (get_uuid(&uuid) < 0)
        return -1;
    shekId.reset(uuid);
    shek = std::move(keyText);
    return 0;
}

int generate_user_key_blob(const char* userId, aes_key* pk, TextPtr& blobText,
                           TextPtr& certificate, TextPtr& shekId)
{
    UserIdentity identity;
    if (!generateUserIdentity(userId, identity))
        return -1;
    TextPtr kek = newKeyText();
    if (!kek) {
        puts("Failed to generate user kek");
        return -1;
    }
    TextPtr newShekId;
    TextPtr shek;
    if (_generate_shek(newShekId, shek) != 0) {
        puts("Failed to gen shek keys");
        return -1;
    }
    // The record borrows the texts; they stay owned (and are wiped) here.
    key_blob blob{identity.privateKey.get(), identity.certificate.get(), kek.get(),
                  newShekId.get(), shek.get()};
    TextPtr sealed = sealBlob(&blob, pk);
    if (!sealed)
        return -1;
    blobText = std::move(sealed);
    certificate = std::move(identity.certificate);
    shekId = std::move(newShekId);
    return 0;
}

int check_user_key_blob(aes_key* pk, const char* blobText)
{
    return openBlob(pk, blobText) ? 0 : -1;
}

int _get_kek_from_blob(aes_key* pk, const char* blobText, TextPtr& kek)
{
    const BlobPtr blob = openBlob(pk, blobText);
    if (!blob)
        return -1;
    TextPtr copy = copyText(blob->kek);
    if (!copy)
        return -1;
    kek = std::move(copy);
    return 0;
}

int _get_shek_from_blob(aes_key* pk, const char* blobText, TextPtr& shekId, TextPtr& shek)
{
    const BlobPtr blob = openBlob(pk, blobText);
    if (!blob)
        return -1;
    TextPtr idCopy = copyText(blob->shek_id);
    TextPtr shekCopy = copyText(blob->shek);
    if (!idCopy || !shekCopy)
        return -1;
    shekId = std::move(idCopy);
    shek = std::move(shekCopy);
    return 0;
}

int _get_privk_from_blob(aes_key* pk, const char* blobText, TextPtr& privateKey)
{
    const BlobPtr blob = openBlob(pk, blobText);
    if (!blob)
        return -1;
    TextPtr copy = copyText(blob->private_key);
    if (!copy)
        return -1;
    privateKey = std::move(copy);
    return 0;
}

int _update_shek_in_blob(aes_key* pk, const char* blobText, TextPtr& newBlobText,
                         TextPtr& newShekId)
{
    const BlobPtr blob = openBlob(pk, blobText);
    if (!blob)
        return -1;
    TextPtr shekId;
    TextPtr shek;
    if (_generate_shek(shekId, shek) != 0) {
        puts("Failed to gen shek keys");
        return -1;
    }
    free_and_null_str(&blob->shek_id);
    free_and_null_str(&blob->shek);
    blob->shek_id = shekId.release();
    blob->shek = shek.release();
    TextPtr sealed = sealBlob(blob.get(), pk);
    TextPtr idCopy = copyText(blob->shek_id);
    if (!idCopy) {
        puts("Failed to allocate shek_id");
        return -1;
    }
    if (!sealed)
        return -1;
    newBlobText = std::move(sealed);
    newShekId = std::move(idCopy);
    return 0;
}

}  // namespace tvlkey
