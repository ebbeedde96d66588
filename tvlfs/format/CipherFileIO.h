#pragma once

#include <memory>
#include <string>
#include <vector>

#include "BlockFileIO.h"
#include "Cipher.h"
#include "CipherHeader.h"
#include "FSConfig.h"

// The encrypted layer: a 512-byte header carrying the file's own key, then the plain blocks
// coded under it at the same length. Files without a header that an available key opens are
// read and written unchanged (pass-through).
class CipherFileIO : public BlockFileIO {
public:
    CipherFileIO(std::shared_ptr<FileIO> base, std::shared_ptr<FSConfig> cfg);
    ~CipherFileIO() override;

    rel::Interface interface() const override;

    void setFileName(const char* fileName) override;
    const char* getFileName() const override;
    bool setIV(uint64_t iv) override;

    int open(int flags) override;
    int getAttr(struct stat* stbuf) override;
    int64_t getSize() override;
    int truncate(int64_t size) override;

    bool isWritable() const override;
    bool isOpen() const override;

    // The fek, created at random first when none is loaded.
    CipherKey getFek() override;
    // Upgrades a decipherable header to the current version and the volume's ids and share key.
    bool updateCipherHeader(bool rewriteUserEntry) override;

    // Whether the first 512 stored bytes carry the signature.
    bool isCipherText();
    // Whether an available key opens the stored header.
    bool isDecipherableCipherText();
    bool readHeader(bool loadKey);
    // Fills a 512-byte buffer with a new header (creating the fek when none is loaded).
    bool createHeader(unsigned char* buffer);

    unsigned int getVersion() const;
    std::string getUserId() const;
    std::string getShareKeyId() const;

    bool isUKEKEntryValid() const;
    // Rewrites only the user entry; only for a header whose user entry did not open.
    bool updateUKEKEntry();

protected:
    ssize_t readOneBlock(const IORequest& req) override;
    bool writeOneBlock(const IORequest& req) override;

private:
    bool readHeader(const unsigned char* header, bool loadKey);
    // The header record this file writes: its own key, ids and version.
    CipherHeader headerFields() const;
    bool readOrCreateHeader(bool create, bool loadKey);
    bool readStoredHeader(unsigned char* header);
    bool reopenForWrite();
    bool decodeBlock(unsigned char* data, int size, int64_t blockNum) const;
    bool encodeBlock(unsigned char* data, int size, int64_t blockNum) const;
    bool sniffWrite(const IORequest& req, IORequest& outgoing);

    std::shared_ptr<FileIO> base;
    std::shared_ptr<FSConfig> fsConfig;
    int lastFlags = 0;
    std::shared_ptr<Cipher> cipher;
    CipherKey userKey;
    CipherKey shareKey;
    uint32_t version;
    Uuid keyId{};
    Uuid userId{};
    Uuid shareKeyId{};
    uint64_t fileIV = 0;
    CipherKey fek;
    bool userEntryValid = false;
    bool passThrough = false;
    bool passThroughDecided = false;
    std::vector<unsigned char> writtenPrefix;
};
