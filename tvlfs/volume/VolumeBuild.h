#pragma once

#include <memory>
#include <string>

#include "CipherKey.h"

class Cipher;
class DirNode;
class VolumeContext;
struct VolumeOpts;

// A built volume: its cipher, the (empty) volume key and the root directory node.
struct VolumeRoot {
    std::shared_ptr<Cipher> cipher;
    CipherKey volumeKeyHolder;
    std::shared_ptr<DirNode> rootNode;
};

std::shared_ptr<VolumeRoot> createV6Config(VolumeContext* ctx, const std::shared_ptr<VolumeOpts>& opts,
                                           const std::string& ownerName, const std::string& ownerId,
                                           const unsigned char* userKey, int userKeyLength,
                                           const unsigned char* shareKey, int shareKeyLength,
                                           const std::string& shareKeyId);

// Builds a volume from the two base64 key texts; null texts fail.
std::shared_ptr<VolumeRoot> initFS(VolumeContext* ctx, const std::shared_ptr<VolumeOpts>& opts,
                                   const char* userKeyBase64, int userKeyLength,
                                   const std::string& ownerName, const std::string& ownerId,
                                   const char* shareKeyBase64, const std::string& shareKeyId,
                                   std::string& ownerNameOut);

// Rebuilds a lost root from the key texts the context kept: 0, or -EACCES.
int remountFS(VolumeContext* ctx);
