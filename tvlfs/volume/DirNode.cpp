#include "DirNode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Assert.h"
#include "FileNode.h"
#include "FileUtils.h"
#include "NameIO.h"
#include "VolumeContext.h"

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Keeps a renamed entry's own access and modification times; links are not followed.
void restoreTimes(const std::string& path, const struct stat& st) {
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

DirNode::DirNode(VolumeContext* ctx_, const std::string& rootDir_, std::shared_ptr<FSConfig> cfg) {
    Lock lock(mutex);
    ctx = ctx_;
    rootDir = slashTerminate(rootDir_);
    fsConfig = std::move(cfg);
    naming = fsConfig->nameCoding;
}

DirNode::~DirNode() = default;

std::string DirNode::rootDirectory() const { return rootDir.substr(0, rootDir.size() - 1); }

std::string DirNode::cipherPath(const char* plaintextPath) {
    return rootDir + naming->encodePath(plaintextPath);
}

std::string DirNode::plainPath(const char* cipherPath_) {
    try {
        if (rootDir == cipherPath_) return {};
        if (cipherPath_[0] == '+') {
            std::string rest(cipherPath_ + 1);
            return "/" + naming->decodeName(rest.c_str(), static_cast<int>(rest.size()));
        }
        return naming->decodePath(cipherPath_);
    } catch (const rlog::Error& err) {
        rError("decode err: %s", err.message());
        rWarning("%s", err.message());
        return {};
    }
}

std::string DirNode::relativeCipherPath(const char* plaintextPath) {
    try {
        if (plaintextPath[0] == '/') {
            std::string rest(plaintextPath + 1);
            return "+" + naming->encodeName(rest.c_str(), static_cast<int>(rest.size()));
        }
        return naming->encodePath(plaintextPath);
    } catch (const rlog::Error& err) {
        rError("encode err: %s", err.message());
        rWarning("%s", err.message());
        return {};
    }
}

DirTraverse DirNode::openDir(const char* plaintextPath) {
    std::string cyName = rootDir + naming->encodePath(plaintextPath);
    std::shared_ptr<DIR> dir(opendir(cyName.c_str()), DirCloser());
    if (!dir) {
        rDebug("opendir error %s", strerror(errno));
        return {};
    }
    uint64_t iv = 0;
    if (naming->getChainedNameIV()) {
        try {
            naming->encodePath(plaintextPath, &iv);
        } catch (const rlog::Error& err) {
            rError("encode err: %s", err.message());
        }
    }
    return DirTraverse(dir, iv, naming);
}

std::shared_ptr<FileNode> DirNode::findOrCreate(const char* plainName) {
    if (ctx) {
        if (auto node = ctx->lookupNode(plainName)) return node;
    }
    uint64_t iv = 0;
    std::string cipherName = rootDir + naming->encodePath(plainName, &iv);
    auto node = std::make_shared<FileNode>(this, fsConfig, plainName, cipherName.c_str());
    if (fsConfig->config && fsConfig->config->externalIV) node->setName(nullptr, nullptr, iv, true);
    rInfo("created FileNode for %s", node->cipherName());
    return node;
}

std::shared_ptr<FileNode> DirNode::lookupNode(const char* plainName, const char* /*requester*/) {
    Lock lock(mutex);
    return findOrCreate(plainName);
}

std::shared_ptr<FileNode> DirNode::openNode(const char* plainName, const char* /*requester*/,
                                            int flags, int* result) {
    rAssert(result != nullptr);
    Lock lock(mutex);
    auto node = findOrCreate(plainName);
    *result = node->open(flags);
    return *result < 0 ? nullptr : node;
}

std::shared_ptr<FileNode> DirNode::directLookup(const std::string& cipherPath_) {
    return std::make_shared<FileNode>(this, fsConfig, "unknown", cipherPath_.c_str());
}

std::shared_ptr<FileNode> DirNode::getOSXNode(const std::string& path, bool writable) {
    int flags = writable ? O_RDWR : O_RDONLY;
    int result = 0;
    std::shared_ptr<FileNode> node;
    try {
        node = openNode(path.c_str(), "getOSXNode", flags, &result);
    } catch (const rlog::Error&) {
        node.reset();
    }
    if (!node) {
        node = directLookup(path);
        if (node->open(flags) < 0) {
            rError("%s: exiting directloopup", "getOSXNode");
            return nullptr;
        }
    }
    return node;
}

int DirNode::mkdir(const char* plaintextPath, mode_t mode, uid_t uid, gid_t gid) {
    std::string cyName = rootDir + naming->encodePath(plaintextPath);
    rAssert(!cyName.empty());
    rInfo("mkdir on %s", cyName.c_str());
    gid_t oldGid = 0;
    uid_t oldUid = 0;
    if (gid != 0) {
        oldGid = getegid();
        if (setegid(gid) != 0) gid = 0;
    }
    if (uid != 0) {
        oldUid = geteuid();
        if (seteuid(uid) != 0) uid = 0;
    }
    int result = ::mkdir(cyName.c_str(), mode);
    int error = errno;
    if (uid != 0) (void)seteuid(oldUid);
    if (gid != 0) (void)setegid(oldGid);
    if (result == -1) {
        rWarning("mkdir error on %s mode %i: %s", cyName.c_str(), static_cast<int>(mode),
                 strerror(error));
        return -error;
    }
    return 0;
}

int DirNode::unlink(const char* plaintextName) {
    std::string cyName = naming->encodePath(plaintextName);
    rInfo("unlink %s", cyName.c_str());
    Lock lock(mutex);
    if (ctx && ctx->lookupNode(plaintextName)) {
        rWarning("Refusing to unlink open file: %s, hard_remove option is probably in effect",
                 cyName.c_str());
        return -EBUSY;
    }
    std::string fullName = rootDir + cyName;
    if (::unlink(fullName.c_str()) == -1) {
        int error = errno;
        rError("unlink error for %s: %d, %s", fullName.c_str(), error, strerror(error));
        return -error;
    }
    return 0;
}

int DirNode::link(const char* fromPlaintext, const char* toPlaintext) {
    Lock lock(mutex);
    std::string fromCName = rootDir + naming->encodePath(fromPlaintext);
    std::string toCName = rootDir + naming->encodePath(toPlaintext);
    rAssert(!fromCName.empty());
    rAssert(!toCName.empty());
    rInfo("link %s -> %s", fromCName.c_str(), toCName.c_str());
    if (fsConfig->config && fsConfig->config->externalIV) {
        rInfo("hard links not supported with external IV chaining!");
        return -EPERM;
    }
    return ::link(fromCName.c_str(), toCName.c_str()) == -1 ? -errno : 0;
}

std::shared_ptr<FileNode> DirNode::renameNode(const char* from, const char* to, bool forward) {
    auto node = findOrCreate(from);
    if (!node) return nullptr;
    uint64_t newIV = 0;
    std::string cname = rootDir + naming->encodePath(to, &newIV);
    rInfo("renaming internal node %s -> %s", node->cipherName(), cname.c_str());
    if (!node->setName(to, cname.c_str(), newIV, forward)) {
        rError("renameNode failed");
        throw ERROR("Internal node name change failed!");
    }
    if (ctx) ctx->renameNode(from, to);
    return node;
}

bool DirNode::genRenameList(std::list<RenameEl>& renameList, const char* fromP, const char* toP) {
    uint64_t fromIV = 0, toIV = 0;
    std::string fromCPart = naming->encodePath(fromP, &fromIV);
    std::string toCPart = naming->encodePath(toP, &toIV);
    if (fromIV == toIV) return true;
    std::string sourcePath = rootDir + fromCPart;
    rDebug("opendir %s", sourcePath.c_str());
    std::unique_ptr<DIR, DirCloser> dir(opendir(sourcePath.c_str()));
    if (!dir) return false;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || name == kVolumeConfigName) continue;
        try {
            uint64_t localIV = fromIV;
            std::string plainName = naming->decodePath(name, &localIV);
            localIV = toIV;
            std::string newName = naming->encodePath(plainName, &localIV);
            RenameEl el;
            el.oldCName = sourcePath + "/" + name;
            el.newCName = sourcePath + "/" + newName;
            el.oldPName = std::string(fromP) + "/" + plainName;
            el.newPName = std::string(toP) + "/" + plainName;
            el.isDirectory = isDirectory(el.oldCName);
            if (el.isDirectory && !genRenameList(renameList, el.oldPName.c_str(), el.newPName.c_str()))
                return false;
            rDebug("adding file %s to rename list", el.oldCName.c_str());
            renameList.push_back(std::move(el));
        } catch (const rlog::Error&) {
            rWarning("Aborting rename: error on file: %s", (sourcePath + "/" + name).c_str());
            return false;
        }
    }
    return true;
}

