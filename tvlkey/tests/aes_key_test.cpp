#include "tvl_aes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct KeyDeleter {
    void operator()(aes_key* key) const { destroyKey(key); }
};
using Key = std::unique_ptr<aes_key, KeyDeleter>;

using Encoded = std::array<unsigned char, 52>;

std::string bytesOf(const aes_key* key)
{
    return std::string(reinterpret_cast<const char*>(key->buffer), 48);
}

Key keyFromPassword(const std::string& password)
{
    return Key(newKey(reinterpret_cast<const unsigned char*>(password.data()),
                      static_cast<int>(password.size())));
}

std::vector<unsigned char> cfb128(const aes_key* key, const unsigned char* in, int length)
{
    std::vector<unsigned char> out(length);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int produced = 0;
    EVP_EncryptInit_ex(context, EVP_aes_256_cfb128(), nullptr, key->buffer, key->buffer + 32);
    EVP_EncryptUpdate(context, out.data(), &produced, in, length);
    EVP_CIPHER_CTX_free(context);
    return out;
}

TEST(AesKey, WrappedKeyOpensOnlyUnderItsWrappingKey)
{
    const Key key(newRandomKey());
    const Key wrapping(newRandomKey());
    const Key other(newRandomKey());
    Encoded encoded{};
    ASSERT_EQ(writeKey(key.get(), encoded.data(), wrapping.get()), 0);

    const Key opened(readKey(encoded.data(), wrapping.get(), 1));
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(compareKey(opened.get(), key.get()), 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(readKey(encoded.data(), other.get(), 1), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "checksum mismatch: expected "),
              std::string::npos);
}

// The layout is shared with the service: a big-endian MAC_32 of the plain 48 bytes, then those
// bytes in AES-256-CFB128 under the wrapping key's key and IV.
TEST(AesKey, EncodedKeyHasTheSharedLayout)
{
    const Key key(newRandomKey());
    const Key wrapping(newRandomKey());
    Encoded encoded{};
    ASSERT_EQ(writeKey(key.get(), encoded.data(), wrapping.get()), 0);

    const uint32_t checksum = MAC_32(key->buffer, 48, wrapping.get(), nullptr);
    EXPECT_EQ(encoded[0], checksum >> 24);
    EXPECT_EQ(encoded[1], (checksum >> 16) & 0xFF);
    EXPECT_EQ(encoded[2], (checksum >> 8) & 0xFF);
    EXPECT_EQ(encoded[3], checksum & 0xFF);
    const auto expected = cfb128(wrapping.get(), key->buffer, 48);
    EXPECT_EQ(std::vector<unsigned char>(encoded.begin() + 4, encoded.end()), expected);
}

TEST(AesKey, AnyFlippedBitOfAnEncodedKeyIsDetected)
{
    const Key key(newRandomKey());
    const Key wrapping(newRandomKey());
    Encoded encoded{};
    ASSERT_EQ(writeKey(key.get(), encoded.data(), wrapping.get()), 0);
    testing::internal::CaptureStdout();
    for (std::size_t bit = 0; bit < encoded.size() * 8; ++bit) {
        Encoded damaged = encoded;
        damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        EXPECT_EQ(readKey(damaged.data(), wrapping.get(), 1), nullptr) << "bit " << bit;
    }
    testing::internal::GetCapturedStdout();
}

TEST(AesKey, KeysWithOtherSizesAreRefused)
{
    aes_key* odd = allocateNewKey(16, 16);
    ASSERT_NE(odd, nullptr);
    ASSERT_EQ(initKey(odd, EVP_aes_128_cbc(), EVP_aes_128_cfb128(), 16), 0);
    const Key wrapping(newRandomKey());
    Encoded encoded{};
    unsigned char data[16] = {};
    EXPECT_EQ(writeKey(odd, encoded.data(), wrapping.get()), -1);
    EXPECT_FALSE(streamEncode(data, 16, 0, odd));
    EXPECT_FALSE(blockEncode(data, 16, 0, odd));
    EXPECT_EQ(compareKey(odd, odd), 0);
    destroyKey(odd);
    destroyKey(nullptr);
}

