#include "text_buffers.h"

#include "tvl_b64.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tvlkey {

void free_and_null_str(char** text)
{
    if (text == nullptr || *text == nullptr)
        return;
    OPENSSL_cleanse(*text, strlen(*text));
    free(*text);
    *text = nullptr;
}

TextPtr copyText(std::string_view text)
{
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy == nullptr)
        return nullptr;
    memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return TextPtr(copy);
}

TextPtr encodeBase64(const unsigned char* bytes, std::size_t count)
{
    char* text = nullptr;
    if (base64_encode(bytes, static_cast<int>(count), &text) == 0)
        return nullptr;
    return TextPtr(text);
}

std::optional<SecureBuffer> decodeBase64(const char* text, const char* what)
{
    unsigned char* area = nullptr;
    const int decoded = text != nullptr ? base64_decode(text, static_cast<int>(strlen(text)), &area)
                                        : 0;
    std::optional<SecureBuffer> bytes;
    if (decoded > 0)
        bytes.emplace(area, static_cast<std::size_t>(decoded));
    else
        printf("Failed to decode %s\n", what);
    if (area != nullptr) {
        OPENSSL_cleanse(area, text != nullptr ? strlen(text) : 0);
        free(area);
    }
    return bytes;
}

std::optional<Wrapping> decodeWrapping(const char* text, const char* what)
{
    const auto bytes = decodeBase64(text, what);
    if (!bytes)
        return std::nullopt;
    if (bytes->size() != kEncodedKeyBytes) {
        printf("Wrong length of %s: %zu bytes instead of %d\n", what, bytes->size(),
               kEncodedKeyBytes);
        return std::nullopt;
    }
    Wrapping wrapping;
    std::copy(bytes->data(), bytes->data() + kEncodedKeyBytes, wrapping.begin());
    return wrapping;
}

std::optional<KeySalt> decodeKeySalt(const char* text)
{
    const auto bytes = decodeBase64(text, "key salt");
    if (!bytes)
        return std::nullopt;
    KeySalt salt{};
    std::copy_n(bytes->data(), std::min(bytes->size(), kKeySaltBytes), salt.begin());
    return salt;
}

}  // namespace tvlkey
