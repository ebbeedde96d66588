#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Assert.h"
#include "BlockNameIO.h"
#include "NullNameIO.h"
#include "StreamNameIO.h"
#include "base64.h"

TEST(NameIOTest, NullPathWalkDropsLeadingSlashesOnly) {
    NullNameIO naming;
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b/c", "a/b/c"}, {"//x", "x"}, {"x//", "x//"}, {"/", ""}, {"/docs/./../a.txt", "docs/./../a.txt"}};
    for (auto [path, expected] : cases) {
        EXPECT_EQ(naming.encodePath(path), expected) << path;
        EXPECT_EQ(naming.decodePath(path), expected) << path;
    }
}

class BlockNameIOTest : public testing::Test {
protected:
    std::shared_ptr<Cipher> cipher = Cipher::New("AES", 256);
    CipherKey key = cipher->newKey("names", 5);
    BlockNameIO naming{BlockNameIO::CurrentInterface(), cipher, key};
};

TEST_F(BlockNameIOTest, ShortComponentsFailOnlyWhenDecoding) {
    EXPECT_EQ(naming.encodePath("/ab"), "ab");
    try {
        naming.decodePath("/ab");
        FAIL();
    } catch (const rlog::Error& e) {
        EXPECT_STREQ(e.message(), "Filename too small to decode");
    }
}

TEST_F(BlockNameIOTest, NamesRoundTripAndTamperingIsDetected) {
    const std::string coded = naming.encodeName("hello", 5);
    EXPECT_EQ(coded.size(), 24u);  // 5 + 11 padding + 2 MAC bytes -> 18 bytes -> 24 digits
    EXPECT_EQ(naming.decodeName(coded.c_str(), 24), "hello");

    // A multiple of the block size gets a whole block of padding.
    EXPECT_EQ(naming.encodeName("0123456789abcdef", 16).size(), static_cast<size_t>((34 * 8 + 5) / 6));

    std::string tampered = coded;
    tampered[5] = tampered[5] == 'A' ? 'B' : 'A';
    try {
        naming.decodeName(tampered.c_str(), 24);
        FAIL() << "tampered name decoded";
    } catch (const rlog::Error& e) {
        const std::string message = e.message();
        EXPECT_TRUE(message == "invalid padding size" || message == "checksum mismatch in filename decode") << message;
    }
}

TEST(StreamNameIOTest, CodesEveryNameToNothing) {
    StreamNameIO naming(StreamNameIO::CurrentInterface(), Cipher::New("AES", 256), nullptr);
    EXPECT_EQ(naming.encodeName("anything", 8), "");
}

TEST(NameAlphabetTest, DigitsRegroupAndMapBothWays) {
    unsigned char bytes[8] = {0x00, 0xff, 0x12, 0x80, 0x7e, 0x01, 0, 0};
    unsigned char work[12] = {};
    std::memcpy(work, bytes, 6);
    changeBase2Inline(work, 6, 8, 6, true);
    B64ToAscii(work, 8);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(std::strchr(",-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", work[i]));
    AsciiToB64(work, 8);
    changeBase2Inline(work, 8, 6, 8, false);
    EXPECT_EQ(0, std::memcmp(work, bytes, 6));

    unsigned char digits[4] = {0, 1, 12, 63};
    B64ToAscii(digits, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(digits), 4), ",-Az");
}
