#include "BlockFileIO.h"

#include <algorithm>
#include <cstring>

#include "Assert.h"
#include "BlockLayout.h"
#include "MemoryPool.h"

using BlockLayout::blockNumber;
using BlockLayout::blockStart;
using BlockLayout::offsetInBlock;

namespace {

// A pool block borrowed for the duration of one call, taken on first use.
class ScratchBlock {
public:
    explicit ScratchBlock(int size) : _size(size) {}
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;
    ~ScratchBlock() {
        if (block.data != nullptr) MemoryPool::release(block);
    }

    unsigned char* zeroed() {
        if (block.data == nullptr) block = MemoryPool::allocate(_size);
        std::memset(block.data, 0, static_cast<size_t>(_size));
        return block.data;
    }
    unsigned char* data() {
        if (block.data == nullptr) block = MemoryPool::allocate(_size);
        return block.data;
    }

private:
    int _size;
    MemBlock block;
};

}  // namespace

BlockFileIO::BlockFileIO(int blockSize, bool allowHoles)
    : _blockSize(blockSize), _allowHoles(allowHoles) {
    rAssert(_blockSize > 1);
    cacheData = SecureBuffer(static_cast<size_t>(_blockSize));
}

BlockFileIO::~BlockFileIO() = default;

int BlockFileIO::blockSize() const { return _blockSize; }

void BlockFileIO::clearCache() {
    cacheData.wipe();
    cacheLength = 0;
}

ssize_t BlockFileIO::cacheReadOneBlock(const IORequest& req) {
    if (req.offset == cacheOffset && cacheLength > 0) {
        const int length = std::min(req.length, cacheLength);
        std::memcpy(req.data, cacheData.data(), static_cast<size_t>(length));
        return length;
    }
    if (cacheLength > 0) clearCache();

    IORequest blockReq{req.offset, _blockSize, cacheData.data()};
    const ssize_t result = readOneBlock(blockReq);
    if (result <= 0) return result;
    cacheOffset = req.offset;
    cacheLength = static_cast<int>(result);
    const int length = std::min(req.length, cacheLength);
    std::memcpy(req.data, cacheData.data(), static_cast<size_t>(length));
    return length;
}

bool BlockFileIO::cacheWriteOneBlock(const IORequest& req) {
    // The cache keeps the plain form, so it is filled before the lower layer sees the data.
    clearCache();
    std::memcpy(cacheData.data(), req.data, static_cast<size_t>(req.length));
    cacheOffset = req.offset;
    cacheLength = req.length;
    const bool ok = writeOneBlock(req);
    if (!ok) clearCache();
    return ok;
}

ssize_t BlockFileIO::read(const IORequest& req) {
    rAssert(_blockSize != 0);
    int partialOffset = offsetInBlock(req.offset, _blockSize);
    int64_t blockNum = blockNumber(req.offset, _blockSize);
    if (partialOffset == 0 && req.length <= _blockSize) return cacheReadOneBlock(req);

    ScratchBlock scratch(_blockSize);
    int remaining = req.length;
    unsigned char* out = req.data;
    ssize_t result = 0;
    while (remaining > 0) {
        IORequest blockReq{blockStart(blockNum, _blockSize), _blockSize, nullptr};
        const bool inPlace = partialOffset == 0 && remaining >= _blockSize;
        blockReq.data = inPlace ? out : scratch.data();

        const ssize_t readSize = cacheReadOneBlock(blockReq);
        // An error before any byte was read is the read's error, not an end of file.
        if (readSize < 0 && result == 0) return readSize;
        if (readSize <= partialOffset) break;  // end of file, or an error on a later block

        const int cpySize = std::min(remaining, static_cast<int>(readSize) - partialOffset);
        rAssert(cpySize <= readSize);
        if (!inPlace) std::memcpy(out, blockReq.data + partialOffset, static_cast<size_t>(cpySize));

        result += cpySize;
        remaining -= cpySize;
        out += cpySize;
        ++blockNum;
        partialOffset = 0;
        if (readSize < _blockSize) break;
    }
    return result;
}