std::shared_ptr<RenameOp> DirNode::newRenameOp(const char* from, const char* to) {
    auto renameList = std::make_shared<std::list<RenameEl>>();
    if (!genRenameList(*renameList, from, to)) {
        rWarning("Error during generation of recursive rename list");
        return nullptr;
    }
    return std::make_shared<RenameOp>(this, renameList);
}

int DirNode::rename(const char* fromPlaintext, const char* toPlaintext) {
    Lock lock(mutex);
    std::string fromCName = rootDir + naming->encodePath(fromPlaintext);
    std::string toCName = rootDir + naming->encodePath(toPlaintext);
    rAssert(!fromCName.empty());
    rAssert(!toCName.empty());
    rInfo("rename %s -> %s", fromCName.c_str(), toCName.c_str());

    std::shared_ptr<FileNode> toNode = findOrCreate(toPlaintext);
    std::shared_ptr<RenameOp> renameOp;
    if (naming->getChainedNameIV() && isDirectory(fromCName)) {
        rInfo("recursive rename begin");
        renameOp = newRenameOp(fromPlaintext, toPlaintext);
        if (!renameOp || !renameOp->apply()) {
            if (renameOp) renameOp->undo();
            rWarning("rename aborted");
            return -EACCES;
        }
        rInfo("recursive rename end");
    }

    int result = 0;
    try {
        struct stat st;
        bool preserveTimes = lstat(fromCName.c_str(), &st) == 0;
        renameNode(fromPlaintext, toPlaintext, true);
        deleteDirectoryMetaData(toCName);
        if (::rename(fromCName.c_str(), toCName.c_str()) == -1) {
            result = -errno;
            renameNode(toPlaintext, fromPlaintext, false);
            if (renameOp) renameOp->undo();
        } else if (preserveTimes) {
            restoreTimes(toCName, st);
        }
    } catch (const rlog::Error& err) {
        rWarning("%s", err.message());
        result = errno ? -errno : -EIO;
    }
    if (result != 0) rInfo("rename failed: %s", strerror(-result));
    return result;
}
