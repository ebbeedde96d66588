#pragma once

#include <memory>
#include <string>

#include "CipherHeader.h"
#include "CipherKey.h"

class FSConfig;

// What the header of a stored file says and whether the given keys open it.
struct StoredFileHeader {
    bool empty = false;      // a stored file of 0 bytes (no header yet)
    bool encrypted = false;  // carries the header signature
    CipherHeader fields;
};

// Reads and parses the first 512 bytes of path; with a key-carrying config also unwraps the
// file key. False with a message when the file cannot be read.
bool inspectStoredFile(const std::string& path, const FSConfig& config, bool loadKey,
                       StoredFileHeader& out, std::string& error);
