// Mounting, serving and taking down the volume.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "Assert.h"
#include "CurrentVolume.h"
#include "DirNode.h"
#include "FileUtils.h"
#include "FuseOperations.h"
#include "MemoryPool.h"
#include "ProcessPolicy.h"
#include "VolumeArgs.h"
#include "VolumeBuild.h"
#include "VolumeContext.h"
#include "openssl.h"
#include "tvlfs.h"

namespace {

constexpr gid_t kAdminGroup = 80;

std::atomic<bool> fuseThreadRunning{false};
std::atomic<bool> guserInitiatedUnmount{false};

// FUSE threads that ended in a remount; joined at clean-up.
std::mutex gRetiredThreadsLock;
std::vector<std::thread> gRetiredThreads;

const char* text(const char* value) { return value ? value : ""; }

bool inAdminGroup() {
    int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    count = getgroups(count, groups.data());
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<std::size_t>(i)] == kAdminGroup) return true;
    return false;
}

// Commas and backslashes would otherwise split or escape the -o option.
std::string escapeOption(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == ',' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

void addFuseArgument(VolumeArgs& args, const std::string& argument) {
    fuse_opt_add_arg(&args.fuseArgs, argument.c_str());
    if (args.fuseArgc < static_cast<int>(args.fuseArgv.size()))
        args.fuseArgv[static_cast<std::size_t>(args.fuseArgc++)] =
            args.fuseArgs.argv[args.fuseArgs.argc - 1];
}

void buildFuseArguments(VolumeArgs& args, const std::string& volumeName) {
    addFuseArgument(args, "tvlfs");
    addFuseArgument(args, "-odefault_permissions");
    addFuseArgument(args, "-ofsname=" + escapeOption(volumeName));
    addFuseArgument(args, "-osubtype=tolvarin");
    // use_ino, direct_io and the cache timeouts are set in vol_init: libfuse 3 takes them
    // from its configuration record, not from the command line.
    if (geteuid() != 0 && inAdminGroup()) addFuseArgument(args, "-oallow_root");
}

bool prepareCipherRoot(const std::string& rootDir) {
    if (!isDirectory(rootDir)) {
        rWarning("Unable to locate root directory, will try to create.");
        if (mkdir(rootDir.c_str(), 0700) != 0) {
            perror("Unable to create directory: ");
            return false;
        }
    }
    if (!touchFile(rootDir + "/.Trashes")) rWarning("Unable to create .Trashes.");
    std::string events = rootDir + "/.fseventsd";
    if (!isDirectory(events)) {
        if (mkdir(events.c_str(), 0700) == 0) {
            if (!touchFile(events + "/no_log")) rWarning("Unable to create no_log.");
        } else {
            rWarning("Unable to create .fseventsd");
        }
    }
    return true;
}

void fuseThread(std::shared_ptr<VolumeContext> ctx);

}  // namespace

extern "C" int tvlfs_mount(const char* iconPath, const char* volumeName, const char* rootDir,
                           const char* mountPoint, const char* userKey, const char* volumeOwner,
                           const char* ownerId, const char* shareKey, const char* shareKeyId,
                           char** volumeOwnerOut, tvlfs_cb* callbacks) {
    return tvlfs_mount_with_deks(iconPath, volumeName, rootDir, mountPoint, userKey, volumeOwner,
                                 ownerId, shareKey, shareKeyId, volumeOwnerOut, callbacks, nullptr);
}

