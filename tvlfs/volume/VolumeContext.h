#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "Mutex.h"
#include "MountRecord.h"

class DirNode;
class FileNode;
struct VolumeArgs;
struct VolumeOpts;

// The running volume: its root directory node, the table of open files, the key texts it
// was mounted with and the mount record.
class VolumeContext {
public:
    // One open of a file; its address is the FUSE file handle.
    struct Placeholder {
        explicit Placeholder(std::shared_ptr<FileNode> node_) : node(std::move(node_)) {}
        std::shared_ptr<FileNode> node;
    };

    // Orders open paths; case-insensitive only when the root folder's file system folds case.
    struct PathOrder {
        bool caseInsensitive = false;
        bool operator()(const std::string& a, const std::string& b) const;
    };

    VolumeContext();
    ~VolumeContext();
    VolumeContext(const VolumeContext&) = delete;
    VolumeContext& operator=(const VolumeContext&) = delete;

    std::shared_ptr<DirNode> getRoot(int* errorCode);
    void setRoot(const std::shared_ptr<DirNode>& root);
    const std::string& rootCipherDirectory() const { return rootCipherDir; }

    std::shared_ptr<FileNode> lookupNode(const char* path);
    Placeholder* putNode(const char* path, std::shared_ptr<FileNode> node);
    static std::shared_ptr<FileNode> getNode(Placeholder* placeholder) { return placeholder->node; }
    void eraseNode(const char* path, Placeholder* placeholder);
    void renameNode(const char* from, const char* to);

    void setUserKey(const std::string& text);
    std::string getUserKey() const;
    void deleteUserKey();
    void setShareKey(const std::string& text);
    std::string getShareKey() const;

    std::shared_ptr<VolumeArgs> args;
    std::shared_ptr<VolumeOpts> opts;
    bool publicFilesystem = false;
    MountRecord mount;

private:
    mutable Mutex contextMutex;
    std::string rootCipherDir;
    std::map<std::string, std::set<Placeholder*>, PathOrder> openFiles;
    // Opens whose entry a rename replaced: still released by their handles later.
    std::set<Placeholder*> replacedOpens;
    std::shared_ptr<DirNode> root;
    std::string userKeyText;
    std::string shareKeyText;
};

// ASCII letters compared without case, bytes as signed characters, a proper prefix first.
bool ci_less(const std::string& a, const std::string& b);

// Whether names on the file system holding path differ only in case refer to one entry.
bool foldsCase(const std::string& directory);
