#pragma once

#include <filesystem>
#include <string>

namespace volume_test {

// A fresh folder under the system's temp folder, removed with all it holds.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& contents);
std::string readFile(const std::string& path);

}  // namespace volume_test
