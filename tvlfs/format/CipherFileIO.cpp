#include "CipherFileIO.h"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "Assert.h"
#include "BlockLayout.h"
#include "MemoryPool.h"
#include "RawFileIO.h"

using namespace CipherHeaderLayout;
using BlockLayout::blockNumber;
using BlockLayout::blockSeed;
using BlockLayout::HeaderSize;
using BlockLayout::storedOffset;

namespace {

const rel::Interface CipherFileIOInterface("FileIO/Cipher", 2, 0, 1);

// The block-size check logs once per process.
std::atomic<bool> blockSizeWarningLogged{false};

bool isAllZero(const unsigned char* data, int size) {
    return std::all_of(data, data + size, [](unsigned char byte) { return byte == 0; });
}

// A pool buffer for coding a block without touching the caller's bytes.
class CodingBuffer {
public:
    CodingBuffer(const unsigned char* source, int size) : block(MemoryPool::allocate(size)) {
        std::memcpy(block.data, source, static_cast<size_t>(size));
    }
    CodingBuffer(const CodingBuffer&) = delete;
    CodingBuffer& operator=(const CodingBuffer&) = delete;
    ~CodingBuffer() { MemoryPool::release(block); }
    unsigned char* data() { return block.data; }

private:
    MemBlock block;
};

}  // namespace

CipherFileIO::CipherFileIO(std::shared_ptr<FileIO> base_, std::shared_ptr<FSConfig> cfg)
    : BlockFileIO(cfg->config->blockSize, cfg->config->allowHoles),
      base(std::move(base_)),
      fsConfig(std::move(cfg)),
      cipher(fsConfig->cipher),
      userKey(fsConfig->userKey),
      shareKey(fsConfig->shareKey),
      version(static_cast<uint32_t>(fsConfig->config->subVersion)) {
    parseUuid(fsConfig->config->volumeKeyID, keyId);
    parseUuid(fsConfig->shareKeyId, shareKeyId);
    parseUuid(ownerIdUuidText(fsConfig->config->ownerID), userId);
    if (!blockSizeWarningLogged.load() && _blockSize % cipher->cipherBlockSize() != 0) {
        rError("CipherFileIO: blocks should be multiple of cipher block size");
        blockSizeWarningLogged.store(true);
    }
}

CipherFileIO::~CipherFileIO() = default;

rel::Interface CipherFileIO::interface() const { return CipherFileIOInterface; }

void CipherFileIO::setFileName(const char* fileName) { base->setFileName(fileName); }

const char* CipherFileIO::getFileName() const { return base->getFileName(); }

bool CipherFileIO::setIV(uint64_t iv) { return base->setIV(iv); }

bool CipherFileIO::isWritable() const { return base->isWritable(); }

bool CipherFileIO::isOpen() const { return base->isOpen(); }

int CipherFileIO::open(int flags) {
    const int result = base->open(flags);
    if (result >= 0) lastFlags = flags;
    return result;
}

int CipherFileIO::getAttr(struct stat* stbuf) {
    const int result = base->getAttr(stbuf);
    if (result == 0 && S_ISREG(stbuf->st_mode) && stbuf->st_size >= HeaderSize &&
        isDecipherableCipherText())
        stbuf->st_size = BlockLayout::plainSize(stbuf->st_size);
    return result;
}

int64_t CipherFileIO::getSize() {
    const int64_t size = base->getSize();
    if (size >= HeaderSize && isDecipherableCipherText()) return BlockLayout::plainSize(size);
    return size;
}

bool CipherFileIO::readStoredHeader(unsigned char* header) {
    std::memset(header, 0, Size);
    IORequest req{0, Size, header};
    if (base->isOpen()) return base->read(req) == Size;
    RawFileIO reader(base->getFileName());
    if (reader.open(O_RDONLY) < 0) return false;
    return reader.read(req) == Size;
}

bool CipherFileIO::isCipherText() {
    unsigned char header[Size];
    return readStoredHeader(header) && hasHeaderSignature(header);
}

bool CipherFileIO::isDecipherableCipherText() {
    unsigned char header[Size];
    if (!readStoredHeader(header)) return false;
    CipherHeader fields;
    return extractHeaderFields(header, fields, true, *fsConfig) && fields.fek != nullptr;
}

bool CipherFileIO::readHeader(bool loadKey) { return readOrCreateHeader(false, loadKey); }

