#pragma once

#include <memory>

// Base of every key object; a key is always handled through a shared CipherKey handle,
// and an empty handle means "no key".
class AbstractCipherKey {
public:
    AbstractCipherKey() = default;
    AbstractCipherKey(const AbstractCipherKey&) = delete;
    AbstractCipherKey& operator=(const AbstractCipherKey&) = delete;
    virtual ~AbstractCipherKey();
};

using CipherKey = std::shared_ptr<AbstractCipherKey>;
