#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "BlockLayout.h"
#include "CipherFileIO.h"
#include "CipherHeader.h"
#include "TestVolume.h"

using namespace CipherHeaderLayout;

namespace {

const char* const ShareKeyId = "5f1c2a3b-4d5e-4f60-8a7b-9c0d1e2f3a4b";

uint32_t bigEndian32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

class CipherFileIOTest : public testing::Test {
protected:
    TempDir dir;
    std::shared_ptr<FSConfig> config = makeTestConfig("user kek", "share key", ShareKeyId);

    std::string store(const std::string& name, const std::vector<unsigned char>& plain,
                      std::shared_ptr<FSConfig> with = nullptr) {
        const std::string path = dir.file(name);
        writeFileBytes(path, {});
        CipherFile file(path, with ? with : config);
        EXPECT_TRUE(file.write(0, plain));
        return path;
    }
    std::vector<unsigned char> load(const std::string& path, std::shared_ptr<FSConfig> with = nullptr) {
        CipherFile file(path, with ? with : config, O_RDONLY);
        return file.read(0, static_cast<int>(file.io.getSize()));
    }
};

}  // namespace

TEST_F(CipherFileIOTest, ContentsRoundTripAndGrowByTheHeaderOnly) {
    for (size_t size : {0u, 1u, 15u, 16u, 511u, 512u, 513u, 1000u, 4096u, 1048583u}) {
        const auto plain = patternBytes(size);
        const std::string path = store("f" + std::to_string(size), plain);
        EXPECT_EQ(readFileBytes(path).size(), size == 0 ? 0 : size + 512) << size;
        EXPECT_EQ(load(path), plain) << size;
    }
}

TEST_F(CipherFileIOTest, SmallScatteredWritesReadBackLikeOneWrite) {
    const auto plain = patternBytes(3000, 3);
    const std::string path = dir.file("chunks");
    writeFileBytes(path, {});
    {
        CipherFile file(path, config);
        for (size_t offset = 0; offset < plain.size(); offset += 333) {
            const size_t n = std::min<size_t>(333, plain.size() - offset);
            ASSERT_TRUE(file.write(static_cast<int64_t>(offset), {plain.begin() + offset, plain.begin() + offset + n}));
        }
        EXPECT_EQ(file.read(1000, 700), std::vector<unsigned char>(plain.begin() + 1000, plain.begin() + 1700));
    }
    EXPECT_EQ(load(path), plain);
}

TEST_F(CipherFileIOTest, StoredBytesFollowTheHeaderLayoutAndBlockCoding) {
    const auto plain = patternBytes(1100);
    const std::string path = store("layout", plain);
    const auto stored = readFileBytes(path);
    ASSERT_EQ(stored.size(), 1612u);
    const unsigned char* header = stored.data();

    EXPECT_EQ(0, std::memcmp(header, "Tolvarin encrypted file, ", 25));
    EXPECT_EQ(0, std::memcmp(header + 128, "141ABEC8043A411086E9E50F46D5D24B", 32));
    EXPECT_EQ(bigEndian32(header + 160), 20140128u);
    EXPECT_EQ(std::vector<unsigned char>(header + 164, header + 180), std::vector<unsigned char>(16, 0));
    EXPECT_EQ(std::vector<unsigned char>(header + 232, header + 284), std::vector<unsigned char>(52, 0));
    Uuid id;
    std::memcpy(id.data, header + 284, 16);
    EXPECT_EQ(uuidText(id), "00000000-0000-0000-0000-000000001234");
    std::memcpy(id.data, header + 300, 16);
    EXPECT_EQ(uuidText(id), ShareKeyId);
    EXPECT_EQ(std::vector<unsigned char>(header + 368, header + 512), std::vector<unsigned char>(144, 0));

    // The user entry and the share entry both hold the same file key.
    Cipher& cipher = *config->cipher;
    CipherKey fek = cipher.readKey(header + 180, config->userKey, true);
    ASSERT_NE(fek, nullptr);
    CipherKey viaShare = cipher.readKey(header + 316, config->shareKey, true);
    ASSERT_NE(viaShare, nullptr);
    EXPECT_TRUE(cipher.compareKey(fek, viaShare));

    // Block n under seed n XOR fileIV: full blocks in block coding, the short tail in stream coding.
    const uint64_t fileIV = fileIVFromKey(fek);
    std::vector<unsigned char> block(plain.begin(), plain.begin() + 512);
    cipher.blockEncode(block.data(), 512, BlockLayout::blockSeed(0, fileIV), fek);
    EXPECT_EQ(block, std::vector<unsigned char>(stored.begin() + 512, stored.begin() + 1024));
    block.assign(plain.begin() + 512, plain.begin() + 1024);
    cipher.blockEncode(block.data(), 512, BlockLayout::blockSeed(1, fileIV), fek);
    EXPECT_EQ(block, std::vector<unsigned char>(stored.begin() + 1024, stored.begin() + 1536));
    std::vector<unsigned char> tail(plain.begin() + 1024, plain.end());
    cipher.streamEncode(tail.data(), 76, BlockLayout::blockSeed(2, fileIV), fek);
    EXPECT_EQ(tail, std::vector<unsigned char>(stored.begin() + 1536, stored.end()));

    // The same plaintext in another file codes differently under its own key.
    EXPECT_NE(readFileBytes(store("twin", plain)), stored);
}

