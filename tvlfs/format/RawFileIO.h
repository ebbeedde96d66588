#pragma once

#include <string>

#include "FileIO.h"

// The stored file itself, through pread/pwrite on a descriptor it keeps until destruction.
class RawFileIO : public FileIO {
public:
    RawFileIO();
    explicit RawFileIO(const std::string& fileName);
    ~RawFileIO() override;

    rel::Interface interface() const override;

    void setFileName(const char* fileName) override;
    const char* getFileName() const override;

    // Only whether writing is wanted (O_WRONLY or O_RDWR) is taken from flags.
    int open(int flags) override;
    int getAttr(struct stat* stbuf) override;
    int64_t getSize() override;
    ssize_t read(const IORequest& req) override;
    bool write(const IORequest& req) override;
    int truncate(int64_t size) override;

    bool isWritable() const override;
    bool isOpen() const override;

private:
    std::string name;
    bool knownSize = false;
    int64_t fileSize = 0;
    int fd = -1;
    int oldfd = -1;
    bool canWrite = false;
};
