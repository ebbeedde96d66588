#pragma once

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <functional>
#include <memory>
#include <string>

class DirNode;
class FileNode;
class VolumeContext;

// The common steps of the handlers: find the context and root, translate the path or find
// the node, run the action, log, and turn exceptions into -EIO.
VolumeContext* requestContext();

int withFileNode(const char* opName, const char* path, fuse_file_info* fi,
                 const std::function<int(FileNode&)>& action);

// The action returns -1 with errno set on failure, like a system call.
int withCipherPath(const char* opName, const char* path,
                   const std::function<int(const std::string& cipherPath)>& action,
                   bool passReturnCode = false);

// The stored text of a symbolic link turned into the target the volume shows.
std::string plainLinkTarget(DirNode& root, const std::string& storedTarget);