TEST_F(CipherFileIOTest, HeaderOpensThroughTheShareEntryOrTheKeyMap) {
    const auto plain = patternBytes(700);
    const std::string path = store("shared", plain);

    // Another user of the same share: different user key, same share key and id.
    auto member = makeTestConfig("someone else", "share key", ShareKeyId);
    EXPECT_EQ(load(path, member), plain);

    // A user whose own share key differs but who has this share key loaded by id.
    auto recipient = makeTestConfig("recipient", "own share", "11111111-2222-4333-8444-555555555555");
    CipherFile closed(path, recipient, O_RDONLY);
    EXPECT_FALSE(closed.io.isDecipherableCipherText());
    recipient->putKey(ShareKeyId, std::make_shared<KeySlot>(KeySlot{member->shareKey}));
    EXPECT_EQ(load(path, recipient), plain);
}

TEST_F(CipherFileIOTest, OlderHeaderOpensThroughTheVolumeEntryAndUpgrades) {
    const auto plain = patternBytes(600, 9);
    const std::string path = store("old", plain);
    auto stored = readFileBytes(path);
    Cipher& cipher = *config->cipher;
    CipherKey fek = cipher.readKey(stored.data() + 180, config->userKey, true);

    // Rewrite it as a 20100713 header: foreign user entry, fek under a volume key named by the key id.
    const std::string volumeKeyId = "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee";
    auto foreign = makeTestConfig("foreign user", "x", ShareKeyId);
    CipherKey volumeKey = cipher.newKey("volume", 6);
    Uuid keyId;
    ASSERT_TRUE(parseUuid(volumeKeyId, keyId));
    stored[160] = 0x01; stored[161] = 0x32; stored[162] = 0xb6; stored[163] = 0x69;  // 20100713
    std::memcpy(stored.data() + 164, keyId.data, 16);
    cipher.writeKey(fek, stored.data() + 180, foreign->userKey);
    cipher.writeKey(fek, stored.data() + 232, volumeKey);
    std::memset(stored.data() + 284, 0, 512 - 284);
    writeFileBytes(path, stored);

    EXPECT_NE(load(path), plain);  // no key opens it yet: raw bytes
    config->putKey(volumeKeyId, std::make_shared<KeySlot>(KeySlot{volumeKey}));
    EXPECT_EQ(load(path), plain);

    {
        CipherFile file(path, config);
        ASSERT_TRUE(file.io.readHeader(true));
        EXPECT_EQ(file.io.getVersion(), 20100713u);
        EXPECT_FALSE(file.io.isUKEKEntryValid());
        ASSERT_TRUE(file.io.updateCipherHeader(true));
    }
    config->eraseAllKeys();
    const auto upgraded = readFileBytes(path);
    EXPECT_EQ(bigEndian32(upgraded.data() + 160), 20140128u);
    EXPECT_EQ(load(path), plain);
    Uuid shareId;
    std::memcpy(shareId.data, upgraded.data() + 300, 16);
    EXPECT_EQ(uuidText(shareId), ShareKeyId);
}