bool BlockFileIO::write(const IORequest& req) {
    rAssert(_blockSize != 0);
    // Writing nothing changes nothing; an empty file must not gain a header for it.
    if (req.length <= 0) return true;
    const int64_t fileSize = getSize();
    if (fileSize < 0) return false;

    int64_t blockNum = blockNumber(req.offset, _blockSize);
    int partialOffset = offsetInBlock(req.offset, _blockSize);
    const int64_t lastFileBlock = blockNumber(fileSize, _blockSize);
    const int lastBlockSize = offsetInBlock(fileSize, _blockSize);
    const int64_t lastNonEmptyBlock = lastBlockSize == 0 ? lastFileBlock - 1 : lastFileBlock;

    if (req.offset > fileSize) padFile(fileSize, req.offset, false);

    if (partialOffset == 0 && req.length <= _blockSize &&
        (req.length == _blockSize || (blockNum == lastFileBlock && req.length >= lastBlockSize)))
        return cacheWriteOneBlock(req);

    ScratchBlock scratch(_blockSize);
    int remaining = req.length;
    unsigned char* in = req.data;
    while (remaining > 0) {
        const int toCopy = std::min(remaining, _blockSize - partialOffset);
        IORequest blockReq{blockStart(blockNum, _blockSize), toCopy, in};
        const bool reachesEnd = partialOffset == 0 && blockReq.offset + toCopy >= fileSize;
        if (toCopy != _blockSize && !reachesEnd) {
            // Read-modify-write of a partial block.
            blockReq.data = scratch.zeroed();
            if (blockNum <= lastNonEmptyBlock) {
                blockReq.length = _blockSize;
                const ssize_t readSize = cacheReadOneBlock(blockReq);
                blockReq.length = std::max(partialOffset + toCopy, static_cast<int>(readSize));
            } else {
                blockReq.length = partialOffset + toCopy;
            }
            std::memcpy(blockReq.data + partialOffset, in, static_cast<size_t>(toCopy));
        }
        if (!cacheWriteOneBlock(blockReq)) return false;
        remaining -= toCopy;
        in += toCopy;
        ++blockNum;
        partialOffset = 0;
    }
    return true;
}

bool BlockFileIO::padFile(int64_t oldSize, int64_t newSize, bool forceWrite) {
    const int64_t oldLastBlock = blockNumber(oldSize, _blockSize);
    const int64_t newLastBlock = blockNumber(newSize, _blockSize);
    const int newBlockSize = offsetInBlock(newSize, _blockSize);
    const int oldBlockSize = offsetInBlock(oldSize, _blockSize);
    ScratchBlock scratch(_blockSize);
    bool ok = true;

    if (oldLastBlock == newLastBlock) {
        if (forceWrite && newBlockSize != 0) {
            IORequest req{blockStart(oldLastBlock, _blockSize), oldBlockSize, scratch.zeroed()};
            cacheReadOneBlock(req);
            req.length = newBlockSize;
            ok = cacheWriteOneBlock(req);
        } else {
            rDebug("optimization: not padding last block");
        }
        return ok;
    }

    int64_t blockNum = oldLastBlock;
    if (oldBlockSize != 0) {
        rDebug("padding block %lli", static_cast<long long>(oldLastBlock));
        IORequest req{blockStart(oldLastBlock, _blockSize), oldBlockSize, scratch.zeroed()};
        cacheReadOneBlock(req);
        req.length = _blockSize;
        ok = cacheWriteOneBlock(req) && ok;
        ++blockNum;
    }
    if (!_allowHoles) {
        for (; blockNum < newLastBlock; ++blockNum) {
            rDebug("padding block %lli", static_cast<long long>(blockNum));
            IORequest req{blockStart(blockNum, _blockSize), _blockSize, scratch.zeroed()};
            ok = cacheWriteOneBlock(req) && ok;
        }
    }
    if (forceWrite && newBlockSize != 0) {
        IORequest req{blockStart(newLastBlock, _blockSize), newBlockSize, scratch.zeroed()};
        ok = cacheWriteOneBlock(req) && ok;
    }
    return ok;
}

int BlockFileIO::truncate(int64_t size, FileIO* base) {
    // A cached block may lie beyond the new end; it must not answer later reads.
    clearCache();
    const int64_t oldSize = getSize();

    if (size > oldSize) {
        if (base != nullptr) base->truncate(size);
        padFile(oldSize, size, true);
        return 0;
    }
    if (size == oldSize) return 0;

    const int partialBlock = offsetInBlock(size, _blockSize);
    if (partialBlock == 0) return base != nullptr ? base->truncate(size) : 0;

    ScratchBlock scratch(_blockSize);
    IORequest req{blockStart(blockNumber(size, _blockSize), _blockSize), _blockSize,
                  scratch.zeroed()};
    const ssize_t readSize = cacheReadOneBlock(req);
    const int result = base != nullptr ? base->truncate(size) : 0;
    req.length = partialBlock;
    const bool written = readSize >= 0 && cacheWriteOneBlock(req);
    if (!written)
        rWarning("truncate failure: read %i bytes, partial block of %i", static_cast<int>(readSize),
                 partialBlock);
    return result;
}
