#define FUSE_USE_VERSION 31
#include "ProcessPolicy.h"

#include <fuse.h>
#include <unistd.h>

#include <array>
#include <atomic>

namespace {

// "/.dropbox-dist/" is where the Linux cloud client runs from.
const std::array<const char*, 3> kBlockedProcessMarkers = {"Dropbox.app", "dbfseventsd",
                                                           "/.dropbox-dist/"};

std::atomic<int> gFuseInstances{0};

}  // namespace

std::string tvlfs_proc_name(pid_t pid) {
    std::array<char, 4096> buffer;
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

bool isBlockedProcessPath(const std::string& executablePath) {
    for (const char* marker : kBlockedProcessMarkers)
        if (executablePath.find(marker) != std::string::npos) return true;
    return false;
}

bool isBlockedProcess() {
    if (gFuseInstances.load(std::memory_order_acquire) <= 0) return false;
    fuse_context* context = fuse_get_context();
    if (context == nullptr || context->fuse == nullptr || context->pid <= 0) return false;
    std::string path = tvlfs_proc_name(context->pid);
    return !path.empty() && isBlockedProcessPath(path);
}

void fuseInstanceCreated() { gFuseInstances.fetch_add(1, std::memory_order_acq_rel); }

void fuseInstanceDestroyed() { gFuseInstances.fetch_sub(1, std::memory_order_acq_rel); }

