#include "FuseSupport.h"

#include <cerrno>
#include <cstring>

#include "Assert.h"
#include "DirNode.h"
#include "FileNode.h"
#include "VolumeContext.h"

VolumeContext* requestContext() {
    return static_cast<VolumeContext*>(fuse_get_context()->private_data);
}

int withFileNode(const char* opName, const char* path, fuse_file_info* fi,
                 const std::function<int(FileNode&)>& action) {
    VolumeContext* ctx = requestContext();
    int res = -EIO;
    std::shared_ptr<DirNode> root = ctx->getRoot(&res);
    if (!root) return res;
    try {
        std::shared_ptr<FileNode> fnode;
        if (fi != nullptr && fi->fh != 0)
            fnode = VolumeContext::getNode(reinterpret_cast<VolumeContext::Placeholder*>(fi->fh));
        else
            fnode = root->lookupNode(path, opName);
        rAssert(fnode != nullptr);
        rInfo("%s %s", opName, fnode->cipherName());
        res = action(*fnode);
        if (res < 0) rInfo("%s error: %s", opName, strerror(-res));
    } catch (const rlog::Error& err) {
        rError("error caught in %s: %s", opName, err.message());
        res = -EIO;
    } catch (const std::exception& err) {
        rError("error caught in %s: %s", opName, err.what());
        res = -EIO;
    }
    return res;
}

int withCipherPath(const char* opName, const char* path,
                   const std::function<int(const std::string& cipherPath)>& action,
                   bool passReturnCode) {
    VolumeContext* ctx = requestContext();
    int res = -EIO;
    std::shared_ptr<DirNode> root = ctx->getRoot(&res);
    if (!root) return res;
    try {
        std::string cyName = root->cipherPath(path);
        rInfo("%s %s", opName, cyName.c_str());
        res = action(cyName);
        if (res == -1) {
            res = -errno;
            rInfo("%s error: %s", opName, strerror(-res));
        } else if (!passReturnCode) {
            res = 0;
        }
    } catch (const rlog::Error& err) {
        rError("error caught in %s: %s", opName, err.message());
        res = -EIO;
    }
    return res;
}

std::string plainLinkTarget(DirNode& root, const std::string& storedTarget) {
    std::string target = root.plainPath(storedTarget.c_str());
    if (!target.empty() && storedTarget[0] == '/' && target[0] != '/') target = "/" + target;
    return target;
}
