#pragma once

#include "key_lock.h"
#include "secure_buffer.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace tvlkey {

// Overwrites a text with zeros, releases it and clears the pointer.
void free_and_null_str(char** text);

struct WipingFree {
    void operator()(char* text) const { free_and_null_str(&text); }
};
// A NUL-terminated text allocated with malloc, as the library hands its outputs to callers.
using TextPtr = std::unique_ptr<char, WipingFree>;

TextPtr copyText(std::string_view text);
TextPtr encodeBase64(const unsigned char* bytes, std::size_t count);

// The bytes of a Base64 text; empty when the text is missing, empty or not Base64. Prints
// "Failed to decode <what>" in that case.
std::optional<SecureBuffer> decodeBase64(const char* text, const char* what);

using Wrapping = std::array<unsigned char, kEncodedKeyBytes>;
// A wrapped key must decode to exactly its 52 bytes; anything shorter would be read past its end.
std::optional<Wrapping> decodeWrapping(const char* text, const char* what);

constexpr std::size_t kKeySaltBytes = 20;
using KeySalt = std::array<unsigned char, kKeySaltBytes>;
// The decoded salt cut to 20 bytes, or followed by zero bytes up to 20.
std::optional<KeySalt> decodeKeySalt(const char* text);

inline bool isMissing(const char* text) { return text == nullptr || *text == '\0'; }

}  // namespace tvlkey
