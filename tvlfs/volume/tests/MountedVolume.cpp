#include "MountedVolume.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <openssl/rand.h>

#include "base64.h"

namespace volume_test {
namespace {

std::string randomBase64(int length) {
    std::string bytes(static_cast<std::size_t>(length), '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), length);
    char* text = nullptr;
    base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()), length, &text);
    std::string result = text;
    free(text);
    return result;
}

std::string randomUuid() {
    unsigned char b[16];
    RAND_bytes(b, sizeof b);
    char text[37];
    snprintf(text, sizeof text,
             "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
             b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

}  // namespace

VolumeKeys VolumeKeys::random() {
    return {randomBase64(32), randomBase64(32), randomUuid(), "1234", "Test Owner"};
}

MountedVolume::MountedVolume(const VolumeKeys& keys, tvlfs_cb* callbacks, const std::string& rootDir)
    : keys_(keys), rootDir_(rootDir.empty() ? dir_ / "root" : rootDir), mountPoint_(dir_ / "mnt") {
    int result = tvlfs_mount("", "Tolvarin", rootDir_.c_str(), mountPoint_.c_str(),
                             keys.userKey.c_str(), keys.ownerName.c_str(), keys.ownerId.c_str(),
                             keys.shareKey.c_str(), keys.shareKeyId.c_str(), nullptr, callbacks);
    if (result != 0) {
        tvlfs_cleanup(0);
        throw std::runtime_error("tvlfs_mount failed");
    }
}

MountedVolume::~MountedVolume() {
    tvlfs_allow_unmount(1);
    if (isMounted() && fusermountUnmount(mountPoint_, false) != 0) fusermountUnmount(mountPoint_, true);
    tvlfs_cleanup(1);
    if (isMounted()) fusermountUnmount(mountPoint_, true);
}

bool MountedVolume::isMounted() const { return isFuseMount(mountPoint_); }

bool MountedVolume::waitUntilMounted(int seconds) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (isMounted()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool isFuseMount(const std::string& mountPoint) {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        if (point != mountPoint) continue;
        if (line.find(" - fuse.tolvarin ") != std::string::npos) return true;
    }
    return false;
}

int fusermountUnmount(const std::string& mountPoint, bool lazy) {
    return shell(std::string("fusermount3 ") + (lazy ? "-uz " : "-u ") + quoted(mountPoint));
}

int shell(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string collected;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) collected.append(buffer, count);
    int status = pclose(pipe);
    if (output) *output = collected;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        if (c == '\'') result += "'\\''";
        else result += c;
    }
    return result + "'";
}

}  // namespace volume_test
