#include "tvl_b16.h"
#include "tvl_b64.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Base16Case {
    const char* text;
    int result;
    std::vector<unsigned char> bytes;
};

TEST(Base16, DecodesHexDigitsAndRefusesTheRest)
{
    const Base16Case cases[] = {
        {"0aFf", 2, {0x0A, 0xFF}},
        {"0G", -1, {}},
        {"abc", -1, {}},
        {"0a  ", 2, {0x0A, 0x00}},  // stops at the first blank
        {"", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        unsigned char out[8];
        const int length = static_cast<int>(std::string(c.text).size());
        const int result = base16_decode(c.text, length, out, sizeof out);
        EXPECT_EQ(result, c.result);
        if (result >= 0) {
            EXPECT_EQ(std::vector<unsigned char>(out, out + result), c.bytes);
        }
    }
    unsigned char small[1];
    EXPECT_EQ(base16_decode("0aFf", 4, small, 1), -1);
}

TEST(Base16, EncodesUpperCaseIntoAGivenOrNewArea)
{
    const unsigned char bytes[] = {0x00, 0x9F, 0xA5};
    char* allocated = nullptr;
    EXPECT_EQ(base16_encode(bytes, 3, &allocated, 0), 6);
    EXPECT_STREQ(allocated, "009FA5");
    free(allocated);

    char area[7];
    char* given = area;
    EXPECT_EQ(base16_encode(bytes, 3, &given, 7), 6);
    EXPECT_STREQ(area, "009FA5");
    EXPECT_EQ(base16_encode(bytes, 3, &given, 6), -1) << "no room for the NUL";
}

TEST(Base64, EncodesAndDecodesTheStandardForm)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},          {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
        {std::string("\xfb\xff\x00", 3), "+/8A"},
    };
    for (const auto& [plain, text] : vectors) {
        SCOPED_TRACE(text);
        char* encoded = nullptr;
        EXPECT_EQ(base64_encode(reinterpret_cast<const unsigned char*>(plain.data()),
                                static_cast<int>(plain.size()), &encoded),
                  static_cast<int>(text.size()) + 1);
        EXPECT_EQ(std::string(encoded), text);
        free(encoded);

        unsigned char* decoded = nullptr;
        EXPECT_EQ(base64_decode(text.c_str(), static_cast<int>(text.size()), &decoded),
                  static_cast<int>(plain.size()));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(decoded), plain.size()), plain);
        EXPECT_EQ(decoded[plain.size()], 0);
        free(decoded);
    }
}

TEST(Base64, DamagedTextDecodesToNothing)
{
    for (const char* text : {"Zg=", "Z===", "====", "Zm9v!A==", "Zg==Zg==", "Zm 9v", "Zm9v\n",
                             "Zm=v", "-_-_"}) {
        SCOPED_TRACE(text);
        unsigned char* decoded = nullptr;
        const int length = static_cast<int>(std::string(text).size());
        EXPECT_EQ(base64_decode(text, length, &decoded), 0);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(decoded), length), std::string(length, '\0'));
        free(decoded);
    }
}

}  // namespace
