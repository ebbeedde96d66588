#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "CipherFileIO.h"
#include "FSConfig.h"
#include "Mutex.h"
#include "RawFileIO.h"

class DirNode;

// One file of the volume while something uses it: owns the file's I/O stack, serialises
// all I/O on it and decides per call whether the caller sees plaintext or the stored bytes.
class FileNode {
public:
    FileNode(DirNode* parent, std::shared_ptr<FSConfig> cfg, const char* plaintextName,
             const char* cipherName);
    ~FileNode();
    FileNode(const FileNode&) = delete;
    FileNode& operator=(const FileNode&) = delete;

    const char* cipherName() const { return _cname.c_str(); }
    const char* plaintextName() const { return _pname.c_str(); }
    std::string plaintextParent() const;

    // Either name may be null to keep it.
    bool setName(const char* plaintextName, const char* cipherName, uint64_t iv, bool setIVFirst);

    int mknod(mode_t mode, dev_t rdev, uid_t uid, gid_t gid);
    int open(int flags);
    int getAttr(struct stat* stbuf);
    int64_t getSize();
    ssize_t read(int64_t offset, unsigned char* data, int size);
    bool write(int64_t offset, unsigned char* data, int size);
    int truncate(int64_t size);
    int sync(bool dataOnly);

    bool readHeader();
    bool isCipherText();
    bool isDecipherableCipherText();
    bool isUKEKEntryValid();
    bool updateUKEKEntry();

    bool getFileInfo(unsigned& version, std::string& userId, std::string& shareKeyId);
    bool updateCipherHeader(bool rewriteUserEntry);

private:
    void loadKeysAndSetupCiphers();
    // The layer this call goes through: plaintext unless the caller is blocked, the name is
    // blacklisted (when that counts) or no decrypting stack exists.
    FileIO& layerFor(bool blockedCaller, bool honourBlacklist);
    // Raw changes bypass the decrypting stack, whose header state and block cache would
    // otherwise be stale for the next plaintext caller.
    void forgetDecryptingStateAfterRawChange(const FileIO& usedLayer);
    bool passIVDown(uint64_t iv);

    Mutex mutex;
    std::shared_ptr<FSConfig> fsConfig;
    std::shared_ptr<CipherFileIO> io;
    std::string _pname;
    std::string _cname;
    DirNode* parent;
    std::shared_ptr<RawFileIO> rawIO;
    bool ciphersSetUp = false;
};
