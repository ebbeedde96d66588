#pragma once

#include <cstddef>

// Heap bytes for secrets: zero-filled on creation, optionally locked into memory,
// and wiped with OPENSSL_cleanse before release.
class SecureBuffer {
public:
    explicit SecureBuffer(std::size_t size = 0, bool lockInMemory = false);
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;
    SecureBuffer(SecureBuffer&& other) noexcept;
    SecureBuffer& operator=(SecureBuffer&& other) noexcept;
    ~SecureBuffer();

    unsigned char* data() { return _data; }
    const unsigned char* data() const { return _data; }
    std::size_t size() const { return _size; }
    void wipe();

private:
    void release();

    unsigned char* _data = nullptr;
    std::size_t _size = 0;
    bool _locked = false;
};
