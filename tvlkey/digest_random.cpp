// SHA-256 digests of texts and random bytes from OpenSSL's generator.
#include "tvl_aes.h"

#include <openssl/rand.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kSha256Bytes = 32;

bool digestText(const char* text, unsigned char* digest)
{
    unsigned int digestLength = 0;
    return text != nullptr &&
           EVP_Digest(text, strlen(text), digest, &digestLength, EVP_sha256(), nullptr) == 1 &&
           digestLength == kSha256Bytes;
}

}  // namespace

extern "C" int sha256_hex(const char* text, char* out)
{
    unsigned char digest[kSha256Bytes];
    if (out == nullptr || !digestText(text, digest))
        return -1;
    for (int i = 0; i < kSha256Bytes; ++i)
        snprintf(out + 2 * i, 3, "%02x", digest[i]);
    out[2 * kSha256Bytes] = '\0';
    return 0;
}

extern "C" int sha256(const char* text, unsigned char* out, int outLength)
{
    if (outLength != kSha256Bytes || out == nullptr) {
        puts("Invalid buffer length");
        return -1;
    }
    return digestText(text, out) ? 0 : -1;
}

extern "C" bool randomize(unsigned char* buffer, int length)
{
    return buffer != nullptr && length >= 0 && RAND_bytes(buffer, length) == 1;
}
