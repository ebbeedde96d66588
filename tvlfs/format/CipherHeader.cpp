#include "CipherHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Assert.h"
#include "FSConfig.h"
#include "SSLKey.h"

namespace CipherHeaderLayout {
const char Signature[SignatureLength + 1] = "141ABEC8043A411086E9E50F46D5D24B";
const char BannerPrefix[] = "Tolvarin encrypted file, ";
}  // namespace CipherHeaderLayout

using namespace CipherHeaderLayout;

namespace {

constexpr const char* ServiceHost = "www.tolvarin.com";

uint32_t loadBigEndian32(const unsigned char* in) {
    return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
           (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

void storeBigEndian32(unsigned char* out, uint32_t value) {
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

// An entry opened with a key that may be absent.
CipherKey unwrapEntry(Cipher& cipher, const unsigned char* entry, const CipherKey& wrappingKey) {
    if (!wrappingKey) return nullptr;
    return cipher.readKey(entry, wrappingKey, true);
}

CipherKey unwrapWithKeyMap(Cipher& cipher, const unsigned char* entry, const Uuid& id,
                           const FSConfig& config) {
    KeySlotHandle slot = config.lookupKey(uuidText(id));
    return slot ? unwrapEntry(cipher, entry, slot->key) : nullptr;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Write positions follow from the encoded key size; they equal the fixed read positions for 52.
struct EntryPositions {
    int userEntry;
    int volumeEntry;
    int userId;
    int shareKeyId;
    int shareEntry;
};

EntryPositions entryPositions(int encodedKeySize) {
    const int length = encodedKeySize;
    const int end = UserEntryOffset + 2 * length + 2 * UuidLength + length;
    rAssert(end <= Size);
    return {UserEntryOffset, UserEntryOffset + length, UserEntryOffset + 2 * length,
            UserEntryOffset + 2 * length + UuidLength, UserEntryOffset + 2 * length + 2 * UuidLength};
}

void writeIdsAndEntries(unsigned char* header, const CipherHeader& fields, bool writeUserEntry,
                        bool writeShareEntry, const FSConfig& config) {
    Cipher& cipher = *config.cipher;
    const EntryPositions at = entryPositions(cipher.encodedKeySize());
    storeBigEndian32(header + VersionOffset, fields.version);
    std::memcpy(header + KeyIdOffset, fields.keyId.data, UuidLength);
    if (writeUserEntry && config.userKey) cipher.writeKey(fields.fek, header + at.userEntry, config.userKey);
    std::memcpy(header + at.userId, fields.userId.data, UuidLength);
    std::memcpy(header + at.shareKeyId, fields.shareKeyId.data, UuidLength);
    if (writeShareEntry && config.shareKey) cipher.writeKey(fields.fek, header + at.shareEntry, config.shareKey);
}

}  // namespace

bool hasHeaderSignature(const unsigned char* header) {
    if (std::memcmp(header + SignatureOffset, Signature, SignatureLength) == 0) return true;
    rInfo("File is not a valid Tolvarin Encrypted File");
    return false;
}

bool extractHeaderFields(const unsigned char* header, CipherHeader& result, bool loadKey,
                         const FSConfig& config) {
    if (!hasHeaderSignature(header)) return false;
    Cipher& cipher = *config.cipher;
    result.version = loadBigEndian32(header + VersionOffset);
    std::memcpy(result.keyId.data, header + KeyIdOffset, UuidLength);
    result.fek = nullptr;
    result.userEntryValid = false;

    if (loadKey) {
        result.fek = unwrapEntry(cipher, header + UserEntryOffset, config.userKey);
        result.userEntryValid = result.fek != nullptr;
    }

    if (result.version == VersionVolumeKey && loadKey && !result.fek) {
        result.fek = unwrapWithKeyMap(cipher, header + VolumeEntryOffset, result.keyId, config);
        if (!result.fek) rDebug("Unable to read file encryption key: unable to get fek with volume key");
    }

    if (result.version == VersionCurrent) {
        std::memcpy(result.userId.data, header + UserIdOffset, UuidLength);
        std::memcpy(result.shareKeyId.data, header + ShareKeyIdOffset, UuidLength);
        if (loadKey && !result.fek) {
            if (uuidText(result.shareKeyId) == lowerCase(config.shareKeyId))
                result.fek = unwrapEntry(cipher, header + ShareEntryOffset, config.shareKey);
            if (!result.fek)
                result.fek = unwrapWithKeyMap(cipher, header + ShareEntryOffset, result.shareKeyId, config);
            if (!result.fek) rDebug("Unable to read file encryption key: unable to get fek with share key");
        }
    }

    if (!loadKey || result.fek) return true;
    rDebug("Unable to read file encryption key");
    return false;
}

void writeHeaderFields(unsigned char* header, const CipherHeader& fields, const FSConfig& config) {
    const std::string banner = std::string(BannerPrefix) + ServiceHost;
    std::memcpy(header + BannerOffset, banner.data(), std::min<size_t>(banner.size(), BannerLength));
    std::memcpy(header + SignatureOffset, Signature, SignatureLength);
    writeIdsAndEntries(header, fields, true, true, config);
}

void updateHeaderFields(unsigned char* header, const CipherHeader& fields, bool rewriteUserEntry,
                        bool rewriteShareEntry, const FSConfig& config) {
    writeIdsAndEntries(header, fields, rewriteUserEntry, rewriteShareEntry, config);
}

uint64_t fileIVFromKey(const CipherKey& fek) {
    std::shared_ptr<SSLKey> key = std::dynamic_pointer_cast<SSLKey>(fek);
    if (!key || key->ivLength < 8) return 0;
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | key->ivData()[i];
    return value;
}

bool parseUuid(const std::string& text, Uuid& out) {
    if (text.size() != 36) return false;
    Uuid parsed{};
    int byteIndex = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return false;
            ++i;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        parsed.data[byteIndex++] =
            static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16));
        i += 2;
    }
    out = parsed;
    return true;
}

std::string uuidText(const Uuid& id) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (int i = 0; i < UuidLength; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += digits[id.data[i] >> 4];
        text += digits[id.data[i] & 0x0f];
    }
    return text;
}

std::string ownerIdUuidText(const std::string& ownerId) {
    std::string text = "00000000-0000-0000-0000-000000000000";
    if (!ownerId.empty() && ownerId.size() <= text.size())
        text.replace(text.size() - ownerId.size(), ownerId.size(), ownerId);
    return text;
}
