#include "VolumeBuild.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <openssl/crypto.h>

#include "Assert.h"
#include "Cipher.h"
#include "DirNode.h"
#include "FSConfig.h"
#include "NameIO.h"
#include "VolumeConfig.h"
#include "VolumeContext.h"
#include "VolumeOpts.h"
#include "base64.h"

namespace {

constexpr int kKeySizeBits = 256;
constexpr int kBlockSize = 512;

// A base64_decode result, wiped and freed on release.
class DecodedKey {
public:
    explicit DecodedKey(const char* text) {
        length = base64_decode(text, static_cast<int>(strlen(text)), &bytes);
    }
    ~DecodedKey() {
        if (bytes) {
            if (length > 0) OPENSSL_cleanse(bytes, static_cast<std::size_t>(length));
            free(bytes);
        }
    }
    DecodedKey(const DecodedKey&) = delete;
    DecodedKey& operator=(const DecodedKey&) = delete;

    bool ok() const { return bytes != nullptr && length >= 1; }
    unsigned char* bytes = nullptr;
    int length = 0;
};

}  // namespace

std::shared_ptr<VolumeRoot> createV6Config(VolumeContext* ctx, const std::shared_ptr<VolumeOpts>& opts,
                                           const std::string& /*ownerName*/, const std::string& ownerId,
                                           const unsigned char* userKeyBytes, int userKeyLength,
                                           const unsigned char* shareKeyBytes, int shareKeyLength,
                                           const std::string& shareKeyId) {
    Cipher::CipherAlgorithm algorithm = findCipherAlgorithm("AES", kKeySizeBits);
    rel::Interface nameIface("nameio/null", 1, 0, 0);

    std::shared_ptr<Cipher> cipher = Cipher::New(algorithm.name, kKeySizeBits);
    if (!cipher) {
        rError("Unable to instanciate cipher %s, key size %i, block size %i", algorithm.name.c_str(),
               kKeySizeBits, kBlockSize);
        return nullptr;
    }
    rDebug("Using cipher %s, key size %i, block size %i", algorithm.name.c_str(), kKeySizeBits,
           kBlockSize);

    auto config = std::make_shared<VolumeConfig>();
    config->subVersion = VolumeConfig::CurrentSubVersion;
    config->nameIface = nameIface;
    config->keySize = kKeySizeBits;
    config->blockSize = kBlockSize;
    config->uniqueIV = true;
    config->externalIV = false;
    config->chainedIV = false;
    config->allowHoles = true;
    config->ownerID = ownerId;
    config->volumeKeyID = VolumeConfig::NullVolumeKeyId;

    CipherKey userKey = cipher->newKey(userKeyBytes, userKeyLength);

    std::shared_ptr<NameIO> nameCoding = NameIO::New(nameIface, cipher, CipherKey());
    if (!nameCoding) {
        rWarning("Name coding interface not supported");
        printf("The filename encoding interface requested is not available\n");
        return nullptr;
    }
    nameCoding->setChainedNameIV(config->chainedIV);
    nameCoding->setReverseEncryption(opts->reverseEncryption);

    CipherKey shareKey = cipher->newKey(shareKeyBytes, shareKeyLength);

    auto fsConfig = std::make_shared<FSConfig>();
    fsConfig->cipher = cipher;
    fsConfig->volumeKeyId = config->volumeKeyID;
    fsConfig->userKey = userKey;
    fsConfig->shareKey = shareKey;
    fsConfig->shareKeyId = shareKeyId;
    fsConfig->nameCoding = nameCoding;
    fsConfig->config = config;
    fsConfig->forceDecode = opts->forceDecode;
    fsConfig->reverseEncryption = opts->reverseEncryption;
    fsConfig->idleTracking = opts->idleTracking;
    fsConfig->opts = opts;

    auto root = std::make_shared<VolumeRoot>();
    root->cipher = cipher;
    root->rootNode = std::make_shared<DirNode>(ctx, opts->rootDir, fsConfig);
    return root;
}

std::shared_ptr<VolumeRoot> initFS(VolumeContext* ctx, const std::shared_ptr<VolumeOpts>& opts,
                                   const char* userKeyBase64, int /*userKeyLength*/,
                                   const std::string& ownerName, const std::string& ownerId,
                                   const char* shareKeyBase64, const std::string& shareKeyId,
                                   std::string& ownerNameOut) {
    if (userKeyBase64 == nullptr || shareKeyBase64 == nullptr) {
        rError("Invalid user or share key");
        return nullptr;
    }
    DecodedKey userKey(userKeyBase64);
    if (!userKey.ok()) {
        rError("Failed base64 decode of user KEK");
        return nullptr;
    }
    DecodedKey shareKey(shareKeyBase64);
    if (!shareKey.ok()) {
        rError("Failed base64 decode of share key");
        return nullptr;
    }
    auto root = createV6Config(ctx, opts, ownerName, ownerId, userKey.bytes, userKey.length,
                               shareKey.bytes, shareKey.length, shareKeyId);
    if (root) {
        ownerNameOut = ownerName;
        ctx->setUserKey(userKeyBase64);
        ctx->setShareKey(shareKeyBase64);
    }
    return root;
}

int remountFS(VolumeContext* ctx) {
    rDebug("Attempting to reinitialize filesystem");
    std::string userKey = ctx->getUserKey();
    std::string shareKey = ctx->getShareKey();
    std::string ownerOut;
    std::shared_ptr<VolumeRoot> root;
    if (ctx->opts && !userKey.empty())
        root = initFS(ctx, ctx->opts, userKey.c_str(), static_cast<int>(userKey.size()),
                      ctx->mount.volumeOwner, ctx->mount.ownerId, shareKey.c_str(),
                      ctx->mount.shareKeyId, ownerOut);
    OPENSSL_cleanse(userKey.data(), userKey.size());
    OPENSSL_cleanse(shareKey.data(), shareKey.size());
    if (!root) {
        rInfo("Remount failed");
        return -EACCES;
    }
    ctx->mount.volumeRoot = root;
    ctx->setRoot(root->rootNode);
    return 0;
}
