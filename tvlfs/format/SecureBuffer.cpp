#include "SecureBuffer.h"

#include <openssl/crypto.h>
#include <sys/mman.h>

#include <cstring>
#include <new>
#include <utility>

SecureBuffer::SecureBuffer(std::size_t size, bool lockInMemory) : _size(size) {
    if (size == 0) return;
    _data = static_cast<unsigned char*>(OPENSSL_malloc(size));
    if (_data == nullptr) throw std::bad_alloc();
    std::memset(_data, 0, size);
    // Keeping secrets out of swap is best effort: a failed lock is not an error.
    _locked = lockInMemory && ::mlock(_data, size) == 0;
}

SecureBuffer::SecureBuffer(SecureBuffer&& other) noexcept
    : _data(std::exchange(other._data, nullptr)),
      _size(std::exchange(other._size, 0)),
      _locked(std::exchange(other._locked, false)) {}

SecureBuffer& SecureBuffer::operator=(SecureBuffer&& other) noexcept {
    if (this != &other) {
        release();
        _data = std::exchange(other._data, nullptr);
        _size = std::exchange(other._size, 0);
        _locked = std::exchange(other._locked, false);
    }
    return *this;
}

SecureBuffer::~SecureBuffer() { release(); }

void SecureBuffer::wipe() {
    if (_data != nullptr) OPENSSL_cleanse(_data, _size);
}

void SecureBuffer::release() {
    if (_data == nullptr) return;
    OPENSSL_cleanse(_data, _size);
    if (_locked) ::munlock(_data, _size);
    OPENSSL_free(_data);
    _data = nullptr;
    _size = 0;
    _locked = false;
}
