#include "RawFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Assert.h"

namespace {

const rel::Interface RawFileIOInterface("FileIO/Raw", 1, 0, 0);

bool wantsWrite(int flags) { return (flags & O_WRONLY) != 0 || (flags & O_RDWR) != 0; }

// Opens a file the owner may not write to by granting owner read/write for the moment of the
// open and putting the mode back whatever the result.
int openWithPermissionWorkaround(const std::string& name, int openFlags) {
    rDebug("using readonly workaround for open");
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0) {
        const int error = errno;
        rInfo("can't stat file %s", name.c_str());
        errno = error;
        return -1;
    }
    ::chmod(name.c_str(), st.st_mode | 0600);
    const int fd = ::open(name.c_str(), openFlags);
    const int error = errno;
    ::chmod(name.c_str(), st.st_mode);
    errno = error;
    return fd;
}

}  // namespace

RawFileIO::RawFileIO() = default;

RawFileIO::RawFileIO(const std::string& fileName) : name(fileName) {}

RawFileIO::~RawFileIO() {
    if (oldfd >= 0) ::close(oldfd);
    if (fd >= 0) ::close(fd);
}

rel::Interface RawFileIO::interface() const { return RawFileIOInterface; }

void RawFileIO::setFileName(const char* fileName) { name = fileName; }

const char* RawFileIO::getFileName() const { return name.c_str(); }

int RawFileIO::open(int flags) {
    const bool requestWrite = wantsWrite(flags);
    rDebug("open call for %s file %s", requestWrite ? "writable" : "read only", name.c_str());
    if (fd >= 0 && (canWrite || !requestWrite)) {
        rDebug("using existing file descriptor");
        return fd;
    }
    const int openFlags = requestWrite ? O_RDWR : O_RDONLY;
    int newFd = ::open(name.c_str(), openFlags);
    rDebug("open file with flags %i, result = %i", openFlags, newFd);
    if (newFd < 0 && errno == EACCES) newFd = openWithPermissionWorkaround(name, openFlags);
    if (newFd < 0) {
        const int error = errno;
        rError("::open error: %s", std::strerror(error));
        rError("file %s open failure: %i", name.c_str(), -error);
        return -error;
    }
    if (oldfd >= 0) {
        rError("leaking FD?: oldfd = %i, fd = %i, newfd = %i", oldfd, fd, newFd);
        // Only the descriptor just replaced stays reachable; an older one would leak.
        ::close(oldfd);
    }
    canWrite = requestWrite;
    oldfd = fd;
    fd = newFd;
    return fd;
}

int RawFileIO::getAttr(struct stat* stbuf) {
    if (::lstat(name.c_str(), stbuf) != 0) {
        const int error = errno;
        rInfo("getAttr error on %s: %s", name.c_str(), std::strerror(error));
        return -error;
    }
    return 0;
}

int64_t RawFileIO::getSize() {
    if (knownSize) return fileSize;
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0) return -1;
    fileSize = st.st_size;
    knownSize = true;
    return fileSize;
}

ssize_t RawFileIO::read(const IORequest& req) {
    if (fd < 0) {
        rError("Attempt to read with invalid file descriptor");
        return -1;
    }
    const ssize_t result = ::pread(fd, req.data, static_cast<size_t>(req.length), req.offset);
    if (result < 0) {
        rInfo("read failed at offset %lli for %i bytes: %s", static_cast<long long>(req.offset),
              req.length, std::strerror(errno));
    }
    return result;
}

bool RawFileIO::write(const IORequest& req) {
    rAssert(fd >= 0);
    rAssert(true == canWrite);
    constexpr int MaxAttempts = 10;
    const unsigned char* data = req.data;
    int64_t offset = req.offset;
    size_t remaining = static_cast<size_t>(req.length);
    for (int attempt = 0; attempt < MaxAttempts && remaining > 0; ++attempt) {
        const ssize_t written = ::pwrite(fd, data, remaining, offset);
        if (written < 0) {
            knownSize = false;
            rInfo("write failed at offset %lli for %i bytes: %s", static_cast<long long>(offset),
                  static_cast<int>(remaining), std::strerror(errno));
            return false;
        }
        data += written;
        offset += written;
        remaining -= static_cast<size_t>(written);
    }
    if (remaining > 0) {
        rError("Write error: wrote %i bytes of %i, max retries reached\n",
               req.length - static_cast<int>(remaining), req.length);
        knownSize = false;
        return false;
    }
    if (knownSize && req.offset + req.length > fileSize) fileSize = req.offset + req.length;
    return true;
}

int RawFileIO::truncate(int64_t size) {
    const int result = (fd >= 0 && canWrite) ? ::ftruncate(fd, size) : ::truncate(name.c_str(), size);
    if (result != 0) {
        const int error = errno;
        rInfo("truncate failed for %s (%i) size %lli, error %s", name.c_str(), fd,
              static_cast<long long>(size), std::strerror(error));
        knownSize = false;
        return -error;
    }
    fileSize = size;
    knownSize = true;
    return 0;
}

bool RawFileIO::isWritable() const { return canWrite; }

bool RawFileIO::isOpen() const { return fd >= 0; }
