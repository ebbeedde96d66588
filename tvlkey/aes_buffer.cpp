// Whole buffers encrypted under a key into Base16 or Base64 text and back, and the
// password-keyed CBC contexts of aes_init.
#include "tvl_aes.h"
#include "tvl_b16.h"
#include "tvl_b64.h"

#include "key_lock.h"
#include "secure_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kAesInitCount = 5;
constexpr int kCodingSlack = 32;

unsigned char* runWholeBuffer(EVP_CIPHER_CTX* context, const unsigned char* input, int* length)
{
    if (context == nullptr || input == nullptr || length == nullptr || *length < 0)
        return nullptr;
    auto* output = static_cast<unsigned char*>(calloc(*length + kCodingSlack, 1));
    if (output == nullptr)
        return nullptr;
    int produced = 0;
    int finished = 0;
    if (EVP_CipherInit_ex(context, nullptr, nullptr, nullptr, nullptr, -1) != 1 ||
        EVP_CipherUpdate(context, output, &produced, input, *length) != 1 ||
        EVP_CipherFinal_ex(context, output + produced, &finished) != 1) {
        OPENSSL_cleanse(output, *length + kCodingSlack);
        free(output);
        return nullptr;
    }
    *length = produced + finished;
    return output;
}

}  // namespace

extern "C" int encrypt_buffer(const unsigned char* bytes, int length, aes_key* key, int base16,
                              char** out)
{
    if (key == nullptr) {
        puts("Empty key structure");
        return -1;
    }
    if (bytes == nullptr || length < 0 || out == nullptr)
        return -1;
    tvlkey::SecureBuffer copy(bytes, length);
    if (!streamEncode(copy.data(), copy.length(), 0, key))
        return -1;
    if (base16) {
        if (base16_encode(copy.data(), copy.length(), out, 0) < 0) {
            puts("Failed to encode buffer");
            return -1;
        }
        return 0;
    }
    char* text = nullptr;
    if (base64_encode(copy.data(), copy.length(), &text) == 0 || text == nullptr) {
        puts("Failed base 64 encode output buffer");
        return -1;
    }
    *out = text;
    return 0;
}

extern "C" int decrypt_buffer(const char* text, int length, aes_key* key, int base16,
                              unsigned char** out)
{
    if (key == nullptr) {
        puts("Empty key structure");
        return -1;
    }
    if (text == nullptr || length < 0 || out == nullptr)
        return -1;
    unsigned char* area = nullptr;
    int decoded = 0;
    if (base16) {
        // One byte more than the decoded bytes keeps decrypted text NUL-terminated.
        area = static_cast<unsigned char*>(calloc(length / 2 + 1, 1));
        if (area == nullptr) {
            puts("Failed base 16 decode input buffer");
            return -1;
        }
        decoded = base16_decode(text, length, area, length / 2);
    } else {
        decoded = base64_decode(text, length, &area);
        if (area == nullptr) {
            puts("Failed base 64 decode input buffer");
            return -1;
        }
        // A non-empty text that decodes to nothing is damaged, not empty.
        if (decoded == 0 && length > 0)
            decoded = -1;
    }
    if (decoded < 0 || !streamDecode(area, decoded, 0, key)) {
        puts(base16 ? "Failed base 16 decode input buffer" : "Failed base 64 decode input buffer");
        free(area);
        return -1;
    }
    *out = area;
    return 0;
}

extern "C" int aes_init(const unsigned char* material, int length, const unsigned char* salt,
                        EVP_CIPHER_CTX* encryptContext, EVP_CIPHER_CTX* decryptContext)
{
    if (material == nullptr || length < 0 || encryptContext == nullptr ||
        decryptContext == nullptr)
        return -1;
    tvlkey::SecureBuffer keyBytes(tvlkey::kKeyBytes);
    tvlkey::SecureBuffer iv(tvlkey::kIvBytes);
    const int derived = EVP_BytesToKey(EVP_aes_256_cbc(), EVP_sha1(), salt, material, length,
                                       kAesInitCount, keyBytes.data(), iv.data());
    if (derived != tvlkey::kKeyBytes) {
        printf("Key size is %d bits - should be 256 bits\n", derived);
        return -1;
    }
    const bool ready = EVP_EncryptInit_ex(encryptContext, EVP_aes_256_cbc(), nullptr,
                                          keyBytes.data(), iv.data()) == 1 &&
                       EVP_DecryptInit_ex(decryptContext, EVP_aes_256_cbc(), nullptr,
                                          keyBytes.data(), iv.data()) == 1;
    return ready ? 0 : -1;
}

extern "C" unsigned char* aes_encrypt(EVP_CIPHER_CTX* context, const unsigned char* input,
                                      int* length)
{
    return runWholeBuffer(context, input, length);
}

extern "C" unsigned char* aes_decrypt(EVP_CIPHER_CTX* context, const unsigned char* input,
                                      int* length)
{
    return runWholeBuffer(context, input, length);
}