TEST_F(CipherFileIOTest, FilesNoKeyOpensPassThroughUnchanged) {
    const auto plain = patternBytes(600, 4);
    const std::string plainPath = dir.file("plain");
    writeFileBytes(plainPath, plain);
    {
        CipherFile file(plainPath, config);
        EXPECT_EQ(file.io.getSize(), 600);
        EXPECT_FALSE(file.io.isCipherText());
        EXPECT_EQ(file.read(0, 1000), plain);
        ASSERT_EQ(file.io.truncate(100), 0);
    }
    EXPECT_EQ(readFileBytes(plainPath), std::vector<unsigned char>(plain.begin(), plain.begin() + 100));

    const std::string sealed = store("sealed", plain, makeTestConfig("a", "b", "99999999-2222-4333-8444-555555555555"));
    const auto raw = readFileBytes(sealed);
    CipherFile file(sealed, config, O_RDONLY);
    EXPECT_TRUE(file.io.isCipherText());
    EXPECT_FALSE(file.io.isDecipherableCipherText());
    struct stat st;
    ASSERT_EQ(file.io.getAttr(&st), 0);
    EXPECT_EQ(st.st_size, 1112);
    EXPECT_EQ(file.read(0, 2000), raw);
}

TEST_F(CipherFileIOTest, WritingAnEncryptedFileStoresItAsIs) {
    const auto plain = patternBytes(1300, 5);
    const auto encrypted = readFileBytes(store("source", plain));
    const std::string copy = dir.file("copy");
    writeFileBytes(copy, {});
    {
        CipherFile file(copy, config);
        for (size_t offset = 0; offset < encrypted.size(); offset += 512) {
            const size_t n = std::min<size_t>(512, encrypted.size() - offset);
            ASSERT_TRUE(file.write(static_cast<int64_t>(offset), {encrypted.begin() + offset, encrypted.begin() + offset + n}));
        }
    }
    EXPECT_EQ(readFileBytes(copy), encrypted);
    EXPECT_EQ(load(copy), plain);
}

TEST_F(CipherFileIOTest, ZeroBlocksReadAsHolesAndTruncateRecodesTheTail) {
    const std::string path = dir.file("sparse");
    writeFileBytes(path, {});
    {
        CipherFile file(path, config);
        ASSERT_TRUE(file.write(1500, {1, 2, 3}));
        EXPECT_EQ(file.io.getSize(), 1503);
    }
    auto expected = std::vector<unsigned char>(1500, 0);
    expected.insert(expected.end(), {1, 2, 3});
    EXPECT_EQ(load(path), expected);

    const auto plain = patternBytes(2000, 6);
    const std::string cut = store("cut", plain);
    {
        CipherFile file(cut, config);
        ASSERT_EQ(file.io.truncate(100), 0);
    }
    EXPECT_EQ(readFileBytes(cut).size(), 612u);
    EXPECT_EQ(load(cut), std::vector<unsigned char>(plain.begin(), plain.begin() + 100));
}

TEST_F(CipherFileIOTest, UserEntryCanBeRewrittenForTheCurrentUser) {
    const auto plain = patternBytes(50, 8);
    auto member = makeTestConfig("member", "share key", ShareKeyId);
    const std::string path = store("member", plain, member);
    {
        CipherFile file(path, config);
        ASSERT_TRUE(file.io.readHeader(true));
        EXPECT_FALSE(file.io.isUKEKEntryValid());
        ASSERT_TRUE(file.io.updateUKEKEntry());
    }
    CipherKey fek = config->cipher->readKey(readFileBytes(path).data() + 180, config->userKey, true);
    EXPECT_NE(fek, nullptr);
}

TEST(FSConfigTest, KeyMapKeepsTheFirstKeyAndResetsToTheVolumeKey) {
    auto config = makeTestConfig("u", "s", ShareKeyId);
    auto first = std::make_shared<KeySlot>(KeySlot{config->userKey});
    config->putKey("id", first);
    config->putKey("id", std::make_shared<KeySlot>(KeySlot{config->shareKey}));
    EXPECT_EQ(config->lookupKey("id"), first);
    config->eraseKey("id");
    config->putKey("id", std::make_shared<KeySlot>(KeySlot{config->shareKey}));
    KeySlotHandle held = config->lookupKey("id");
    EXPECT_EQ(held->key, config->shareKey);

    config->eraseAllKeys();
    EXPECT_EQ(config->keyCount(), 1u);
    KeySlotHandle volume = config->lookupKey("00000000-0000-0000-0000-000000000000");
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->key, nullptr);
    EXPECT_EQ(held->key, config->shareKey);  // still usable by its holder
}
