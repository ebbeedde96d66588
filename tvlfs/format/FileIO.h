#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include "CipherKey.h"
#include "Interface.h"

// One transfer between a caller's buffer and a file layer.
struct IORequest {
    int64_t offset = 0;
    int length = 0;
    unsigned char* data = nullptr;
};

// The interface every file layer (raw, block, cipher) shares.
class FileIO {
public:
    FileIO() = default;
    FileIO(const FileIO&) = delete;
    FileIO& operator=(const FileIO&) = delete;
    virtual ~FileIO();

    virtual rel::Interface interface() const = 0;
    virtual int blockSize() const;

    virtual void setFileName(const char* fileName) = 0;
    virtual const char* getFileName() const = 0;
    virtual bool setIV(uint64_t iv);

    // A descriptor >= 0, or -errno.
    virtual int open(int flags) = 0;
    virtual int getAttr(struct stat* stbuf) = 0;
    // -1 on failure.
    virtual int64_t getSize() = 0;
    // Bytes read, or negative.
    virtual ssize_t read(const IORequest& req) = 0;
    // True when every byte was written.
    virtual bool write(const IORequest& req) = 0;
    virtual int truncate(int64_t size) = 0;

    virtual bool isWritable() const = 0;
    virtual bool isOpen() const = 0;

    // For the encrypted layer; elsewhere no key and nothing to update.
    virtual CipherKey getFek();
    virtual bool updateCipherHeader(bool rewriteUserEntry);
};