bool CipherFileIO::readHeader(const unsigned char* header, bool loadKey) {
    if (fileIV != 0) return true;
    CipherHeader fields;
    if (!extractHeaderFields(header, fields, loadKey, *fsConfig)) return false;
    version = fields.version;
    userEntryValid = fields.userEntryValid;
    keyId = fields.keyId;
    if (fields.version == VersionCurrent) {
        userId = fields.userId;
        shareKeyId = fields.shareKeyId;
    }
    if (loadKey) {
        fek = fields.fek;
        fileIV = fileIVFromKey(fek);
    }
    return true;
}

bool CipherFileIO::readOrCreateHeader(bool create, bool loadKey) {
    unsigned char header[Size] = {};
    IORequest req{0, Size, header};
    bool ok = base->read(req) == Size && readHeader(header, loadKey);
    if (!ok && create && base->getSize() == 0) {
        rDebug("creating new file header");
        std::memset(header, 0, Size);
        if (base->isWritable() && createHeader(header)) ok = base->write(req);
    }
    return ok;
}

CipherHeader CipherFileIO::headerFields() const {
    CipherHeader fields;
    fields.version = version;
    fields.fek = fek;
    fields.keyId = keyId;
    fields.userId = userId;
    fields.shareKeyId = shareKeyId;
    return fields;
}

bool CipherFileIO::createHeader(unsigned char* buffer) {
    rDebug("creating new file header");
    if (!fek) fek = cipher->newRandomKey();
    if (!fek) {
        rError("failed to create file header");
        return false;
    }
    writeHeaderFields(buffer, headerFields(), *fsConfig);
    fileIV = fileIVFromKey(fek);
    return true;
}

bool CipherFileIO::reopenForWrite() {
    if (base->isWritable()) return true;
    if (base->open(lastFlags | O_RDWR) >= 0) return true;
    rDebug("writeHeader failed to re-open for write");
    return false;
}

bool CipherFileIO::decodeBlock(unsigned char* data, int size, int64_t blockNum) const {
    if (!fek) return false;
    const uint64_t seed = blockSeed(blockNum, fileIV);
    if (fsConfig->reverseEncryption) {
        return size == _blockSize ? cipher->blockEncode(data, size, seed, fek)
                                  : cipher->streamEncode(data, size, seed, fek);
    }
    if (size == _blockSize) {
        // A run of zeros in the stored data is a hole left by a sparse write.
        if (_allowHoles && isAllZero(data, size)) return true;
        return cipher->blockDecode(data, size, seed, fek);
    }
    return cipher->streamDecode(data, size, seed, fek);
}

bool CipherFileIO::encodeBlock(unsigned char* data, int size, int64_t blockNum) const {
    if (!fek) return false;
    const uint64_t seed = blockSeed(blockNum, fileIV);
    if (fsConfig->reverseEncryption) {
        return size == _blockSize ? cipher->blockDecode(data, size, seed, fek)
                                  : cipher->streamDecode(data, size, seed, fek);
    }
    return size == _blockSize ? cipher->blockEncode(data, size, seed, fek)
                              : cipher->streamEncode(data, size, seed, fek);
}

ssize_t CipherFileIO::readOneBlock(const IORequest& req) {
    const int64_t blockNum = blockNumber(req.offset, _blockSize);
    const int64_t rawSize = base->getSize();
    passThrough = rawSize != 0 && !isDecipherableCipherText();
    passThroughDecided = true;

    IORequest rawReq = req;
    if (!passThrough && rawSize != 0) rawReq.offset = storedOffset(req.offset);

    const ssize_t readSize = base->read(rawReq);
    if (readSize <= 0) {
        rDebug("readSize zero for offset %lli", static_cast<long long>(req.offset));
        return readSize;
    }
    if (fileIV == 0 && !passThrough) readOrCreateHeader(false, true);
    if (passThrough) {
        rDebug("Passing read through");
        return readSize;
    }
    if (!decodeBlock(req.data, static_cast<int>(readSize), blockNum)) {
        rDebug("decodeBlock failed for block %lli, size %i", static_cast<long long>(blockNum),
               static_cast<int>(readSize));
        return -1;
    }
    return readSize;
}

