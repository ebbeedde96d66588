#include "tvl_b16.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int nibbleOf(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

}  // namespace

extern "C" int base16_encode(const unsigned char* bytes, int count, char** out, int capacity)
{
    if (count < 0 || out == nullptr || capacity < 0)
        return -1;
    const int textLength = 2 * count;
    if (capacity == 0) {
        *out = static_cast<char*>(calloc(textLength + 1, 1));
        if (*out == nullptr)
            return -1;
    } else if (capacity < textLength + 1 || *out == nullptr) {
        return -1;
    }
    char* text = *out;
    for (int i = 0; i < count; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    text[textLength] = '\0';
    return textLength;
}

extern "C" int base16_decode(const char* text, int length, unsigned char* out, int capacity)
{
    if (length < 0 || length % 2 != 0 || capacity < length / 2)
        return -1;
    memset(out, 0, length / 2);
    for (int i = 0; i < length; ++i) {
        const char digit = text[i];
        if (digit == '\0' || isspace(static_cast<unsigned char>(digit)))
            break;
        const int nibble = nibbleOf(digit);
        if (nibble < 0)
            return -1;
        if (i % 2 == 0)
            out[i / 2] = static_cast<unsigned char>(nibble << 4);
        else
            out[i / 2] |= static_cast<unsigned char>(nibble);
    }
    return length / 2;
}
