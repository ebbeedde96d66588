#include "DirTraverse.h"

#include "Assert.h"
#include "FileUtils.h"
#include "NameIO.h"
#include "ProcessPolicy.h"

DirTraverse::DirTraverse(std::shared_ptr<DIR> dir_, uint64_t iv_, std::shared_ptr<NameIO> naming_)
    : dir(std::move(dir_)), iv(iv_), naming(std::move(naming_)) {}

std::string DirTraverse::nextPlaintextName(int* fileType, ino_t* inode) {
    if (!dir) return {};
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == kVolumeConfigName && !isBlockedProcess()) continue;
        if (fileType) *fileType = 0;
        if (inode) *inode = entry->d_ino;
        try {
            uint64_t localIV = iv;
            return naming->decodePath(name, &localIV);
        } catch (const rlog::Error&) {
            rDebug("error decoding filename: %s", entry->d_name);
        }
    }
    return {};
}