bool CipherFileIO::sniffWrite(const IORequest& req, IORequest& outgoing) {
    if (passThroughDecided) return false;
    if (req.offset == static_cast<int64_t>(writtenPrefix.size()))
        writtenPrefix.insert(writtenPrefix.end(), req.data, req.data + req.length);
    if (writtenPrefix.size() < static_cast<size_t>(Size)) return false;
    passThroughDecided = true;
    if (std::memcmp(writtenPrefix.data() + SignatureOffset, Signature, SignatureLength) != 0) {
        writtenPrefix.clear();
        return false;
    }
    // The writer is storing an already encrypted file: keep its bytes as they are, dropping the
    // header this layer may have written for it.
    passThrough = true;
    const int64_t rawSize = base->getSize();
    if (rawSize > HeaderSize) base->truncate(rawSize - HeaderSize);
    outgoing = IORequest{0, static_cast<int>(writtenPrefix.size()), writtenPrefix.data()};
    return true;
}

bool CipherFileIO::writeOneBlock(const IORequest& req) {
    const int64_t blockNum = blockNumber(req.offset, _blockSize);
    IORequest outgoing = req;
    sniffWrite(req, outgoing);

    if (fileIV == 0 && !passThrough) readOrCreateHeader(true, true);
    if (passThrough) {
        const bool ok = base->write(outgoing);
        if (passThroughDecided) writtenPrefix.clear();
        return ok;
    }

    CodingBuffer coded(req.data, req.length);
    if (!encodeBlock(coded.data(), req.length, blockNum)) {
        rDebug("encodeBlock failed for block %lli, size %i", static_cast<long long>(blockNum),
               req.length);
        return false;
    }
    return base->write(IORequest{storedOffset(req.offset), req.length, coded.data()});
}

int CipherFileIO::truncate(int64_t size) {
    if (base->getSize() > 0 && !isDecipherableCipherText()) {
        // A plain stored file keeps its bytes up to size and gains no header.
        passThrough = true;
        passThroughDecided = true;
        return BlockFileIO::truncate(size, base.get());
    }
    if (fileIV == 0) {
        reopenForWrite();
        readOrCreateHeader(true, true);
    }
    const int result = BlockFileIO::truncate(size, nullptr);
    if (result == 0) return base->truncate(BlockLayout::storedSize(size));
    return result;
}

CipherKey CipherFileIO::getFek() {
    if (!fek) fek = cipher->newRandomKey();
    return fek;
}

bool CipherFileIO::updateCipherHeader(bool rewriteUserEntry) {
    unsigned char header[Size] = {};
    reopenForWrite();
    bool ok = false;
    IORequest req{0, Size, header};
    if (base->read(req) != Size || !readHeader(header, true)) {
        rError("Failed to read file header. Update header failed.");
    } else if (!fek) {
        rDebug("updating file header");
        rError("failed to update file header");
    } else {
        rDebug("updating file header");
        const std::string volumeShareKeyId = fsConfig->shareKeyId;
        Uuid ownShareKeyId{};
        parseUuid(volumeShareKeyId, ownShareKeyId);
        // A share entry under another user's share key stays, so that key still opens the file.
        const bool rewriteShareEntry = version != VersionCurrent || shareKeyId == ownShareKeyId;
        version = VersionCurrent;
        updateHeaderFields(header, headerFields(), rewriteUserEntry, rewriteShareEntry, *fsConfig);
        fileIV = fileIVFromKey(fek);
        if (base->isWritable()) ok = base->write(req);
        else rError("Base is not writable. Failed to write header.");
    }
    rDebug("updateCipherHeader finished");
    return ok;
}

unsigned int CipherFileIO::getVersion() const { return version; }

std::string CipherFileIO::getUserId() const { return uuidText(userId); }

std::string CipherFileIO::getShareKeyId() const { return uuidText(shareKeyId); }

bool CipherFileIO::isUKEKEntryValid() const { return userEntryValid; }

bool CipherFileIO::updateUKEKEntry() {
    const bool ukekValid = userEntryValid;
    rAssert(!ukekValid);
    if (!fek || !reopenForWrite()) return false;
    unsigned char entry[UserEntryLength] = {};
    cipher->writeKey(fek, entry, userKey);
    const bool ok = base->write(IORequest{UserEntryOffset, UserEntryLength, entry});
    if (!ok) rError("Failed to update the uKEK entry");
    else userEntryValid = true;
    return ok;
}
