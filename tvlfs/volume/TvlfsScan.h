#pragma once

#include <string>

// Migration of files that reached the root folder without the volume: plaintext files are
// encrypted in place, older headers upgraded, both through the mounted volume's file nodes.
class TvlfsScan {
public:
    TvlfsScan() = default;
    virtual ~TvlfsScan() = default;

    bool fixPlainTextFile(const std::string& path);
    bool migrateFile(const std::string& path);

private:
    std::string _getRelativePath(const std::string& path);
    bool _migratePlainText(const std::string& source, const std::string& destination);
};
