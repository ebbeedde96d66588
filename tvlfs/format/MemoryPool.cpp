#include "MemoryPool.h"

#include <openssl/crypto.h>

#include <cstdlib>

#include "Mutex.h"

namespace {

struct BlockList {
    BlockList* next = nullptr;
    int size = 0;
    unsigned char* data = nullptr;
};

Mutex poolMutex;
BlockList* freeList = nullptr;

}  // namespace

MemBlock MemoryPool::allocate(int size) {
    BlockList* block = nullptr;
    {
        Lock lock(poolMutex);
        BlockList* previous = nullptr;
        for (BlockList* candidate = freeList; candidate != nullptr; candidate = candidate->next) {
            if (candidate->size >= size) {
                (previous != nullptr ? previous->next : freeList) = candidate->next;
                block = candidate;
                break;
            }
            previous = candidate;
        }
    }
    if (block == nullptr) {
        block = new BlockList;
        block->size = size;
        block->data = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(size), 1));
    }
    block->next = nullptr;
    return MemBlock{block->data, block};
}

void MemoryPool::release(const MemBlock& memBlock) {
    auto* block = static_cast<BlockList*>(memBlock.internalData);
    if (block == nullptr) return;
    Lock lock(poolMutex);
    OPENSSL_cleanse(block->data, static_cast<size_t>(block->size));
    block->next = freeList;
    freeList = block;
}

void MemoryPool::destroyAll() {
    BlockList* blocks = nullptr;
    {
        Lock lock(poolMutex);
        blocks = freeList;
        freeList = nullptr;
    }
    while (blocks != nullptr) {
        BlockList* next = blocks->next;
        std::free(blocks->data);
        delete blocks;
        blocks = next;
    }
}