TEST(AesKey, DerivedKeysAreStableAndFollowTheirDerivation)
{
    const std::string password = "correct horse";
    EXPECT_EQ(bytesOf(keyFromPassword(password).get()), bytesOf(keyFromPassword(password).get()));
    EXPECT_NE(bytesOf(keyFromPassword(password).get()), bytesOf(keyFromPassword("other").get()));

    unsigned char expected[48];
    EVP_BytesToKey(EVP_aes_256_cbc(), EVP_sha1(), nullptr,
                   reinterpret_cast<const unsigned char*>(password.data()),
                   static_cast<int>(password.size()), 16, expected, expected + 32);
    EXPECT_EQ(bytesOf(keyFromPassword(password).get()),
              std::string(reinterpret_cast<char*>(expected), 48));

    const auto* pw = reinterpret_cast<const unsigned char*>(password.data());
    const unsigned char salt[20] = {1, 2, 3};
    const unsigned char otherSalt[20] = {1, 2, 4};
    const Key salted(newKeyWithSalt(pw, static_cast<int>(password.size()), salt));
    const Key again(newKeyWithSalt(pw, static_cast<int>(password.size()), salt));
    const Key otherSalted(newKeyWithSalt(pw, static_cast<int>(password.size()), otherSalt));
    EXPECT_EQ(compareKey(salted.get(), again.get()), 1);
    EXPECT_EQ(compareKey(salted.get(), otherSalted.get()), 0);
    PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt, 20, 20000,
                           48, expected);
    EXPECT_EQ(bytesOf(salted.get()), std::string(reinterpret_cast<char*>(expected), 48));

    std::set<std::string> randomKeys;
    for (int i = 0; i < 16; ++i)
        randomKeys.insert(bytesOf(Key(newRandomKey()).get()));
    EXPECT_EQ(randomKeys.size(), 16u);

    const Key copy(copyKey(salted.get()));
    EXPECT_EQ(compareKey(copy.get(), salted.get()), 1);
}

// HMAC-SHA1 folded into 8 bytes over its first 19 bytes, read big-endian.
uint64_t foldedHmac(const aes_key* key, const std::string& message)
{
    unsigned char md[20];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key->buffer, 32, reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), md, &length);
    unsigned char folded[8] = {};
    for (unsigned int i = 0; i + 1 < length; ++i)
        folded[i % 8] ^= md[i];
    uint64_t value = 0;
    for (unsigned char byte : folded)
        value = (value << 8) | byte;
    return value;
}

TEST(AesKey, MacsFoldTheKeyedHmac)
{
    const Key key(newRandomKey());
    const std::string data = "some data to authenticate";
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const int length = static_cast<int>(data.size());

    const uint64_t mac = MAC_64(bytes, length, key.get(), nullptr);
    EXPECT_EQ(mac, foldedHmac(key.get(), data));
    EXPECT_EQ(MAC_64(bytes, length, key.get(), nullptr), mac) << "a restarted context repeats";
    EXPECT_EQ(MAC_32(bytes, length, key.get(), nullptr), uint32_t(mac >> 32) ^ uint32_t(mac));
    const uint32_t mac32 = MAC_32(bytes, length, key.get(), nullptr);
    EXPECT_EQ(MAC_16(bytes, length, key.get(), nullptr), uint16_t((mac32 >> 16) ^ (mac32 & 0xFFFF)));

    uint64_t chained = 0x0102030405060708ULL;
    const uint64_t chainedMac = MAC_64(bytes, length, key.get(), &chained);
    EXPECT_EQ(chainedMac, foldedHmac(key.get(), data + std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8)));
    EXPECT_NE(chainedMac, mac);
    EXPECT_EQ(chained, chainedMac);
}

