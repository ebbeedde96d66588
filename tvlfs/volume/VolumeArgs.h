#pragma once

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <array>
#include <memory>
#include <string>

#include "VolumeOpts.h"

// The arguments of one mount, referenced by the volume context.
struct VolumeArgs {
    VolumeArgs();
    ~VolumeArgs();
    VolumeArgs(const VolumeArgs&) = delete;
    VolumeArgs& operator=(const VolumeArgs&) = delete;

    std::string toString() const;

    std::string mountPoint;
    bool isDaemon = false;
    bool isThreaded = false;
    bool isVerbose = false;
    int idleTimeout = 0;  // minutes
    std::array<const char*, 32> fuseArgv{};
    int fuseArgc = 0;
    struct fuse_args fuseArgs = FUSE_ARGS_INIT(0, nullptr);
    std::string userKey;
    std::string volumeOwner;
    std::string ownerId;
    std::string shareKeyId;
    std::shared_ptr<VolumeOpts> opts;
};
