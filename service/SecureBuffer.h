#pragma once

#include <openssl/crypto.h>

#include <string>
#include <string_view>

namespace tolvarin::service {

// Holds a secret (a password, a verifier) and wipes it when released, so no copy of it
// lingers in freed memory.
class SecureBuffer {
public:
    SecureBuffer() = default;
    explicit SecureBuffer(std::string_view text) : text_(text) {}
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;
    SecureBuffer(SecureBuffer&& other) noexcept : text_(std::move(other.text_)) { other.wipe(); }
    SecureBuffer& operator=(SecureBuffer&& other) noexcept
    {
        if (this != &other) {
            wipe();
            text_ = std::move(other.text_);
            other.wipe();
        }
        return *this;
    }
    ~SecureBuffer() { wipe(); }

    std::string_view view() const { return text_; }
    bool empty() const { return text_.empty(); }
    void append(std::string_view more)
    {
        // Grow by hand so that reallocation never leaves a copy behind unwiped.
        SecureBuffer grown;
        grown.text_.reserve(text_.size() + more.size());
        grown.text_.append(text_).append(more);
        *this = std::move(grown);
    }

private:
    void wipe()
    {
        if (!text_.empty())
            OPENSSL_cleanse(text_.data(), text_.size());
        text_.clear();
    }

    std::string text_;
};

}  // namespace tolvarin::service
