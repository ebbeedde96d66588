#include "FileNode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <openssl/crypto.h>

#include "Assert.h"
#include "FileUtils.h"
#include "ProcessPolicy.h"

namespace {

void wipe(std::string& text) {
    if (!text.empty()) OPENSSL_cleanse(text.data(), text.size());
}

// Switches the effective user and group ids for the lifetime of the object.
class EffectiveIdentity {
public:
    EffectiveIdentity(uid_t uid, gid_t gid) {
        if (gid != 0) {
            oldGid = getegid();
            gidChanged = setegid(gid) == 0;
        }
        if (uid != 0) {
            oldUid = geteuid();
            uidChanged = seteuid(uid) == 0;
        }
    }
    ~EffectiveIdentity() {
        if (uidChanged) (void)seteuid(oldUid);
        if (gidChanged) (void)setegid(oldGid);
    }
    EffectiveIdentity(const EffectiveIdentity&) = delete;
    EffectiveIdentity& operator=(const EffectiveIdentity&) = delete;

private:
    uid_t oldUid = 0;
    gid_t oldGid = 0;
    bool uidChanged = false;
    bool gidChanged = false;
};

}  // namespace

FileNode::FileNode(DirNode* parent_, std::shared_ptr<FSConfig> cfg, const char* plaintextName,
                   const char* cipherName_)
    : fsConfig(std::move(cfg)), _pname(plaintextName), _cname(cipherName_), parent(parent_) {
    Lock lock(mutex);
    rawIO = std::make_shared<RawFileIO>(_cname);
    loadKeysAndSetupCiphers();
}

FileNode::~FileNode() {
    wipe(_pname);
    wipe(_cname);
    io.reset();
}

void FileNode::loadKeysAndSetupCiphers() {
    if (ciphersSetUp || isBlockedProcess()) return;
    io = std::make_shared<CipherFileIO>(rawIO, fsConfig);
    ciphersSetUp = true;
}

std::string FileNode::plaintextParent() const { return parentDirectory(_pname); }

FileIO& FileNode::layerFor(bool blockedCaller, bool honourBlacklist) {
    if (blockedCaller || !io || (honourBlacklist && isBlackListed(_pname))) return *rawIO;
    return *io;
}

void FileNode::forgetDecryptingStateAfterRawChange(const FileIO& usedLayer) {
    if (io && &usedLayer == rawIO.get()) io = std::make_shared<CipherFileIO>(rawIO, fsConfig);
}

bool FileNode::passIVDown(uint64_t iv) {
    if (!io) return true;
    struct stat st;
    if (io->getAttr(&st) != 0 || !S_ISREG(st.st_mode)) return true;
    return io->setIV(iv);
}

bool FileNode::setName(const char* plaintextName, const char* cipherName_, uint64_t iv,
                       bool setIVFirst) {
    loadKeysAndSetupCiphers();
    rDebug("calling setIV on %s", cipherName_ ? cipherName_ : "(null)");
    bool externalIV = fsConfig->config && fsConfig->config->externalIV;
    auto takeNames = [&] {
        if (plaintextName) _pname = plaintextName;
        if (cipherName_) {
            _cname = cipherName_;
            if (io) io->setFileName(cipherName_);
            else rawIO->setFileName(cipherName_);
        }
    };
    if (setIVFirst) {
        if (externalIV && !passIVDown(iv)) return false;
        takeNames();
        return true;
    }
    std::string oldPlain = _pname, oldCipher = _cname;
    takeNames();
    if (externalIV && !passIVDown(iv)) {
        _pname = oldPlain;
        _cname = oldCipher;
        if (io) io->setFileName(oldCipher.c_str());
        else rawIO->setFileName(oldCipher.c_str());
        return false;
    }
    return true;
}

int FileNode::mknod(mode_t mode, dev_t rdev, uid_t uid, gid_t gid) {
    Lock lock(mutex);
    int result = 0;
    {
        EffectiveIdentity identity(uid, gid);
        if (S_ISREG(mode)) {
            int fd = ::open(_cname.c_str(), O_CREAT | O_EXCL | O_WRONLY, mode);
            if (fd >= 0) ::close(fd);
            else result = -errno;
        } else if (S_ISFIFO(mode)) {
            if (::mkfifo(_cname.c_str(), mode) != 0) result = -errno;
        } else if (::mknod(_cname.c_str(), mode, rdev) != 0) {
            result = -errno;
        }
    }
    if (result != 0) rDebug("mknod error: %s", strerror(-result));
    return result;
}

int FileNode::open(int flags) {
    Lock lock(mutex);
    return io ? io->open(flags) : rawIO->open(flags);
}

int FileNode::getAttr(struct stat* stbuf) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    return layerFor(isBlockedProcess(), true).getAttr(stbuf);
}

int64_t FileNode::getSize() {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    return layerFor(isBlockedProcess(), true).getSize();
}

ssize_t FileNode::read(int64_t offset, unsigned char* data, int size) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    IORequest req;
    req.offset = offset;
    req.length = size;
    req.data = data;
    return layerFor(isBlockedProcess(), true).read(req);
}

bool FileNode::write(int64_t offset, unsigned char* data, int size) {
    Lock lock(mutex);
    rInfo("FileNode::write offset %lli, data size %i", static_cast<long long>(offset), size);
    loadKeysAndSetupCiphers();
    IORequest req;
    req.offset = offset;
    req.length = size;
    req.data = data;
    FileIO& layer = layerFor(isBlockedProcess(), true);
    bool written = layer.write(req);
    forgetDecryptingStateAfterRawChange(layer);
    return written;
}

int FileNode::truncate(int64_t size) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    FileIO& layer = layerFor(isBlockedProcess(), false);
    int result = layer.truncate(size);
    forgetDecryptingStateAfterRawChange(layer);
    return result;
}

int FileNode::sync(bool /*dataOnly*/) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    FileIO& layer = layerFor(isBlockedProcess(), false);
    int fd = layer.open(O_RDONLY);
    if (fd < 0) return fd;
    return ::fsync(fd) == 0 ? 0 : -errno;
}

// The header calls come from the desktop side while FUSE workers may use the same node,
// so they are serialised with the node's I/O.
bool FileNode::readHeader() {
    Lock lock(mutex);
    return io && io->readHeader(true);
}

bool FileNode::isCipherText() {
    Lock lock(mutex);
    return io && io->isCipherText();
}

bool FileNode::isDecipherableCipherText() {
    Lock lock(mutex);
    return io && io->isDecipherableCipherText();
}

bool FileNode::isUKEKEntryValid() {
    Lock lock(mutex);
    return io && io->isUKEKEntryValid();
}

bool FileNode::updateUKEKEntry() {
    Lock lock(mutex);
    return io && io->updateUKEKEntry();
}

bool FileNode::getFileInfo(unsigned& version, std::string& userId, std::string& shareKeyId) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    userId.clear();
    shareKeyId.clear();
    if (!io || !io->readHeader(false)) return false;
    version = io->getVersion();
    if (version == CipherHeaderLayout::VersionCurrent) {
        userId = io->getUserId();
        shareKeyId = io->getShareKeyId();
    }
    return true;
}

bool FileNode::updateCipherHeader(bool rewriteUserEntry) {
    Lock lock(mutex);
    loadKeysAndSetupCiphers();
    if (!io) return false;
    if (io->isDecipherableCipherText()) return io->updateCipherHeader(rewriteUserEntry);
    rDebug("File not owned by us. Skipping migration%s", _pname.c_str());
    return true;
}
