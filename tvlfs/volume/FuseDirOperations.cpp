// Directory and name handlers: listing, creation, removal, renaming and links.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "Assert.h"
#include "DirNode.h"
#include "FileNode.h"
#include "FileUtils.h"
#include "FuseOperations.h"
#include "FuseSupport.h"
#include "VolumeArgs.h"
#include "VolumeContext.h"

namespace {

// Runs an operation of the root directory node, with its errors as -errno.
template <typename Action>
int withRoot(const Action& action) {
    int res = -EIO;
    std::shared_ptr<DirNode> root = requestContext()->getRoot(&res);
    if (!root) return res;
    try {
        return action(*root);
    } catch (const rlog::Error& err) {
        rError("error caught: %s", err.message());
        return -EIO;
    }
}

}  // namespace

int vol_readlink(const char* path, char* buf, size_t size) {
    return withCipherPath("readlink", path, [&](const std::string& cyName) {
        if (size == 0) {
            errno = EINVAL;
            return -1;
        }
        std::vector<char> raw(size);
        ssize_t length = readlink(cyName.c_str(), raw.data(), size - 1);
        if (length < 0) return -1;
        std::string storedTarget(raw.data(), static_cast<std::size_t>(length));
        int res = -EIO;
        std::shared_ptr<DirNode> root = requestContext()->getRoot(&res);
        std::string rootDir = root ? root->rootDirectory() : std::string();
        rDebug("%s: from: %s, root: %s, tmpStr: %s", "_do_readlink", storedTarget.c_str(),
               rootDir.c_str(), storedTarget.substr(0, rootDir.size()).c_str());
        std::string target = root ? plainLinkTarget(*root, storedTarget) : std::string();
        if (target.empty()) {
            rWarning("Error decoding link");
            errno = EIO;
            return -1;
        }
        std::size_t copied = std::min(target.size(), size - 1);
        memcpy(buf, target.data(), copied);
        buf[copied] = '\0';
        return 0;
    });
}

int vol_readdir(const char* path, void* buf, fuse_fill_dir_t filler, off_t, fuse_file_info*,
                fuse_readdir_flags) {
    return withRoot([&](DirNode& root) {
        DirTraverse dt = root.openDir(path);
        rInfo("getdir on %s", root.cipherPath(path).c_str());
        if (!dt.valid()) {
            rInfo("getdir request invalid, path: '%s'", path);
            return 0;
        }
        int fileType = 0;
        ino_t inode = 0;
        for (std::string name = dt.nextPlaintextName(&fileType, &inode); !name.empty();
             name = dt.nextPlaintextName(&fileType, &inode)) {
            struct stat st {};
            st.st_ino = inode;
            st.st_mode = static_cast<mode_t>(fileType << 12);
            rInfo("getdir: Path: '%s', File %s", path, name.c_str());
            int res = filler(buf, name.c_str(), &st, 0, static_cast<fuse_fill_dir_flags>(0));
            if (res != 0) return res;
        }
        return 0;
    });
}

int vol_mknod(const char* path, mode_t mode, dev_t rdev) {
    return withRoot([&](DirNode& root) {
        std::shared_ptr<FileNode> node = root.lookupNode(path, "mknod");
        rInfo("mknod on %s, mode %i, dev %lli", node->cipherName(), static_cast<int>(mode),
              static_cast<long long>(rdev));
        return node->mknod(mode, rdev, 0, 0);
    });
}

int vol_mkdir(const char* path, mode_t mode) {
    return withRoot([&](DirNode& root) { return root.mkdir(path, mode, 0, 0); });
}

int vol_unlink(const char* path) {
    return withRoot([&](DirNode& root) { return root.unlink(path); });
}

int vol_rmdir(const char* path) {
    return withCipherPath("rmdir", path, [](const std::string& cyName) {
        deleteDirectoryMetaData(cyName);
        return rmdir(cyName.c_str());
    });
}

int vol_symlink(const char* target, const char* linkPath) {
    return withRoot([&](DirNode& root) {
        std::string rootDir = root.rootDirectory();
        VolumeContext* ctx = requestContext();
        std::string mountPoint = ctx->args ? ctx->args->mountPoint : std::string();
        std::string from = target;
        rDebug("%s: from: %s, root: %s, tmpStr: %s", "vol_symlink", target, rootDir.c_str(),
               from.substr(0, rootDir.size()).c_str());
        auto startsWith = [&](const std::string& prefix) {
            return !prefix.empty() && from.compare(0, prefix.size(), prefix) == 0;
        };
        bool codeTarget = from[0] != '/' || startsWith(rootDir) || startsWith(mountPoint);
        std::string storedTarget = codeTarget ? root.relativeCipherPath(target) : from;
        std::string toCName = root.cipherPath(linkPath);
        rInfo("symlink %s -> %s", storedTarget.c_str(), toCName.c_str());
        return symlink(storedTarget.c_str(), toCName.c_str()) == -1 ? -errno : 0;
    });
}

// Exchanging or refusing to replace needs more than rename(2) offers on the root folder.
int vol_rename(const char* from, const char* to, unsigned int flags) {
    if (flags != 0) return -EINVAL;
    return withRoot([&](DirNode& root) { return root.rename(from, to); });
}

int vol_link(const char* from, const char* to) {
    return withRoot([&](DirNode& root) { return root.link(from, to); });
}
