#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "MountedVolume.h"
#include "StoredFiles.h"

namespace {

using namespace volume_test;

// Copies of cat and stat run from folders whose paths mark them as the cloud client.
class BlockedTools {
public:
    explicit BlockedTools(const std::string& marker) {
        std::string dir = dir_.path() + marker;
        std::filesystem::create_directories(dir);
        for (const char* tool : {"cat", "stat", "ls"})
            std::filesystem::copy_file(std::string("/usr/bin/") + tool, dir + "/" + tool);
        dir_path_ = dir;
    }
    std::string run(const std::string& tool, const std::string& arguments) const {
        std::string out;
        shell(quoted(dir_path_ + "/" + tool) + " " + arguments, &out);
        return out;
    }
    std::string read(const std::string& path) const { return run("cat", quoted(path)); }
    std::string size(const std::string& path) const { return run("stat", "-c %s " + quoted(path)); }

private:
    TempDir dir_;
    std::string dir_path_;
};

class BlockedProcessView : public ::testing::TestWithParam<const char*> {};

TEST_P(BlockedProcessView, SeesStoredBytesWhileOthersSeePlaintextAlternately) {
    MountedVolume volume;
    BlockedTools blocked(GetParam());
    const std::string plain = randomBytes(1500);
    writeFile(volume.at("doc.bin"), plain);
    const std::string stored = readFile(volume.stored("doc.bin"));
    ASSERT_TRUE(hasSignature(stored));

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(blocked.read(volume.at("doc.bin")), stored);
        EXPECT_EQ(blocked.size(volume.at("doc.bin")), std::to_string(stored.size()) + "\n");
        EXPECT_EQ(readFile(volume.at("doc.bin")), plain);
        EXPECT_EQ(std::filesystem::file_size(volume.at("doc.bin")), plain.size());
    }
}

TEST_P(BlockedProcessView, SeesTheFirstViewOfANodeOpenedByAnotherProcess) {
    MountedVolume volume;
    BlockedTools blocked(GetParam());
    writeFile(volume.at("open.txt"), "plain text");
    int fd = open(volume.at("open.txt").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(blocked.read(volume.at("open.txt")), readFile(volume.stored("open.txt")));
    char buffer[32] = {};
    EXPECT_EQ(pread(fd, buffer, sizeof buffer, 0), 10);
    EXPECT_STREQ(buffer, "plain text");
    close(fd);
}

INSTANTIATE_TEST_SUITE_P(Markers, BlockedProcessView,
                         ::testing::Values("/Applications/Dropbox.app/Contents/MacOS",
                                           "/home/user/.dropbox-dist/dropbox-lnx.x86_64-1"));

TEST(Listing, HidesTheVolumeConfigurationNameFromOrdinaryProcesses) {
    MountedVolume volume;
    writeFile(volume.stored(".tvlfs.xml"), "<x/>");
    writeFile(volume.at("visible.txt"), "v");
    std::string listing;
    shell("ls -a " + quoted(volume.mountPoint()), &listing);
    EXPECT_EQ(listing.find(".tvlfs.xml"), std::string::npos);
    EXPECT_NE(listing.find("visible.txt"), std::string::npos);
    BlockedTools blocked("/Dropbox.app");
    EXPECT_NE(blocked.run("ls", "-a " + quoted(volume.mountPoint())).find(".tvlfs.xml"),
              std::string::npos);
}

TEST(CaseSensitiveRoot, KeepsFilesThatDifferOnlyInCaseApart) {
    MountedVolume volume;
    int upper = open(volume.at("A.txt").c_str(), O_CREAT | O_RDWR, 0644);
    int lower = open(volume.at("a.txt").c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(upper, 0);
    ASSERT_GE(lower, 0);
    ASSERT_EQ(write(upper, "UPPER", 5), 5);
    ASSERT_EQ(write(lower, "lower case", 10), 10);
    close(upper);
    close(lower);
    EXPECT_EQ(readFile(volume.at("A.txt")), "UPPER");
    EXPECT_EQ(readFile(volume.at("a.txt")), "lower case");
}

}  // namespace
