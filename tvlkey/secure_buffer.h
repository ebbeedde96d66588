#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <vector>

namespace tvlkey {

// Holds key material and wipes it when released, so no secret outlives its use.
class SecureBuffer {
public:
    explicit SecureBuffer(std::size_t size = 0) : bytes_(size, 0) {}
    SecureBuffer(const unsigned char* data, std::size_t size) : bytes_(data, data + size) {}
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;
    SecureBuffer(SecureBuffer&&) = default;
    SecureBuffer& operator=(SecureBuffer&&) = default;
    ~SecureBuffer() { wipe(); }

    unsigned char* data() { return bytes_.data(); }
    const unsigned char* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    int length() const { return static_cast<int>(bytes_.size()); }

private:
    void wipe()
    {
        if (!bytes_.empty())
            OPENSSL_cleanse(bytes_.data(), bytes_.size());
    }

    std::vector<unsigned char> bytes_;
};

}  // namespace tvlkey
