#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tvlfs.h"

struct fuse;
struct VolumeRoot;

// What a mount remembers so that it can be served, taken down and mounted again.
struct MountRecord {
    std::string iconPath;
    std::string volumeName;
    std::string rootDir;
    std::string mountPoint;
    std::string userKey;
    std::string volumeOwner;
    std::string ownerId;
    std::string shareKey;
    std::string shareKeyId;
    tvlfs_cb* callbacks = nullptr;
    void (*notify)(const char* title, const char* text) = nullptr;
    std::shared_ptr<VolumeRoot> volumeRoot;
    std::string fuseMountPoint;
    struct fuse* fuseInstance = nullptr;
    std::thread fuseThread;
    bool threadStarted = false;
    std::atomic<bool> running{false};
};
