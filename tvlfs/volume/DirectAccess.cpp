// File information for the desktop side, read from headers without the mount point.
#include <fcntl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Assert.h"
#include "CurrentVolume.h"
#include "DirNode.h"
#include "FileNode.h"
#include "FileUtils.h"
#include "VolumeContext.h"
#include "tvlfs.h"

namespace {

std::mutex gDecipherableLock;

constexpr int kHeaderSize = 512;

}  // namespace

extern "C" int tvlfs_get_file_info(const char* path, bool* isEncrypted, unsigned* version,
                                   char** userId, char** shekId) {
    *isEncrypted = false;
    *version = 0;
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    int errorCode = 0;
    std::shared_ptr<DirNode> root = ctx ? ctx->getRoot(&errorCode) : nullptr;
    if (!root) {
        rError("Filesystem not initialized");
        return -1;
    }
    std::string relative = stripRootDir(ctx->rootCipherDirectory(), unixify(path));
    std::shared_ptr<FileNode> node = root->getOSXNode(relative, false);
    if (!node) {
        rError("Unable to create read node for '%s'", path);
        return -1;
    }
    unsigned headerVersion = 0;
    std::string user, shareKey;
    if (node->getFileInfo(headerVersion, user, shareKey)) {
        *isEncrypted = true;
        *version = headerVersion;
        if (!user.empty()) *userId = strdup(user.c_str());
        if (!shareKey.empty()) *shekId = strdup(shareKey.c_str());
    }
    return 0;
}

extern "C" int tvlfs_is_decipherable_file(const char* path, bool* decipherable) {
    std::lock_guard<std::mutex> lock(gDecipherableLock);
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    int errorCode = 0;
    std::shared_ptr<DirNode> root = ctx ? ctx->getRoot(&errorCode) : nullptr;
    if (!root) {
        rError("Filesystem not initialized");
        return 1;
    }
    int result = 0;
    std::shared_ptr<FileNode> node;
    try {
        node = root->openNode(path, "tvlfsctl", O_RDONLY, &result);
    } catch (const rlog::Error&) {
        node.reset();
    }
    if (!node) {
        node = root->directLookup(path);
        result = node->open(O_RDONLY);
        if (result < 0) {
            rError("%s: exiting directloopup", "tvlfs_is_decipherable_file");
            return result;
        }
    }
    unsigned char buffer[kHeaderSize] = {};
    node->read(0, buffer, kHeaderSize);
    *decipherable = node->isDecipherableCipherText();
    rDebug("%s: done read", "tvlfs_is_decipherable_file");
    return 0;
}
