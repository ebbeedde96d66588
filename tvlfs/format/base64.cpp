#include "base64.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int base64_encode(const unsigned char* data, int length, char** out) {
    const int textLength = 4 * ((length + 2) / 3);
    *out = static_cast<char*>(std::calloc(static_cast<size_t>(textLength) + 1, 1));
    if (*out == nullptr) {
        std::printf("base64: Failed memory allocation\n");
        return 0;
    }
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(*out), data, length);
    return written + 1;
}

int base64_decode(const char* text, int length, unsigned char** out) {
    *out = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(length) + 1, 1));
    if (*out == nullptr) {
        std::printf("Failed memory allocation\n");
        return -1;
    }
    if (length <= 0 || length % 4 != 0) return -1;
    // EVP_DecodeBlock keeps the padding bytes in its count; they are not data.
    const int decoded = EVP_DecodeBlock(*out, reinterpret_cast<const unsigned char*>(text), length);
    if (decoded < 0) return -1;
    int padding = 0;
    if (text[length - 1] == '=') ++padding;
    if (text[length - 2] == '=') ++padding;
    return decoded - padding;
}

void changeBase2(const unsigned char* src, int srcLength, int srcBits, unsigned char* dst,
                 int dstLength, int dstBits) {
    const unsigned int mask = (1u << dstBits) - 1;
    unsigned int work = 0;
    int workBits = 0;
    int outIndex = 0;
    for (int i = 0; i < srcLength; ++i) {
        work |= static_cast<unsigned int>(src[i]) << workBits;
        workBits += srcBits;
        while (workBits >= dstBits && outIndex < dstLength) {
            dst[outIndex++] = static_cast<unsigned char>(work & mask);
            work >>= dstBits;
            workBits -= dstBits;
        }
    }
    if (workBits > 0 && outIndex < dstLength) dst[outIndex] = static_cast<unsigned char>(work & mask);
}

void changeBase2Inline(unsigned char* buffer, int length, int srcBits, int dstBits,
                       bool keepPartial) {
    // Regrouping to wider digits never overtakes the reading position; to narrower ones it
    // would, so work from a copy.
    unsigned char* source = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (source == nullptr) return;
    std::memcpy(source, buffer, static_cast<size_t>(length));
    const unsigned int mask = (1u << dstBits) - 1;
    unsigned int work = 0;
    int workBits = 0;
    int outIndex = 0;
    for (int i = 0; i < length; ++i) {
        work |= static_cast<unsigned int>(source[i]) << workBits;
        workBits += srcBits;
        while (workBits >= dstBits) {
            buffer[outIndex++] = static_cast<unsigned char>(work & mask);
            work >>= dstBits;
            workBits -= dstBits;
        }
    }
    if (keepPartial && workBits > 0) buffer[outIndex] = static_cast<unsigned char>(work & mask);
    std::free(source);
}

void B64ToAscii(unsigned char* buffer, int length) {
    for (int i = 0; i < length; ++i) {
        unsigned char digit = buffer[i];
        if (digit < 2) buffer[i] = static_cast<unsigned char>(',' + digit);
        else if (digit < 12) buffer[i] = static_cast<unsigned char>('0' + digit - 2);
        else if (digit < 38) buffer[i] = static_cast<unsigned char>('A' + digit - 12);
        else buffer[i] = static_cast<unsigned char>('a' + digit - 38);
    }
}

void AsciiToB64(unsigned char* buffer, int length) {
    // Characters outside the alphabet map to digit 0; the MAC of a coded name then fails.
    for (int i = 0; i < length; ++i) {
        const unsigned char ch = buffer[i];
        if (ch == ',' || ch == '-') buffer[i] = static_cast<unsigned char>(ch - ',');
        else if (ch >= '0' && ch <= '9') buffer[i] = static_cast<unsigned char>(ch - '0' + 2);
        else if (ch >= 'A' && ch <= 'Z') buffer[i] = static_cast<unsigned char>(ch - 'A' + 12);
        else if (ch >= 'a' && ch <= 'z') buffer[i] = static_cast<unsigned char>(ch - 'a' + 38);
        else buffer[i] = 0;
    }
}
