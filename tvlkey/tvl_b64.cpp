#include "tvl_b64.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int sextetOf(char digit)
{
    if (digit >= 'A' && digit <= 'Z')
        return digit - 'A';
    if (digit >= 'a' && digit <= 'z')
        return digit - 'a' + 26;
    if (digit >= '0' && digit <= '9')
        return digit - '0' + 52;
    if (digit == '+')
        return 62;
    if (digit == '/')
        return 63;
    return -1;
}

// Strict decoding: whole groups of four, '=' only as the last one or two characters. Anything
// else is rejected rather than partly decoded, so a damaged text can never pass for a short one.
int decodeStrict(const char* text, int length, unsigned char* out)
{
    if (length % 4 != 0)
        return 0;
    int padding = 0;
    if (length > 0 && text[length - 1] == '=')
        padding = (length > 1 && text[length - 2] == '=') ? 2 : 1;
    int produced = 0;
    for (int group = 0; group < length; group += 4) {
        const bool lastGroup = group + 4 == length;
        unsigned int bits = 0;
        for (int i = 0; i < 4; ++i) {
            const int position = group + i;
            int sextet = 0;
            if (lastGroup && position >= length - padding) {
                sextet = 0;
            } else {
                sextet = sextetOf(text[position]);
                if (sextet < 0)
                    return 0;
            }
            bits = (bits << 6) | static_cast<unsigned int>(sextet);
        }
        const int bytesInGroup = lastGroup ? 3 - padding : 3;
        for (int i = 0; i < bytesInGroup; ++i)
            out[produced++] = static_cast<unsigned char>(bits >> (16 - 8 * i));
    }
    return produced;
}

}  // namespace

extern "C" int base64_encode(const unsigned char* bytes, int count, char** out)
{
    if (count < 0 || out == nullptr)
        return 0;
    const int textLength = 4 * ((count + 2) / 3);
    char* text = static_cast<char*>(calloc(textLength + 1, 1));
    if (text == nullptr) {
        puts("base64: Failed memory allocation");
        return 0;
    }
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text), bytes, count);
    *out = text;
    return textLength + 1;
}

extern "C" int base64_decode(const char* text, int length, unsigned char** out)
{
    if (out == nullptr)
        return -1;
    const int areaLength = length > 0 ? length : 0;
    auto* area = static_cast<unsigned char*>(calloc(areaLength + 1, 1));
    *out = area;
    if (area == nullptr) {
        puts("Failed memory allocation");
        return -1;
    }
    if (text == nullptr || length <= 0)
        return 0;
    const int decoded = decodeStrict(text, length, area);
    if (decoded == 0)
        memset(area, 0, areaLength);
    return decoded;
}
