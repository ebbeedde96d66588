#pragma once

#include <boost/uuid/uuid.hpp>

#include <cstdint>
#include <memory>
#include <string>

#include "Cipher.h"
#include "CipherKey.h"

class FSConfig;

// The 512-byte header at the start of every encrypted stored file: banner, signature, version,
// key id, the file key (fek) wrapped under the user key, the volume key and the share key,
// the owner id and the share key id.
namespace CipherHeaderLayout {
constexpr int Size = 512;
constexpr int BannerOffset = 0;
constexpr int BannerLength = 128;
constexpr int SignatureOffset = 128;
constexpr int SignatureLength = 32;
constexpr int VersionOffset = 160;
constexpr int KeyIdOffset = 164;
constexpr int UuidLength = 16;
// Fixed read positions (the write positions follow from the encoded key size; equal for 52).
constexpr int UserEntryOffset = 180;
constexpr int VolumeEntryOffset = 232;
constexpr int UserIdOffset = 284;
constexpr int ShareKeyIdOffset = 300;
constexpr int ShareEntryOffset = 316;
constexpr int UserEntryLength = 52;

constexpr uint32_t VersionCurrent = 20140128;
constexpr uint32_t VersionVolumeKey = 20100713;

extern const char Signature[SignatureLength + 1];
extern const char BannerPrefix[];
}  // namespace CipherHeaderLayout

using Uuid = boost::uuids::uuid;

// What a header says, and the fek when one of the available keys opens it.
struct CipherHeader {
    uint32_t version = 0;
    CipherKey fek;
    bool userEntryValid = false;
    Uuid keyId{};
    Uuid userId{};
    Uuid shareKeyId{};
};

// True when the signature sits at offset 128; logs on the info channel when it does not.
bool hasHeaderSignature(const unsigned char* header);

// Parses a header; with loadKey also unwraps the fek (user entry, then the volume entry for
// version 20100713 or the share entry for 20140128). Fails without signature, or when loadKey
// is set and no key opens it.
bool extractHeaderFields(const unsigned char* header, CipherHeader& result, bool loadKey,
                         const FSConfig& config);

// Fills a zeroed buffer with a new header for fek.
void writeHeaderFields(unsigned char* header, const CipherHeader& fields, const FSConfig& config);

// Rewrites the version, key id, ids and the chosen key entries of an existing header for
// fields.fek; the volume entry stays as it was.
void updateHeaderFields(unsigned char* header, const CipherHeader& fields, bool rewriteUserEntry,
                        bool rewriteShareEntry, const FSConfig& config);

// The first 8 IV bytes of the fek, most significant first; 0 for a key without IV bytes.
uint64_t fileIVFromKey(const CipherKey& fek);

// UUID text handling: the usual 8-4-4-4-12 form, lower case.
bool parseUuid(const std::string& text, Uuid& out);
std::string uuidText(const Uuid& id);
// An owner id of 1 to 36 characters right-aligned over the all-zero UUID text, else that text.
std::string ownerIdUuidText(const std::string& ownerId);
