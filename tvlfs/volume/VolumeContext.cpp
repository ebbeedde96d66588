#include "VolumeContext.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <openssl/crypto.h>

#include "Assert.h"
#include "DirNode.h"
#include "FileNode.h"
#include "VolumeBuild.h"

namespace {

constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfsMagic = 0x5346544e;

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool ci_less(const std::string& a, const std::string& b) {
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        signed char x = static_cast<signed char>(upperAscii(a[i]));
        signed char y = static_cast<signed char>(upperAscii(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool foldsCase(const std::string& directory) {
    struct statfs fs;
    if (statfs(directory.c_str(), &fs) == 0 &&
        (fs.f_type == MSDOS_SUPER_MAGIC || fs.f_type == kExfatMagic || fs.f_type == kNtfsMagic))
        return true;
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool casefold = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
    close(fd);
    return casefold;
}

bool VolumeContext::PathOrder::operator()(const std::string& a, const std::string& b) const {
    return caseInsensitive ? ci_less(a, b) : a < b;
}

VolumeContext::VolumeContext() = default;

VolumeContext::~VolumeContext() {
    Lock lock(contextMutex);
    for (auto& [path, placeholders] : openFiles)
        for (Placeholder* placeholder : placeholders) delete placeholder;
    openFiles.clear();
    OPENSSL_cleanse(userKeyText.data(), userKeyText.size());
    OPENSSL_cleanse(shareKeyText.data(), shareKeyText.size());
    OPENSSL_cleanse(mount.userKey.data(), mount.userKey.size());
    OPENSSL_cleanse(mount.shareKey.data(), mount.shareKey.size());
}

std::shared_ptr<DirNode> VolumeContext::getRoot(int* errorCode) {
    std::shared_ptr<DirNode> current;
    {
        Lock lock(contextMutex);
        current = root;
    }
    if (!current) {
        int result = remountFS(this);
        if (result != 0) {
            *errorCode = result;
        } else {
            rError("Unable to find root. Application should remount FS.");
            *errorCode = -EACCES;
        }
    }
    return current;
}

void VolumeContext::setRoot(const std::shared_ptr<DirNode>& newRoot) {
    Lock lock(contextMutex);
    root = newRoot;
    if (root) {
        rootCipherDir = root->rootDirectory();
        bool caseInsensitive = foldsCase(rootCipherDir);
        if (openFiles.empty() && openFiles.key_comp().caseInsensitive != caseInsensitive)
            openFiles = decltype(openFiles)(PathOrder{caseInsensitive});
    }
}

std::shared_ptr<FileNode> VolumeContext::lookupNode(const char* path) {
    Lock lock(contextMutex);
    auto it = openFiles.find(path);
    if (it == openFiles.end() || it->second.empty()) return {};
    return (*it->second.begin())->node;
}

VolumeContext::Placeholder* VolumeContext::putNode(const char* path, std::shared_ptr<FileNode> node) {
    Lock lock(contextMutex);
    auto* placeholder = new Placeholder(std::move(node));
    openFiles[path].insert(placeholder);
    return placeholder;
}

void VolumeContext::eraseNode(const char* path, Placeholder* placeholder) {
    {
        Lock lock(contextMutex);
        auto it = openFiles.find(path);
        if ((it == openFiles.end() || it->second.count(placeholder) == 0) &&
            replacedOpens.erase(placeholder) == 1) {
            delete placeholder;
            return;
        }
        rAssert(it != openFiles.end());
        std::size_t rmCount = it->second.erase(placeholder);
        rAssert(rmCount == 1);
        if (it->second.empty()) {
            std::string key = it->first;
            openFiles.erase(it);
            OPENSSL_cleanse(key.data(), key.size());
        }
    }
    delete placeholder;
}

void VolumeContext::renameNode(const char* from, const char* to) {
    Lock lock(contextMutex);
    auto it = openFiles.find(from);
    if (it == openFiles.end()) return;
    std::set<Placeholder*> placeholders = std::move(it->second);
    openFiles.erase(it);
    auto& target = openFiles[to];
    replacedOpens.insert(target.begin(), target.end());
    target = std::move(placeholders);
}

void VolumeContext::setUserKey(const std::string& text) {
    Lock lock(contextMutex);
    userKeyText = text;
}

std::string VolumeContext::getUserKey() const {
    Lock lock(contextMutex);
    return userKeyText;
}

void VolumeContext::deleteUserKey() {
    Lock lock(contextMutex);
    OPENSSL_cleanse(userKeyText.data(), userKeyText.size());
    userKeyText.clear();
}

void VolumeContext::setShareKey(const std::string& text) {
    Lock lock(contextMutex);
    shareKeyText = text;
}

std::string VolumeContext::getShareKey() const {
    Lock lock(contextMutex);
    return shareKeyText;
}
