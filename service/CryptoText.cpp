#include "CryptoText.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tolvarin::service::crypto_text {

namespace {

std::string digest(const EVP_MD* algorithm, std::string_view bytes)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &length, algorithm, nullptr) != 1)
        throw std::runtime_error("digest failed");
    std::string result(reinterpret_cast<const char*>(out), length);
    OPENSSL_cleanse(out, sizeof out);
    return result;
}

std::string hex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0f]);
    }
    return text;
}

}  // namespace

std::string base64(std::string_view bytes)
{
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    int length = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                 static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
}

std::string passwordHash(std::string_view text)
{
    std::string raw = digest(EVP_sha512(), text);
    std::string encoded = base64(raw);
    OPENSSL_cleanse(raw.data(), raw.size());
    return encoded;
}

std::string sha256Hex(std::string_view bytes)
{
    return hex(digest(EVP_sha256(), bytes));
}

std::string hmacBase64(std::string_view key, std::string_view message, std::size_t length)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int outLength = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(message.data()), message.size(), out, &outLength))
        throw std::runtime_error("HMAC failed");
    std::string result = base64(std::string_view(reinterpret_cast<const char*>(out),
                                                 std::min<std::size_t>(length, outLength)));
    OPENSSL_cleanse(out, sizeof out);
    return result;
}

std::string randomBytes(std::size_t count)
{
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1)
        throw std::runtime_error("random generator failed");
    return bytes;
}

std::string randomBase64(std::size_t count)
{
    return base64(randomBytes(count));
}

std::string randomHex(std::size_t count)
{
    return hex(randomBytes(count));
}

bool equalInConstantTime(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && CRYPTO_memcmp(left.data(), right.data(), left.size()) == 0;
}

}  // namespace tolvarin::service::crypto_text
