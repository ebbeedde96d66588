#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CipherHeader.h"
#include "CommandLine.h"
#include "SecureBuffer.h"
#include "Subcommand.h"
#include "base64.h"

namespace {

constexpr int KeyBytes = 48;

// Base64 text of fresh random key bytes; empty when the generator fails.
std::string randomKeyText() {
    SecureBuffer bytes(KeyBytes);
    if (RAND_bytes(bytes.data(), KeyBytes) != 1) return {};
    char* text = nullptr;
    const int length = base64_encode(bytes.data(), KeyBytes, &text);
    std::string result = length > 0 ? std::string(text) : std::string();
    std::free(text);
    return result;
}

// A random (version 4) UUID in lower-case text.
std::string randomUuidText() {
    Uuid id{};
    if (RAND_bytes(id.data, sizeof(id.data)) != 1) return {};
    id.data[6] = static_cast<uint8_t>((id.data[6] & 0x0f) | 0x40);
    id.data[8] = static_cast<uint8_t>((id.data[8] & 0x3f) | 0x80);
    return uuidText(id);
}

int run(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("keygen");
    const std::string userKey = randomKeyText();
    const std::string shareKey = randomKeyText();
    const std::string shareKeyId = randomUuidText();
    if (userKey.empty() || shareKey.empty() || shareKeyId.empty())
        return fail("keygen: the random generator failed");
    std::printf("user-key: %s\nshare-key: %s\nshare-key-id: %s\n", userKey.c_str(),
                shareKey.c_str(), shareKeyId.c_str());
    return 0;
}

}  // namespace

extern const Subcommand keygenSubcommand{"keygen", "keygen", &run};
