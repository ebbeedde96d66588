#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Assert.h"
#include "Cipher.h"
#include "NameIO.h"
#include "SSLKey.h"
#include "SSL_Cipher.h"
#include "VolumeConfig.h"
#include "base64.h"

namespace {

std::shared_ptr<SSLKey> asSSLKey(const CipherKey& key) { return std::dynamic_pointer_cast<SSLKey>(key); }

CipherKey keyFromText(Cipher& cipher, const std::string& text) {
    return cipher.newKey(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

std::vector<unsigned char> hmacSha1(const unsigned char* key, int keyLen, const std::vector<unsigned char>& data) {
    std::vector<unsigned char> md(20);
    unsigned int mdLen = 0;
    HMAC(EVP_sha1(), key, keyLen, data.data(), data.size(), md.data(), &mdLen);
    return md;
}

}  // namespace

TEST(InterfaceTest, ImplementsWithinAgeOfSameNameOnly) {
    struct Case { rel::Interface own; const char* name; int current; bool expected; };
    const Case cases[] = {
        {{"ssl/aes", 3, 0, 2}, "ssl/aes", 0, false}, {{"ssl/aes", 3, 0, 2}, "ssl/aes", 1, true},
        {{"ssl/aes", 3, 0, 2}, "ssl/aes", 3, true},  {{"ssl/aes", 3, 0, 2}, "ssl/aes", 4, false},
        {{"nameio/stream", 2, 1, 2}, "nameio/stream", 0, true}, {{"nameio/block", 3, 0, 1}, "nameio/block", 1, false},
        {{"nameio/block", 3, 0, 1}, "nameio/block", 2, true}, {{"nameio/null", 1, 0, 0}, "nameio/null", 0, false},
        {{"nullCipher", 1, 0, 0}, "nullCipher", 1, true},     {{"ssl/aes", 3, 0, 2}, "ssl/blowfish", 3, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.own.implements(rel::Interface(c.name, c.current, 7, 9)), c.expected)
            << c.own.toString() << " vs " << c.name << " " << c.current;
    }
}

TEST(CipherRegistryTest, ListsAndLooksUpByNameAndInterface) {
    std::vector<std::string> visible, all;
    for (const auto& a : Cipher::GetAlgorithmList(false)) visible.push_back(a.name);
    for (const auto& a : Cipher::GetAlgorithmList(true)) all.push_back(a.name);
    EXPECT_EQ(visible, (std::vector<std::string>{"AES", "Blowfish"}));
    EXPECT_EQ(all, (std::vector<std::string>{"AES", "Blowfish", "Null"}));

    EXPECT_EQ(Cipher::New("aes", 256), nullptr);
    std::shared_ptr<Cipher> v2 = Cipher::New(rel::Interface("ssl/aes", 2, 0, 0), 256);
    ASSERT_NE(v2, nullptr);
    EXPECT_EQ(v2->interface(), rel::Interface("ssl/aes", 3, 0, 2));
    EXPECT_EQ(Cipher::New(rel::Interface("ssl/aes", 4, 0, 0), 256), nullptr);

    struct { int requested; int bytes; } lengths[] = {{0, 24}, {512, 32}, {64, 16}, {128, 16}, {256, 32}};
    for (auto l : lengths) EXPECT_EQ(NewAESCipher(AESInterface, l.requested)->keySize(), l.bytes) << l.requested;

    EXPECT_EQ(findCipherAlgorithm("AES", 256).name, "AES");
    Cipher::CipherAlgorithm none = findCipherAlgorithm("AES", 200);
    EXPECT_TRUE(none.name.empty());
    EXPECT_EQ(none.keyLength, Range());

    ASSERT_NE(NameIO::New(rel::Interface("nameio/null", 1, 0, 0), nullptr, nullptr), nullptr);
    EXPECT_EQ(NameIO::New(rel::Interface("nameio/null", 2, 0, 0), nullptr, nullptr), nullptr);
}

class AESCipherTest : public testing::Test {
protected:
    std::shared_ptr<Cipher> cipher = Cipher::New("AES", 256);
    CipherKey master = keyFromText(*cipher, "master key material");
};

TEST_F(AESCipherTest, EncodedKeyRoundTripsAndRejectsAWrongMasterKey) {
    ASSERT_EQ(cipher->encodedKeySize(), 52);
    CipherKey key = cipher->newRandomKey();
    ASSERT_NE(key, nullptr);
    unsigned char encoded[52];
    cipher->writeKey(key, encoded, master);

    CipherKey back = cipher->readKey(encoded, master, true);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(cipher->compareKey(key, back));

    CipherKey other = keyFromText(*cipher, "another master");
    EXPECT_EQ(cipher->readKey(encoded, other, true), nullptr);
    CipherKey unchecked = cipher->readKey(encoded, other, false);
    ASSERT_NE(unchecked, nullptr);
    EXPECT_FALSE(cipher->compareKey(key, unchecked));
}

TEST_F(AESCipherTest, StreamCodingRoundTripsAnyLengthOnlyWithTheSameSeed) {
    for (int size : {1, 63, 64, 65, 1000}) {
        std::vector<unsigned char> plain(size);
        for (int i = 0; i < size; ++i) plain[i] = static_cast<unsigned char>(i * 7);
        std::vector<unsigned char> data = plain;
        ASSERT_TRUE(cipher->streamEncode(data.data(), size, 42, master));
        EXPECT_NE(data, plain) << size;
        std::vector<unsigned char> wrongSeed = data;
        ASSERT_TRUE(cipher->streamDecode(wrongSeed.data(), size, 43, master));
        EXPECT_NE(wrongSeed, plain) << size;
        ASSERT_TRUE(cipher->streamDecode(data.data(), size, 42, master));
        EXPECT_EQ(data, plain) << size;
    }
}

TEST_F(AESCipherTest, BlockCodingIsCbcUnderTheHmacDerivedIV) {
    std::vector<unsigned char> odd(20);
    try {
        cipher->blockEncode(odd.data(), 20, 1, master);
        FAIL() << "no error for a partial cipher block";
    } catch (const rlog::Error& e) {
        EXPECT_STREQ(e.message(), "Invalid data size, not multiple of block size");
    }

    // The stored format: IV = HMAC-SHA1(key bytes; key IV bytes, seed little-endian)[0..16),
    // then AES-256-CBC without padding.
    auto key = asSSLKey(master);
    const uint64_t seed = 0x0102030405060708ull;
    std::vector<unsigned char> macInput(key->ivData(), key->ivData() + 16);
    for (int i = 0; i < 8; ++i) macInput.push_back(static_cast<unsigned char>(seed >> (8 * i)));
    std::vector<unsigned char> iv = hmacSha1(key->keyData(), 32, macInput);

    std::vector<unsigned char> plain(32);
    for (int i = 0; i < 32; ++i) plain[i] = static_cast<unsigned char>(i);
    std::vector<unsigned char> expected(32);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int len = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key->keyData(), iv.data());
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, expected.data(), &len, plain.data(), 32);
    EVP_CIPHER_CTX_free(ctx);

