#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

class NameIO;

// A directory listing in progress; copies share the open directory, closed with the last.
class DirTraverse {
public:
    DirTraverse() = default;
    DirTraverse(std::shared_ptr<DIR> dir, uint64_t iv, std::shared_ptr<NameIO> naming);

    bool valid() const { return dir != nullptr; }
    // The next plain name, or the empty string at the end. fileType is 0 (not known).
    std::string nextPlaintextName(int* fileType = nullptr, ino_t* inode = nullptr);

private:
    std::shared_ptr<DIR> dir;
    uint64_t iv = 0;
    std::shared_ptr<NameIO> naming;
};
