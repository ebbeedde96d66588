// Open-file handlers: open, read, write, flush, sync and release.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Assert.h"
#include "DirNode.h"
#include "FileNode.h"
#include "FileUtils.h"
#include "FuseOperations.h"
#include "FuseSupport.h"
#include "VolumeContext.h"

namespace {

VolumeContext::Placeholder* placeholderOf(const fuse_file_info* fi) {
    return reinterpret_cast<VolumeContext::Placeholder*>(fi->fh);
}

}  // namespace

int vol_open(const char* path, fuse_file_info* fi) {
    VolumeContext* ctx = requestContext();
    int res = -EIO;
    std::shared_ptr<DirNode> root = ctx->getRoot(&res);
    if (!root) return res;
    try {
        std::shared_ptr<FileNode> fnode = root->openNode(path, "open", fi->flags, &res);
        if (fnode) rInfo("vol_open for %s, flags %i", fnode->cipherName(), fi->flags);
        if (res >= 0) {
            fi->fh = reinterpret_cast<uint64_t>(ctx->putNode(path, fnode));
            rDebug("%s for %s: fh %d", "vol_open", path, static_cast<int>(fi->fh));
            return 0;
        }
    } catch (const rlog::Error& err) {
        rError("error caught in open: %s", err.message());
        res = -EIO;
    }
    return res;
}

int vol_read(const char* path, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    int res = withFileNode("read", path, fi, [&](FileNode& node) {
        ssize_t count = node.read(offset, reinterpret_cast<unsigned char*>(buf), static_cast<int>(size));
        // A block that fails to decode reports -1, which is no errno of a read.
        return count == -1 ? -EIO : static_cast<int>(count);
    });
    VolumeContext* ctx = requestContext();
    if (res == -EIO && strstr(path, ".DS_Store") == nullptr && ctx->mount.notify)
        ctx->mount.notify(lastPathElement(path).c_str(), "File could not be decrypted");
    return res;
}

int vol_write(const char* path, const char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    return withFileNode("write", path, fi, [&](FileNode& node) {
        // The block layer codes the caller's bytes in place; this buffer is ours until we return.
        bool written = node.write(offset, reinterpret_cast<unsigned char*>(const_cast<char*>(buf)),
                                  static_cast<int>(size));
        return written ? static_cast<int>(size) : -EIO;
    });
}

int vol_flush(const char* path, fuse_file_info* fi) {
    return withFileNode("flush", path, fi, [](FileNode& node) {
        int fd = node.open(O_RDONLY);
        if (fd < 0) return fd;
        int duplicate = dup(fd);
        if (duplicate == -1) return -errno;
        return close(duplicate) == -1 ? -errno : 0;
    });
}

int vol_release(const char* path, fuse_file_info* fi) {
    VolumeContext* ctx = requestContext();
    try {
        rInfo("%s: Erasing FileNode %s", "vol_release", path);
        ctx->eraseNode(path, placeholderOf(fi));
        return 0;
    } catch (const rlog::Error& err) {
        rError("release error: %s", err.message());
        return -EIO;
    }
}

int vol_fsync(const char* path, int datasync, fuse_file_info* fi) {
    return withFileNode("fsync", path, fi, [&](FileNode& node) { return node.sync(datasync != 0); });
}
