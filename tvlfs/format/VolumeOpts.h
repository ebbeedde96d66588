#pragma once

#include <string>

// Options of a running volume; the mount fixes all flags as their defaults here.
struct VolumeOpts {
    std::string rootDir;  // ends in "/" once set
    bool idleTracking = false;
    bool mountOnDemand = false;
    bool keyCheck = true;
    bool forceDecode = false;
    bool useStdin = false;
    bool ownerCreate = false;
    bool reverseEncryption = false;
};
