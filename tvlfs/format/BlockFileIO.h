#pragma once

#include "FileIO.h"
#include "SecureBuffer.h"

// Turns arbitrary byte ranges into whole-block requests for the layer below, keeping the
// plain form of the last block read or written, padding grown files and truncating inside a block.
class BlockFileIO : public FileIO {
public:
    BlockFileIO(int blockSize, bool allowHoles);
    ~BlockFileIO() override;

    int blockSize() const override;
    ssize_t read(const IORequest& req) override;
    bool write(const IORequest& req) override;
    using FileIO::truncate;

protected:
    // Truncates the block data; base, when given, is truncated to size as well.
    int truncate(int64_t size, FileIO* base);

    // Zero-fills from oldSize up to newSize.
    bool padFile(int64_t oldSize, int64_t newSize, bool forceWrite);

    // Called with block-aligned offsets and at most one block.
    virtual ssize_t readOneBlock(const IORequest& req) = 0;
    virtual bool writeOneBlock(const IORequest& req) = 0;

    ssize_t cacheReadOneBlock(const IORequest& req);
    bool cacheWriteOneBlock(const IORequest& req);

    int _blockSize;
    bool _allowHoles;

private:
    void clearCache();

    int64_t cacheOffset = 0;
    int cacheLength = 0;
    SecureBuffer cacheData;
};