    std::vector<unsigned char> data = plain;
    ASSERT_TRUE(cipher->blockEncode(data.data(), 32, seed, master));
    EXPECT_EQ(data, expected);
    ASSERT_TRUE(cipher->blockDecode(data.data(), 32, seed, master));
    EXPECT_EQ(data, plain);
}

TEST_F(AESCipherTest, KeyFromBytesIsTheSixteenFoldSha1Chain) {
    const std::string material = "user key bytes";
    auto key = asSSLKey(keyFromText(*cipher, material));
    std::vector<unsigned char> stream;
    std::vector<unsigned char> previous;
    while (stream.size() < 48) {
        std::vector<unsigned char> input = previous;
        input.insert(input.end(), material.begin(), material.end());
        unsigned char d[20];
        SHA1(input.data(), input.size(), d);
        for (int round = 1; round < 16; ++round) SHA1(d, 20, d);
        previous.assign(d, d + 20);
        stream.insert(stream.end(), d, d + 20);
    }
    EXPECT_EQ(std::vector<unsigned char>(key->keyData(), key->keyData() + 48),
              std::vector<unsigned char>(stream.begin(), stream.begin() + 48));

    // Empty material derives nothing and leaves the key bytes zero.
    auto empty = asSSLKey(cipher->newKey(static_cast<const unsigned char*>(nullptr), 0));
    EXPECT_EQ(std::vector<unsigned char>(empty->keyData(), empty->keyData() + 48), std::vector<unsigned char>(48, 0));
}