TEST(AesKey, StreamCodingIsDeterministicAndReversible)
{
    const Key key(newRandomKey());
    const std::string plain = "the same plaintext, longer than one AES block";
    std::string first = plain;
    std::string second = plain;
    auto* a = reinterpret_cast<unsigned char*>(first.data());
    auto* b = reinterpret_cast<unsigned char*>(second.data());
    const int size = static_cast<int>(plain.size());
    ASSERT_TRUE(streamEncode(a, size, 1, key.get()));
    ASSERT_TRUE(streamEncode(b, size, 2, key.get()));
    EXPECT_EQ(first, second) << "the seed plays no part";
    EXPECT_NE(first, plain);
    ASSERT_TRUE(streamDecode(a, size, 0, key.get()));
    EXPECT_EQ(first, plain);

    unsigned char untouched = 0x5A;
    EXPECT_TRUE(streamEncode(&untouched, 0, 0, key.get()));
    EXPECT_EQ(untouched, 0x5A);
    EXPECT_FALSE(streamEncode(&untouched, -1, 0, key.get()));
    EXPECT_FALSE(streamDecode(&untouched, -1, 0, key.get()));
}

TEST(AesKey, BlockCodingNeedsWholeBlocksAndItsSeed)
{
    const Key key(newRandomKey());
    std::vector<unsigned char> plain(32);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<unsigned char>(i);

    std::vector<unsigned char> data = plain;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(blockEncode(data.data(), 15, 7, key.get()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Invalid data size, not multiple of block size\n");
    EXPECT_EQ(cipherBlockSize(key.get()), 16);

    ASSERT_TRUE(blockEncode(data.data(), 32, 7, key.get()));
    EXPECT_NE(data, plain);
    std::vector<unsigned char> wrongSeed = data;
    ASSERT_TRUE(blockDecode(wrongSeed.data(), 32, 8, key.get()));
    EXPECT_NE(wrongSeed, plain);
    ASSERT_TRUE(blockDecode(data.data(), 32, 7, key.get()));
    EXPECT_EQ(data, plain);
}

TEST(AesKey, BuffersRoundTripThroughBothTextForms)
{
    const Key key(newRandomKey());
    std::string plain(5000, '\0');
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(i * 31);
    const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
    for (int base16 : {0, 1}) {
        SCOPED_TRACE(base16 ? "Base16" : "Base64");
        char* text = nullptr;
        ASSERT_EQ(encrypt_buffer(bytes, static_cast<int>(plain.size()), key.get(), base16, &text), 0);
        const std::string encoded(text);
        free(text);
        EXPECT_EQ(encoded.find('\n'), std::string::npos);
        unsigned char* decoded = nullptr;
        ASSERT_EQ(decrypt_buffer(encoded.c_str(), static_cast<int>(encoded.size()), key.get(),
                                 base16, &decoded),
                  0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(decoded), plain.size()), plain);
        EXPECT_EQ(decoded[plain.size()], 0) << "decrypted text ends in a NUL";
        free(decoded);
    }
    char* text = nullptr;
    testing::internal::CaptureStdout();
    EXPECT_EQ(encrypt_buffer(bytes, 4, nullptr, 0, &text), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Empty key structure\n");
}

TEST(AesKey, DigestsAndPasswordContexts)
{
    char hex[65];
    ASSERT_EQ(sha256_hex("abc", hex), 0);
    EXPECT_STREQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    unsigned char digest[32];
    EXPECT_EQ(sha256("abc", digest, 32), 0);
    EXPECT_EQ(digest[0], 0xba);
    testing::internal::CaptureStdout();
    EXPECT_EQ(sha256("abc", digest, 31), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Invalid buffer length\n");

    EVP_CIPHER_CTX* encrypt = EVP_CIPHER_CTX_new();
    EVP_CIPHER_CTX* decrypt = EVP_CIPHER_CTX_new();
    const unsigned char material[] = "key material";
    const unsigned char salt[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_EQ(aes_init(material, sizeof material - 1, salt, encrypt, decrypt), 0);
    const std::string plain = "a message of several blocks for the password contexts";
    for (int round = 0; round < 2; ++round) {
        int length = static_cast<int>(plain.size());
        unsigned char* cipher =
            aes_encrypt(encrypt, reinterpret_cast<const unsigned char*>(plain.data()), &length);
        ASSERT_NE(cipher, nullptr);
        EXPECT_EQ(length % 16, 0);
        unsigned char* back = aes_decrypt(decrypt, cipher, &length);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(back), length), plain);
        free(cipher);
        free(back);
    }
    EVP_CIPHER_CTX_free(encrypt);
    EVP_CIPHER_CTX_free(decrypt);
}

}  // namespace
