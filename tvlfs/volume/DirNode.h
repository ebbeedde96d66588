#pragma once

#include <sys/types.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "DirTraverse.h"
#include "FSConfig.h"
#include "Mutex.h"
#include "RenameOp.h"

class FileNode;
class NameIO;
class VolumeContext;

// The volume's root for everything addressed by path: translates plain paths to stored
// paths and back, lists directories, finds file nodes and performs the structural operations.
class DirNode {
public:
    DirNode(VolumeContext* ctx, const std::string& rootDir, std::shared_ptr<FSConfig> cfg);
    ~DirNode();
    DirNode(const DirNode&) = delete;
    DirNode& operator=(const DirNode&) = delete;

    std::string rootDirectory() const;
    std::shared_ptr<FSConfig> getFSConfig() const { return fsConfig; }

    std::string cipherPath(const char* plaintextPath);
    std::string plainPath(const char* cipherPath);
    std::string relativeCipherPath(const char* plaintextPath);

    DirTraverse openDir(const char* plaintextPath);

    std::shared_ptr<FileNode> lookupNode(const char* plaintextName, const char* requester);
    std::shared_ptr<FileNode> openNode(const char* plaintextName, const char* requester, int flags,
                                       int* openResult);
    std::shared_ptr<FileNode> directLookup(const std::string& cipherPath);
    // A node for a path named by the desktop side: a plain path of the volume, or the stored
    // file's own path.
    std::shared_ptr<FileNode> getOSXNode(const std::string& path, bool writable);

    int mkdir(const char* plaintextPath, mode_t mode, uid_t uid = 0, gid_t gid = 0);
    int rename(const char* fromPlaintext, const char* toPlaintext);
    int link(const char* fromPlaintext, const char* toPlaintext);
    int unlink(const char* plaintextName);

    std::shared_ptr<FileNode> renameNode(const char* from, const char* to, bool forward = true);

private:
    std::shared_ptr<FileNode> findOrCreate(const char* plainName);
    bool genRenameList(std::list<RenameEl>& list, const char* fromP, const char* toP);
    std::shared_ptr<RenameOp> newRenameOp(const char* from, const char* to);

    Mutex mutex;
    VolumeContext* ctx;
    std::string rootDir;
    std::shared_ptr<FSConfig> fsConfig;
    std::shared_ptr<NameIO> naming;
};
