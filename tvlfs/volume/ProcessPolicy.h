#pragma once

#include <sys/types.h>

#include <string>

// Which process issued the current file-system request, and whether it is the
// cloud client, which must see the stored bytes instead of plaintext.

std::string tvlfs_proc_name(pid_t pid);

// True for a request from a process whose executable path names the cloud
// client. Calls made outside a file-system request are never blocked.
bool isBlockedProcess();

bool isBlockedProcessPath(const std::string& executablePath);

// The FUSE request context exists only while a FUSE instance does.
void fuseInstanceCreated();
void fuseInstanceDestroyed();

