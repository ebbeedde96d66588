#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "MountedVolume.h"
#include "ShareKeyTransport.h"
#include "StoredFiles.h"

namespace {

using namespace volume_test;

std::string takeText(char* text) {
    std::string result = text ? text : "";
    free(text);
    return result;
}

TEST(Remount, OutsideUnmountMountsAgainWithTheLoadedShareKeys) {
    VolumeKeys other = VolumeKeys::random();
    MountedVolume volume;
    ASSERT_EQ(tvlfs_load_shek(other.shareKeyId.c_str(),
                              shareKeyTransportText(other.shareKey, other.shareKeyId).c_str()),
              0);
    writeFile(volume.at("kept.txt"), "kept");
    ASSERT_EQ(fusermountUnmount(volume.mountPoint(), false), 0);
    ASSERT_TRUE(volume.waitUntilMounted());
    EXPECT_EQ(readFile(volume.at("kept.txt")), "kept");
    EXPECT_TRUE(tvlfs_is_dek_loaded(other.shareKeyId.c_str()));
}

TEST(ShareKeys, ExportLoadRemoveAndRefuseForeignTexts) {
    MountedVolume volume;
    char* id = nullptr;
    char* text = nullptr;
    ASSERT_EQ(tvlfs_get_shek(&id, &text), 0);
    std::string shekId = takeText(id), shek = takeText(text);
    EXPECT_EQ(shekId, volume.keys().shareKeyId);
    EXPECT_EQ(shek.size(), 72u);
    EXPECT_EQ(shek, shareKeyTransportText(volume.keys().shareKey, shekId));

    EXPECT_EQ(tvlfs_load_shek(shekId.c_str(), shek.c_str()), 0);
    EXPECT_TRUE(tvlfs_is_dek_loaded(shekId.c_str()));
    VolumeKeys other = VolumeKeys::random();
    EXPECT_EQ(tvlfs_load_shek(other.shareKeyId.c_str(), shek.c_str()), -1) << "made under another id";
    EXPECT_EQ(tvlfs_load_shek(shekId.c_str(), "c2hvcnQ="), -1) << "shorter than an encoded key";
    EXPECT_EQ(tvlfs_load_shek(shekId.c_str(), "not base64 at all!"), -1);
    std::string otherText = shareKeyTransportText(other.shareKey, shekId);
    EXPECT_EQ(tvlfs_load_shek(shekId.c_str(), otherText.c_str()), 0) << "first key stays";

    EXPECT_EQ(tvlfs_remove_shek(shekId.c_str()), 0);
    EXPECT_FALSE(tvlfs_is_dek_loaded(shekId.c_str()));
    EXPECT_EQ(tvlfs_load_shek(shekId.c_str(), shek.c_str()), 0);
    EXPECT_EQ(tvlfs_remove_all_sheks(), 0);
    EXPECT_FALSE(tvlfs_is_dek_loaded(shekId.c_str()));
    EXPECT_TRUE(tvlfs_is_dek_loaded("00000000-0000-0000-0000-000000000000"));
}

TEST(ShareKeys, EntryPointsFailWithoutAVolume) {
    char* id = nullptr;
    char* text = nullptr;
    EXPECT_EQ(tvlfs_get_shek(&id, &text), -1);
    EXPECT_EQ(tvlfs_load_shek("x", "y"), -1);
    EXPECT_EQ(tvlfs_remove_shek("x"), -1);
    EXPECT_EQ(tvlfs_remove_all_sheks(), -1);
    EXPECT_FALSE(tvlfs_is_dek_loaded("x"));
    bool encrypted = true, decipherable = true;
    unsigned version = 7;
    char* user = nullptr;
    EXPECT_EQ(tvlfs_get_file_info("/nowhere", &encrypted, &version, &user, &id), -1);
    EXPECT_FALSE(encrypted);
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(tvlfs_is_decipherable_file("/nowhere", &decipherable), 1);
    EXPECT_FALSE(tvlfs_do_plaintext_fixup("/nowhere/f"));
    EXPECT_FALSE(std::filesystem::exists("/nowhere/f.tllck"));
    EXPECT_FALSE(tvlfs_migrate_file("/nowhere/f"));
}

TEST(ShareKeys, AnotherUserReadsSharedFilesOnlyWithTheShareKeyLoaded) {
    TempDir shared;
    std::string root = shared / "root";
    VolumeKeys first = VolumeKeys::random();
    const std::string plain = randomBytes(2000);
    {
        MountedVolume volume(first, nullptr, root);
        writeFile(volume.at("shared.bin"), plain);
    }
    const std::string stored = readFile(root + "/shared.bin");
    MountedVolume second(VolumeKeys::random(), nullptr, root);
    EXPECT_EQ(readFile(second.at("shared.bin")), stored);
    EXPECT_EQ(std::filesystem::file_size(second.at("shared.bin")), stored.size());
    ASSERT_EQ(tvlfs_load_shek(first.shareKeyId.c_str(),
                              shareKeyTransportText(first.shareKey, first.shareKeyId).c_str()),
              0);
    EXPECT_EQ(readFile(second.at("shared.bin")), plain);
    bool decipherable = false;
    EXPECT_EQ(tvlfs_is_decipherable_file("/shared.bin", &decipherable), 0);
    EXPECT_TRUE(decipherable);
}

TEST(DirectAccess, ReportsHeadersOfStoredFiles) {
    MountedVolume volume;
    writeFile(volume.at("enc.txt"), "secret");
    writeFile(volume.stored("plain.txt"), "plain");
    writeFile(volume.stored("foreign.txt"), readFile(volume.stored("enc.txt")));

    bool encrypted = false;
    unsigned version = 0;
    char* user = nullptr;
    char* shek = nullptr;
    ASSERT_EQ(tvlfs_get_file_info(volume.stored("enc.txt").c_str(), &encrypted, &version, &user, &shek), 0);
    EXPECT_TRUE(encrypted);
    EXPECT_EQ(version, 20140128u);
    EXPECT_EQ(takeText(user), "00000000-0000-0000-0000-000000001234");
    EXPECT_EQ(takeText(shek), volume.keys().shareKeyId);

    user = shek = nullptr;
    ASSERT_EQ(tvlfs_get_file_info(volume.stored("plain.txt").c_str(), &encrypted, &version, &user, &shek), 0);
    EXPECT_FALSE(encrypted);
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(shek, nullptr);
    EXPECT_EQ(tvlfs_get_file_info(volume.stored("missing").c_str(), &encrypted, &version, &user, &shek), -1);

    bool decipherable = false;
    EXPECT_EQ(tvlfs_is_decipherable_file("/enc.txt", &decipherable), 0);
    EXPECT_TRUE(decipherable);
    EXPECT_EQ(tvlfs_is_decipherable_file("/plain.txt", &decipherable), 0);
    EXPECT_FALSE(decipherable);
    EXPECT_LT(tvlfs_is_decipherable_file("/missing", &decipherable), 0);
}

TEST(Migration, EncryptsPlaintextInPlaceOnce) {
    MountedVolume volume;
    const std::string plain = randomBytes(1000);
    writeFile(volume.stored("p.bin"), plain);
    writeFile(volume.stored("empty"), "");
    EXPECT_TRUE(tvlfs_do_plaintext_fixup(volume.stored("p.bin").c_str()));
    EXPECT_TRUE(tvlfs_do_plaintext_fixup(volume.stored("empty").c_str()));
    std::string stored = readFile(volume.stored("p.bin"));
    EXPECT_TRUE(hasSignature(stored));
    EXPECT_EQ(stored.size(), plain.size() + kHeaderSize);
    EXPECT_EQ(readFile(volume.at("p.bin")), plain);
    EXPECT_EQ(readFile(volume.at("empty")), "");
    EXPECT_FALSE(std::filesystem::exists(volume.stored("p.bin.tllck")));

    writeFile(volume.stored("busy.txt"), "busy");
    writeFile(volume.stored("busy.txt.tllck"), "");
    EXPECT_TRUE(tvlfs_do_plaintext_fixup(volume.stored("busy.txt").c_str()));
    EXPECT_EQ(readFile(volume.stored("busy.txt")), "busy");
}

TEST(Migration, UpgradesAnOlderHeaderThatStillOpens) {
    MountedVolume volume;
    writeFile(volume.at("old.txt"), "old contents");
    std::string stored = readFile(volume.stored("old.txt"));
    const char oldVersion[4] = {0x01, 0x32, static_cast<char>(0xB6), 0x69};
    stored.replace(160, 4, oldVersion, 4);
    stored.replace(284, 32, std::string(32, '\0'));
    writeFile(volume.stored("old.txt"), stored);
    ASSERT_EQ(headerVersion(readFile(volume.stored("old.txt"))), 20100713u);
    EXPECT_EQ(readFile(volume.at("old.txt")), "old contents");

    EXPECT_TRUE(tvlfs_migrate_file(volume.stored("old.txt").c_str()));
    std::string upgraded = readFile(volume.stored("old.txt"));
    EXPECT_EQ(headerVersion(upgraded), 20140128u);
    EXPECT_EQ(readFile(volume.at("old.txt")), "old contents");
    bool encrypted = false;
    unsigned version = 0;
    char* user = nullptr;
    char* shek = nullptr;
    ASSERT_EQ(tvlfs_get_file_info(volume.stored("old.txt").c_str(), &encrypted, &version, &user, &shek), 0);
    EXPECT_EQ(takeText(shek), volume.keys().shareKeyId);
    takeText(user);
}

std::mutex gNotifications;
std::string gLastTitle, gLastText;
std::atomic<int> gNotificationCount{0};

void recordNotification(const char* title, const char* text) {
    std::lock_guard<std::mutex> lock(gNotifications);
    gLastTitle = title;
    gLastText = text;
    ++gNotificationCount;
}

// Binds a file whose reads fail with EIO (unmapped memory) over a stored file.
class FailingStoredFile {
public:
    explicit FailingStoredFile(const std::string& path) : path_(path) {
        writeFile(path, "");
        bound_ = mount("/proc/self/mem", path.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~FailingStoredFile() {
        if (bound_) umount2(path_.c_str(), MNT_DETACH);
    }
    bool bound() const { return bound_; }

private:
    std::string path_;
    bool bound_ = false;
};

TEST(DamagedInput, NeverCrashesAndFailedReadsNotify) {
    tvlfs_cb callbacks{recordNotification};
    MountedVolume volume(VolumeKeys::random(), &callbacks);
    writeFile(volume.at("good.bin"), randomBytes(3000));
    const std::string good = readFile(volume.stored("good.bin"));

    const std::string randomHeader = randomBytes(kHeaderSize) + "tail";
    std::string badEntries = good;
    badEntries.replace(180, 52, randomBytes(52));
    badEntries.replace(316, 52, randomBytes(52));
    struct Case {
        const char* name;
        std::string stored;
        std::string expected;  // what an ordinary process reads
    };
    const Case cases[] = {
        {"random-header", randomHeader, randomHeader},
        {"short-header", good.substr(0, 300), good.substr(0, 300)},
        {"unopenable-entries", badEntries, badEntries},
    };
    for (const Case& c : cases) {
        writeFile(volume.stored(c.name), c.stored);
        EXPECT_EQ(readFile(volume.at(c.name)), c.expected) << c.name;
        EXPECT_EQ(std::filesystem::file_size(volume.at(c.name)), c.expected.size()) << c.name;
    }
    writeFile(volume.stored("truncated.bin"), good.substr(0, good.size() - 1001));
    EXPECT_EQ(readFile(volume.at("truncated.bin")).size(), 1999u);

    std::filesystem::remove(volume.stored("good.bin"));
    EXPECT_FALSE(std::filesystem::exists(volume.at("good.bin")));
    std::filesystem::create_directory(volume.stored("appeared"));
    writeFile(volume.at("appeared/new.txt"), "new");
    EXPECT_EQ(readFile(volume.at("appeared/new.txt")), "new");

    FailingStoredFile failing(volume.stored("photo.jpg"));
    if (!failing.bound()) GTEST_SKIP() << "bind mounts are not permitted here";
    int fd = open(volume.at("photo.jpg").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[4096];
    EXPECT_EQ(read(fd, buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, EIO);
    close(fd);
    EXPECT_GE(gNotificationCount.load(), 1);
    std::lock_guard<std::mutex> lock(gNotifications);
    EXPECT_EQ(gLastTitle, "photo.jpg");
    EXPECT_EQ(gLastText, "File could not be decrypted");
}

}  // namespace