TEST_F(AESCipherTest, MacFoldsTheDigestAndChainsTheIV) {
    const unsigned char data[] = "some bytes";
    auto key = asSSLKey(master);
    std::vector<unsigned char> md = hmacSha1(key->keyData(), 32, std::vector<unsigned char>(data, data + 10));
    unsigned char h[8] = {};
    for (int i = 0; i < 19; ++i) h[i % 8] ^= md[i];
    uint64_t expected = 0;
    for (unsigned char b : h) expected = (expected << 8) | b;
    EXPECT_EQ(cipher->MAC_64(data, 10, master), expected);
    EXPECT_EQ(cipher->MAC_32(data, 10, master), static_cast<unsigned>((expected >> 32) ^ (expected & 0xffffffff)));

    uint64_t chained = 5;
    const uint64_t first = cipher->MAC_64(data, 10, master, &chained);
    EXPECT_EQ(chained, first);
    EXPECT_NE(cipher->MAC_64(data, 10, master, &chained), first);
}

TEST_F(AESCipherTest, OlderInterfaceUsesTheMultiplicativeIV) {
    std::shared_ptr<Cipher> v2cipher = Cipher::New(rel::Interface("ssl/aes", 2, 0, 0), 256);
    auto& ssl = dynamic_cast<SSL_Cipher&>(*v2cipher);
    auto key = asSSLKey(keyFromText(*v2cipher, "k"));
    const uint32_t s = 77;
    const uint32_t p = 0x060a4011u * s, q = 0x0221040du * (s ^ 0xD3FEA11Cu);
    unsigned char expected[16];
    std::memcpy(expected, key->ivData(), 16);
    const uint32_t mix[16] = {p >> 24, q >> 16, p >> 8, q, q >> 24, p >> 16, q >> 8, p,
                              p, q >> 8, p >> 16, q >> 24, p >> 24, q >> 16, p >> 8, q};
    for (int i = 0; i < 16; ++i) expected[i] ^= static_cast<unsigned char>(mix[i]);
    unsigned char ivec[16];
    ssl.setIVec(ivec, (uint64_t{1} << 40) | s, key);  // only the low 32 bits count
    EXPECT_EQ(0, std::memcmp(ivec, expected, 16));
}

TEST(BlowfishCipherTest, CodesWhenTheLegacyProviderIsLoaded) {
    std::shared_ptr<Cipher> bf = Cipher::New("Blowfish", 160);
    if (!bf) GTEST_SKIP() << "legacy provider not available";
    EXPECT_EQ(bf->cipherBlockSize(), 8);
    CipherKey key = keyFromText(*bf, "bf");
    std::vector<unsigned char> plain(24, 0x5a), data = plain;
    ASSERT_TRUE(bf->blockEncode(data.data(), 24, 3, key));
    EXPECT_NE(data, plain);
    ASSERT_TRUE(bf->blockDecode(data.data(), 24, 3, key));
    EXPECT_EQ(data, plain);
}

TEST(NullCipherTest, PassesDataThroughWithOneSharedKey) {
    std::shared_ptr<Cipher> null = Cipher::New("Null", 0);
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(null->encodedKeySize(), 0);
    EXPECT_TRUE(null->compareKey(null->newRandomKey(), null->newKey("pw", 2)));
    unsigned char data[3] = {1, 2, 3};
    EXPECT_TRUE(null->streamEncode(data, 3, 9, null->newRandomKey()));
    EXPECT_EQ(data[2], 3);
}

TEST(Base64Test, RoundTripsStandardTextAndRejectsGarbage) {
    for (int length : {1, 2, 3, 48, 52}) {
        std::vector<unsigned char> bytes(length);
        for (int i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(0xf0 + i);
        char* text = nullptr;
        const int textSize = base64_encode(bytes.data(), length, &text);
        EXPECT_EQ(textSize, static_cast<int>(std::strlen(text)) + 1);
        unsigned char* decoded = nullptr;
        EXPECT_EQ(base64_decode(text, textSize - 1, &decoded), length);
        EXPECT_EQ(0, std::memcmp(decoded, bytes.data(), length));
        std::free(text);
        std::free(decoded);
    }
    char* text = nullptr;
    base64_encode(reinterpret_cast<const unsigned char*>("\xfb\xff"), 2, &text);
    EXPECT_STREQ(text, "+/8=");
    std::free(text);

    unsigned char* decoded = nullptr;
    EXPECT_LE(base64_decode("ab!d", 4, &decoded), 0);
    std::free(decoded);
}
