// Attribute handlers: stat, mode, owner, size, times and the volume's statistics.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "Assert.h"
#include "DirNode.h"
#include "FileNode.h"
#include "FuseOperations.h"
#include "FuseSupport.h"
#include "VolumeContext.h"

int vol_getattr(const char* path, struct stat* stbuf, fuse_file_info* fi) {
    return withFileNode("getattr", path, fi, [&](FileNode& node) {
        int res = node.getAttr(stbuf);
        if (res == 0 && S_ISLNK(stbuf->st_mode)) {
            std::vector<char> buffer(static_cast<std::size_t>(stbuf->st_size) + 1);
            ssize_t length = readlink(node.cipherName(), buffer.data(), buffer.size() - 1);
            if (length < 0) return -errno;
            int errorCode = -EIO;
            std::shared_ptr<DirNode> root = requestContext()->getRoot(&errorCode);
            if (!root) return errorCode;
            std::string target =
                plainLinkTarget(*root, std::string(buffer.data(), static_cast<std::size_t>(length)));
            if (!target.empty()) stbuf->st_size = static_cast<off_t>(target.size());
        }
        return res;
    });
}

int vol_chmod(const char* path, mode_t mode, fuse_file_info*) {
    return withCipherPath("chmod", path,
                          [&](const std::string& cyName) { return chmod(cyName.c_str(), mode); });
}

int vol_chown(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
    return withCipherPath("chown", path,
                          [&](const std::string& cyName) { return lchown(cyName.c_str(), uid, gid); });
}

int vol_truncate(const char* path, off_t size, fuse_file_info* fi) {
    return withFileNode("truncate", path, fi, [&](FileNode& node) { return node.truncate(size); });
}

// utimensat keeps nanoseconds and honours UTIME_NOW and UTIME_OMIT (touch -a, touch -m).
int vol_utimens(const char* path, const struct timespec ts[2], fuse_file_info*) {
    return withCipherPath("utimens", path, [&](const std::string& cyName) {
        return utimensat(AT_FDCWD, cyName.c_str(), ts, AT_SYMLINK_NOFOLLOW);
    });
}

int vol_statfs(const char*, struct statvfs* st) {
    VolumeContext* ctx = requestContext();
    rAssert(st != nullptr);
    std::string cyName = ctx->rootCipherDirectory();
    rInfo("doing statfs of %s", cyName.c_str());
    if (statvfs(cyName.c_str(), st) != 0) return -errno;
    st->f_namemax = 6 * (st->f_namemax - 2) / 8;
    return 0;
}
