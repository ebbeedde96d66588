#pragma once

#include <string>

// Path utilities and the name policies shared by the whole volume engine.

// The reserved name of a per-directory volume configuration file.
inline constexpr const char* kVolumeConfigName = ".tvlfs.xml";

std::string unixify(const std::string& path);
std::string lastPathElement(const std::string& path);
std::string parentDirectory(const std::string& path);
std::string slashTerminate(const std::string& path);
std::string stripRootDir(const std::string& root, const std::string& path);

// Status of the entry itself: symbolic links are not followed.
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);

bool touchFile(const std::string& path);
void deleteFile(const std::string& path);

// Cloud-client and desktop metadata files are stored and served unchanged.
bool isBlackListed(const std::string& path);

void deleteMetaFile(const std::string& path);
// Removes the metadata files of a directory that holds nothing else, so that
// a directory the user sees as empty can be removed or replaced.
void deleteDirectoryMetaData(const std::string& directory);

