#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <rlog/RLogChannel.h>
#include <rlog/StdioNode.h>

#include "CommandLine.h"
#include "KeyFile.h"
#include "Subcommand.h"
#include "tvlfs.h"

extern char** environ;

namespace {

constexpr const char* Usage = "mount --keys FILE [--shek-file F] [-v] ROOT MOUNTPOINT";

int runFusermount(const char* option, const std::string& mountPoint) {
    const char* argv[] = {"fusermount3", option, mountPoint.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "fusermount3", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Loads "ID TEXT" lines into the mounted volume; false with a message on the first bad one.
bool loadShareKeys(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot read the share-key file";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream fields(line);
        std::string id, text;
        if (!(fields >> id)) continue;
        if (!(fields >> text) || tvlfs_load_shek(id.c_str(), text.c_str()) != 0) {
            error = path + ":" + std::to_string(number) + ": share key " + id + " does not load";
            return false;
        }
    }
    return true;
}

void logToTerminal() {
    static rlog::StdioNode terminal(2);
    for (const char* channel : {"debug", "info", "warning", "error"})
        terminal.subscribeTo(rlog::GetGlobalChannel(channel));
}

// Mounts ROOT at MOUNTPOINT in the foreground until SIGINT or SIGTERM, then unmounts.
int run(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    std::string shekFile;
    bool verbose = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--shek-file" && i + 1 < args.size()) shekFile = args[++i];
        else if (args[i] == "-v") verbose = true;
        else rest.push_back(args[i]);
    }
    CommandLine line;
    std::string error;
    if (!parseCommandLine(rest, line, error)) return fail(error);
    if (line.keysPath.empty() || line.positional.size() != 2) return usageError(Usage);
    KeySet keys;
    if (!readKeyFile(line.keysPath, keys, error)) return fail(error);
    const std::string& root = line.positional[0];
    const std::string& mountPoint = line.positional[1];
    if (verbose) logToTerminal();

    // Blocked before the engine starts its threads, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    tvlfs_cb callbacks{[](const char* title, const char* text) {
        std::fprintf(stderr, "tvlfsctl: %s: %s\n", title, text);
    }};
    if (tvlfs_mount_with_deks("", "Tolvarin", root.c_str(), mountPoint.c_str(),
                              keys.userKey.c_str(), "Tolvarin", keys.ownerId.c_str(),
                              keys.shareKey.c_str(), keys.shareKeyId.c_str(), nullptr, &callbacks,
                              nullptr) != 0) {
        tvlfs_cleanup(0);
        return fail("cannot mount " + root + " at " + mountPoint + " (see the system log)");
    }
    int status = 0;
    if (!shekFile.empty() && !loadShareKeys(shekFile, error)) {
        std::fprintf(stderr, "tvlfsctl: %s\n", error.c_str());
        status = 1;
    } else {
        std::printf("mounted: %s\n", mountPoint.c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&stopSignals, &received);
    }
    tvlfs_allow_unmount(1);
    if (runFusermount("-u", mountPoint) != 0) runFusermount("-uz", mountPoint);
    tvlfs_cleanup(1);
    return status;
}

}  // namespace

extern const Subcommand mountSubcommand = {"mount", Usage, run};
