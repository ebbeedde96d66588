#include "FileUtils.h"

#include "Assert.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

const std::array<std::string, 5> kPlainTextFileList = {
    kVolumeConfigName, ".dropbox", ".ds_store", ".dropbox.attr", "desktop.ini"};

const std::array<std::string, 4> kIgnoreFileList = {kVolumeConfigName, ".dropbox",
                                                     "desktop.ini", "Icon\r"};

template <std::size_t N>
bool listContains(const std::array<std::string, N>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::string unixify(const std::string& path) {
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    if (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

std::string lastPathElement(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentDirectory(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string slashTerminate(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

std::string stripRootDir(const std::string& root, const std::string& path) {
    if (path.compare(0, root.size(), root) == 0) return path.substr(root.size());
    rError("%s(%s,%s) rootDir not at the beginning of path", "stripRootDir", root.c_str(),
           path.c_str());
    return path;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool touchFile(const std::string& path) {
    if (fileExists(path)) return true;
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0) return false;
    close(fd);
    return true;
}

void deleteFile(const std::string& path) {
    if (fileExists(path)) std::remove(path.c_str());
}

bool isBlackListed(const std::string& path) {
    std::string lowered = path;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return listContains(kPlainTextFileList, lastPathElement(unixify(lowered)));
}

void deleteMetaFile(const std::string& path) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        rError("Failed to delete%s, error code = %d", path.c_str(), errno);
}

void deleteDirectoryMetaData(const std::string& directory) {
    {
        std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
        if (!dir) return;
        while (dirent* entry = readdir(dir.get())) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (!listContains(kIgnoreFileList, name)) return;
        }
    }
    for (const char* name : {kVolumeConfigName, ".dropbox", "Icon\r"})
        deleteMetaFile(directory + "/" + name);
}

