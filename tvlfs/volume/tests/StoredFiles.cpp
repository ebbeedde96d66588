#include "StoredFiles.h"

#include <openssl/rand.h>

namespace volume_test {

bool hasSignature(const std::string& stored) {
    return stored.size() >= kHeaderSize && stored.compare(128, 32, kSignature) == 0;
}

uint32_t headerVersion(const std::string& stored) {
    if (stored.size() < 164) return 0;
    auto byte = [&](std::size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(stored[i])); };
    return byte(160) << 24 | byte(161) << 16 | byte(162) << 8 | byte(163);
}

std::string randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count));
    return bytes;
}

}  // namespace volume_test
