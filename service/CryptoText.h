#pragma once

#include "SecureBuffer.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvarin::service {

// The few digests and encodings the service needs, each returning text.
namespace crypto_text {

// Standard Base64 without line breaks.
std::string base64(std::string_view bytes);

// H(x) of the sign-in exchange: Base64 of the SHA-512 digest of x's bytes.
std::string passwordHash(std::string_view text);

// Lower-case hex of SHA-256, used to keep session tokens out of the database.
std::string sha256Hex(std::string_view bytes);

// Base64 of HMAC-SHA256(key, message), cut to `length` bytes before encoding.
std::string hmacBase64(std::string_view key, std::string_view message, std::size_t length);

std::string randomBytes(std::size_t count);
std::string randomBase64(std::size_t count);
std::string randomHex(std::size_t count);

// Compares in time independent of where the texts differ.
bool equalInConstantTime(std::string_view left, std::string_view right);

}  // namespace crypto_text
}  // namespace tolvarin::service