extern "C" int tvlfs_mount_with_deks(const char* iconPath, const char* volumeName,
                                     const char* rootDir, const char* mountPoint,
                                     const char* userKey, const char* volumeOwner,
                                     const char* ownerId, const char* shareKey,
                                     const char* shareKeyId, char** volumeOwnerOut,
                                     tvlfs_cb* callbacks, const tvlfs_key_map* keyMap) {
    if (fuseThreadRunning) {
        rError("Attempting to mount while the fuse thread is still running.  This probably "
               "means we're still mounted.");
        return 1;
    }
    if (rootDir == nullptr || mountPoint == nullptr) return 1;

    auto args = std::make_shared<VolumeArgs>();
    args->opts = std::make_shared<VolumeOpts>();
    std::string description = std::string("tvlfs_mount : iconPath:  ") + text(iconPath) +
                              ", volumeName: " + text(volumeName) + ", rootDir: " + rootDir +
                              ", mountPoint: " + mountPoint + ", volumeOwnerIn: " +
                              text(volumeOwner) + ", ownerId: " + text(ownerId);
    rDebug("tvlfs_mount argumnets: %s", description.c_str());

    args->isDaemon = true;
    args->isThreaded = true;
    args->isVerbose = true;
    args->idleTimeout = 0;
    args->fuseArgc = 0;
    VolumeOpts& opts = *args->opts;
    opts.idleTracking = false;
    opts.keyCheck = true;
    opts.forceDecode = false;
    opts.ownerCreate = false;
    opts.useStdin = false;
    opts.reverseEncryption = false;

    buildFuseArguments(*args, text(volumeName));
    opts.rootDir = slashTerminate(rootDir);
    args->mountPoint = mountPoint;
    args->userKey = text(userKey);
    args->volumeOwner = text(volumeOwner);
    args->ownerId = text(ownerId);
    args->shareKeyId = text(shareKeyId);

    if (!prepareCipherRoot(rootDir)) return 1;
    rDebug("Root directory: %s", opts.rootDir.c_str());
    rDebug("Fuse arguments: %s", args->toString().c_str());

    fuse_operations operations = volumeOperations();
    openssl_init(true);

    auto ctx = std::make_shared<VolumeContext>();
    setCurrentVolume(ctx);
    MountRecord& record = ctx->mount;
    record.iconPath = text(iconPath);
    record.volumeName = text(volumeName);
    record.rootDir = rootDir;
    record.mountPoint = mountPoint;
    record.userKey = text(userKey);
    record.volumeOwner = text(volumeOwner);
    record.ownerId = text(ownerId);
    record.callbacks = callbacks;
    ctx->publicFilesystem = opts.ownerCreate;
    record.shareKey = text(shareKey);
    record.shareKeyId = text(shareKeyId);
    guserInitiatedUnmount = false;

    std::string ownerName;
    std::shared_ptr<VolumeRoot> root =
        initFS(ctx.get(), args->opts, userKey, userKey ? static_cast<int>(strlen(userKey)) : 0,
               text(volumeOwner), text(ownerId), shareKey, text(shareKeyId), ownerName);
    if (volumeOwnerOut) *volumeOwnerOut = strdup(text(volumeOwner));
    if (!root) return 1;

    if (keyMap) root->rootNode->getFSConfig()->replaceKeys(*keyMap);

    if (!isDirectory(mountPoint)) {
        rDebug("Unable to locate mount point, will try to create.");
        if (mkdir(mountPoint, 0700) != 0) {
            perror("Unable to create directory: ");
            return 1;
        }
    }

    record.volumeRoot = root;
    ctx->setRoot(root->rootNode);
    ctx->args = args;
    ctx->opts = args->opts;
    umask(0);
    record.threadStarted = false;
    record.fuseInstance = nullptr;
    record.fuseMountPoint = mountPoint;
    if (callbacks) record.notify = callbacks->notify;

    struct fuse* instance = fuse_new(&args->fuseArgs, &operations, sizeof(operations), ctx.get());
    fuse_opt_free_args(&args->fuseArgs);
    args->fuseArgv.fill(nullptr);
    args->fuseArgc = 0;
    if (instance == nullptr) {
        rError("Failure on fuse_new");
        return 1;
    }
    fuseInstanceCreated();
    if (fuse_mount(instance, mountPoint) != 0) {
        rError("Failure on fuse_mount");
        fuse_destroy(instance);
        fuseInstanceDestroyed();
        return 1;
    }
    record.fuseInstance = instance;

    fuseThreadRunning = true;
    try {
        record.fuseThread = std::thread(fuseThread, ctx);
    } catch (const std::system_error&) {
        fuseThreadRunning = false;
        rError("Failed to create fuse thread");
        fuse_unmount(instance);
        fuse_destroy(instance);
        fuseInstanceDestroyed();
        record.fuseInstance = nullptr;
        return 1;
    }
    record.threadStarted = true;
    return 0;
}

namespace {

void fuseThread(std::shared_ptr<VolumeContext> ctx) {
    fuseThreadRunning = true;
    rDebug("Fuse Thread has started. Starting fuse_loop_mt");
    MountRecord& record = ctx->mount;
    int result = fuse_loop_mt(record.fuseInstance, 0);
    if (result < 0) {
        rError("Failed to on call to fuse_loop_mt");
        perror("fuse_loop");
    }

    FSConfig::KeyMap loadedKeys;
    if (!guserInitiatedUnmount) {
        int errorCode = 0;
        std::shared_ptr<DirNode> root = ctx->getRoot(&errorCode);
        if (root && root->getFSConfig()) loadedKeys = root->getFSConfig()->copyKeys();
    }
    fuse_unmount(record.fuseInstance);
    fuse_destroy(record.fuseInstance);
    fuseInstanceDestroyed();
    record.fuseInstance = nullptr;

    if (result >= 0 && !guserInitiatedUnmount) {
        fuseThreadRunning = false;
        {
            std::lock_guard<std::mutex> lock(gRetiredThreadsLock);
            gRetiredThreads.push_back(std::move(record.fuseThread));
        }
        int remount = tvlfs_mount_with_deks(
            record.iconPath.c_str(), record.volumeName.c_str(), record.rootDir.c_str(),
            record.mountPoint.c_str(), record.userKey.c_str(), record.volumeOwner.c_str(),
            record.ownerId.c_str(), record.shareKey.c_str(), record.shareKeyId.c_str(), nullptr,
            record.callbacks, loadedKeys.empty() ? nullptr : &loadedKeys);
        if (remount == 0) return;
    }
    fuseThreadRunning = false;
}

}  // namespace

extern "C" void tvlfs_allow_unmount(int value) { guserInitiatedUnmount = value != 0; }

extern "C" void tvlfs_cleanup(int join) {
    std::shared_ptr<VolumeContext> ctx = currentVolume();
    if (!ctx) return;
    MountRecord& record = ctx->mount;
    if (record.fuseThread.joinable()) {
        if (join && record.threadStarted) record.fuseThread.join();
        else record.fuseThread.detach();
    }
    {
        std::lock_guard<std::mutex> lock(gRetiredThreadsLock);
        for (std::thread& retired : gRetiredThreads) {
            if (join) retired.join();
            else retired.detach();
        }
        gRetiredThreads.clear();
    }
    record.volumeRoot.reset();
    ctx->setRoot(nullptr);
    MemoryPool::destroyAll();
    openssl_shutdown(true);
    ctx->deleteUserKey();
    setCurrentVolume(nullptr);
}
