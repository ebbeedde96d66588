#pragma once

// A scratch buffer lent by the pool; internalData identifies its pool entry.
struct MemBlock {
    unsigned char* data = nullptr;
    void* internalData = nullptr;
};

// Process-wide free list of scratch buffers; released buffers are wiped before reuse.
class MemoryPool {
public:
    // A buffer of at least size bytes (first fit from the free list, else a new one).
    static MemBlock allocate(int size);
    static void release(const MemBlock& block);
    static void destroyAll();
};
