#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "MountedVolume.h"
#include "StoredFiles.h"

namespace {

using namespace volume_test;

TEST(Mount, StoresHeaderAndCiphertextAndReadsPlaintextBack) {
    MountedVolume volume;
    const std::string plain = "The quick brown fox jumps over the lazy dog.\n" + randomBytes(3000);
    writeFile(volume.at("f.txt"), plain);

    std::string stored = readFile(volume.stored("f.txt"));
    EXPECT_EQ(stored.size(), plain.size() + kHeaderSize);
    EXPECT_TRUE(hasSignature(stored));
    EXPECT_EQ(headerVersion(stored), 20140128u);
    EXPECT_EQ(stored.find("quick brown fox"), std::string::npos);
    EXPECT_EQ(readFile(volume.at("f.txt")), plain);
    EXPECT_EQ(std::filesystem::file_size(volume.at("f.txt")), plain.size());
}

TEST(Mount, PreparesTheRootFolder) {
    MountedVolume volume;
    struct stat st;
    ASSERT_EQ(stat(volume.root().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::is_regular_file(volume.stored(".Trashes")));
    EXPECT_TRUE(std::filesystem::is_regular_file(volume.stored(".fseventsd/no_log")));
}

TEST(Mount, SecondMountWhileMountedFailsAndTheFirstKeepsWorking) {
    MountedVolume volume;
    TempDir other;
    VolumeKeys keys = VolumeKeys::random();
    EXPECT_EQ(tvlfs_mount("", "Other", (other / "root").c_str(), (other / "mnt").c_str(),
                          keys.userKey.c_str(), "o", "1", keys.shareKey.c_str(),
                          keys.shareKeyId.c_str(), nullptr, nullptr),
              1);
    writeFile(volume.at("still.txt"), "works");
    EXPECT_EQ(readFile(volume.at("still.txt")), "works");
}

}  // namespace
