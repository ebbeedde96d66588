#pragma once

#include <string>

#include "Cipher.h"
#include "Interface.h"

// The volume's static description, built in memory for every mount and never stored.
struct VolumeConfig {
    // Header version written into new files.
    static constexpr int CurrentSubVersion = 20140128;
    static constexpr const char* NullVolumeKeyId = "00000000-0000-0000-0000-000000000000";

    int subVersion = CurrentSubVersion;
    rel::Interface nameIface{"nameio/null", 1, 0, 0};
    int keySize = 256;    // bits
    int blockSize = 512;  // bytes
    bool uniqueIV = true;
    bool externalIV = false;
    bool chainedIV = false;
    bool allowHoles = true;
    std::string ownerID;
    std::string volumeKeyID = NullVolumeKeyId;
};

// The first listed (non-hidden) cipher with exactly this name whose key-length range allows
// keyLength; an empty record (empty name, default interface and ranges) when none does.
Cipher::CipherAlgorithm findCipherAlgorithm(const char* name, int keyLength);
