#include "TvlfsScan.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <openssl/crypto.h>

#include "Assert.h"
#include "CurrentVolume.h"
#include "DirNode.h"
#include "FileNode.h"
#include "FileUtils.h"
#include "VolumeContext.h"
#include "tvlfs.h"

namespace {

constexpr int kChunkSize = 512;
constexpr const char* kLockSuffix = ".tllck";

std::shared_ptr<DirNode> mountedRoot() {
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    int errorCode = 0;
    return ctx ? ctx->getRoot(&errorCode) : nullptr;
}

}  // namespace

std::string TvlfsScan::_getRelativePath(const std::string& path) {
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    if (!ctx || !mountedRoot()) {
        rError("Filesystem not initialized");
        return {};
    }
    return stripRootDir(ctx->rootCipherDirectory(), path);
}

bool TvlfsScan::fixPlainTextFile(const std::string& path) {
    std::string lock = path + kLockSuffix;
    if (fileExists(lock)) {
        rInfo("Migration likely in progress for '%s'. Ignoring...", path.c_str());
        return true;
    }
    if (!mountedRoot()) {
        rError("Filesystem not initialized");
        return false;
    }
    touchFile(lock);
    rWarning("Migrating plain text file: '%s'", path.c_str());
    if (!_migratePlainText(path, lock)) {
        rError("Failed migration for '%s'", path.c_str());
        deleteFile(lock);
        return false;
    }
    std::error_code error;
    if (std::filesystem::remove(path, error)) std::filesystem::rename(lock, path, error);
    if (error) rError("Failed to rename file '%s' error - %s ", path.c_str(), error.message().c_str());
    return true;
}

bool TvlfsScan::_migratePlainText(const std::string& source, const std::string& destination) {
    std::string from = _getRelativePath(unixify(source));
    std::string to = _getRelativePath(unixify(destination));
    std::shared_ptr<DirNode> root = mountedRoot();
    if (!root || from.empty() || to.empty()) {
        rError("Filesystem not initialized");
        return false;
    }
    std::shared_ptr<FileNode> reader = root->getOSXNode(from, false);
    if (!reader) {
        rError("Unable to create read node for '%s'", source.c_str());
        return false;
    }
    std::shared_ptr<FileNode> writer = root->getOSXNode(to, true);
    if (!writer) {
        rError("Unable to create write node for '%s'", source.c_str());
        return false;
    }
    int64_t size = reader->getSize();
    if (size < 0) return false;
    int64_t chunks = (size + kChunkSize - 1) / kChunkSize;
    unsigned char buffer[kChunkSize];
    bool ok = true;
    for (int64_t index = 0; index < chunks && ok; ++index) {
        memset(buffer, 0, sizeof buffer);
        int64_t offset = index * kChunkSize;
        ssize_t count = reader->read(offset, buffer, kChunkSize);
        if (count < 0 || (count == 0 && offset < size)) {
            rError("%s: failed file read", "_migratePlainText");
            ok = false;
        } else if (count > 0 && !writer->write(offset, buffer, static_cast<int>(count))) {
            rError("%s: failed file write", "_migratePlainText");
            ok = false;
        }
    }
    OPENSSL_cleanse(buffer, sizeof buffer);
    return ok;
}

bool TvlfsScan::migrateFile(const std::string& path) {
    std::string relative = _getRelativePath(unixify(path));
    std::shared_ptr<DirNode> root = mountedRoot();
    if (!root || relative.empty()) {
        rError("Filesystem not initialized");
        return false;
    }
    std::shared_ptr<FileNode> node = root->getOSXNode(relative, true);
    if (!node) {
        rError("Unable to create node for '%s'", path.c_str());
        return false;
    }
    if (!node->updateCipherHeader(false)) {
        rError("Unable to upgrade '%s'", path.c_str());
        return false;
    }
    return true;
}

extern "C" bool tvlfs_do_plaintext_fixup(const char* path) { return TvlfsScan().fixPlainTextFile(path); }

extern "C" bool tvlfs_migrate_file(const char* path) { return TvlfsScan().migrateFile(path); }
