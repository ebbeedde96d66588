#include "CurrentVolume.h"

#include <mutex>

#include "Assert.h"
#include "DirNode.h"
#include "VolumeContext.h"

namespace {

std::mutex gCurrentLock;
std::shared_ptr<VolumeContext> gCurrent;

}  // namespace

std::shared_ptr<VolumeContext> currentVolume() {
    std::lock_guard<std::mutex> lock(gCurrentLock);
    return gCurrent;
}

void setCurrentVolume(std::shared_ptr<VolumeContext> ctx) {
    std::shared_ptr<VolumeContext> previous;
    std::lock_guard<std::mutex> lock(gCurrentLock);
    previous = std::move(gCurrent);
    gCurrent = std::move(ctx);
}

std::shared_ptr<FSConfig> currentFSConfig() {
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    if (!ctx) {
        rError("Fuse not initialized");
        return nullptr;
    }
    int errorCode = 0;
    std::shared_ptr<DirNode> root = ctx->getRoot(&errorCode);
    if (!root) {
        rError("Failed to get root context");
        return nullptr;
    }
    std::shared_ptr<FSConfig> config = root->getFSConfig();
    if (!config) rError("Failed to get file system config");
    return config;
}
