#pragma once

#include <string>

#include "TempDir.h"
#include "tvlfs.h"

namespace volume_test {

// The key texts a volume is mounted with.
struct VolumeKeys {
    std::string userKey;
    std::string shareKey;
    std::string shareKeyId;
    std::string ownerId;
    std::string ownerName;

    static VolumeKeys random();
};

// A volume mounted over a fresh root folder in a temp folder; always unmounted and cleaned
// up when the object goes, also when the test fails.
class MountedVolume {
public:
    explicit MountedVolume(const VolumeKeys& keys = VolumeKeys::random(),
                           tvlfs_cb* callbacks = nullptr, const std::string& rootDir = "");
    ~MountedVolume();
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;

    const std::string& root() const { return rootDir_; }
    const std::string& mountPoint() const { return mountPoint_; }
    // A path under the mount point, and the stored file behind it.
    std::string at(const std::string& name) const { return mountPoint_ + "/" + name; }
    std::string stored(const std::string& name) const { return rootDir_ + "/" + name; }
    const VolumeKeys& keys() const { return keys_; }

    // The mount that listing /proc/self/mountinfo shows for the mount point right now.
    bool isMounted() const;
    // Waits until the volume is mounted again after someone else unmounted it.
    bool waitUntilMounted(int seconds = 20) const;

private:
    TempDir dir_;
    VolumeKeys keys_;
    std::string rootDir_;
    std::string mountPoint_;
};

bool isFuseMount(const std::string& mountPoint);
// Runs fusermount3 -u (or -uz when lazy) on the mount point.
int fusermountUnmount(const std::string& mountPoint, bool lazy);

// Runs a shell command, returning its exit status and, when given, its combined output.
int shell(const std::string& command, std::string* output = nullptr);
std::string quoted(const std::string& text);

}  // namespace volume_test
