#include "FileUtils.h"
#include "ProcessPolicy.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using volume_test::TempDir;
using volume_test::writeFile;

TEST(PathUtilities, TransformPathsAsTheEngineExpects) {
    struct Case {
        std::string result, expected;
    };
    const Case cases[] = {
        {unixify("/"), "/"},
        {unixify("a\\b\\"), "a/b"},
        {unixify("a//"), "a/"},
        {lastPathElement("/docs/a.txt"), "a.txt"},
        {lastPathElement("a.txt"), "a.txt"},
        {parentDirectory("/docs/a.txt"), "/docs"},
        {parentDirectory("a.txt"), ""},
        {slashTerminate(""), "/"},
        {slashTerminate("/r"), "/r/"},
        {slashTerminate("/r/"), "/r/"},
        {stripRootDir("/root", "/root/docs/a"), "/docs/a"},
        {stripRootDir("/other", "/root/docs/a"), "/root/docs/a"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, c.expected);
}

TEST(PathUtilities, BlacklistMatchesMetadataNamesInAnyCaseAndSeparator) {
    EXPECT_TRUE(isBlackListed("Docs/.DS_Store"));
    EXPECT_TRUE(isBlackListed("Docs\\Desktop.INI"));
    EXPECT_TRUE(isBlackListed("/.tvlfs.xml"));
    EXPECT_TRUE(isBlackListed(".dropbox"));
    EXPECT_FALSE(isBlackListed("Docs/.dropbox.cache"));
    EXPECT_FALSE(isBlackListed("Docs/notes.txt"));
}

TEST(PathUtilities, TouchAndDeleteWorkOnTheEntryItself) {
    TempDir dir;
    std::string file = dir / "f";
    EXPECT_FALSE(fileExists(file));
    EXPECT_TRUE(touchFile(file));
    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(isDirectory(file));
    EXPECT_TRUE(isDirectory(dir.path()));
    EXPECT_FALSE(touchFile(dir / "missing/f"));
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(fileExists(dir / "dangling"));
    deleteFile(file);
    deleteFile(dir / "dangling");
    EXPECT_FALSE(fileExists(file));
    EXPECT_FALSE(fileExists(dir / "dangling"));
}

TEST(DirectoryMetaData, IsDeletedOnlyWhenNothingElseIsThere) {
    TempDir dir;
    std::string onlyMeta = dir / "onlyMeta", mixed = dir / "mixed";
    std::filesystem::create_directory(onlyMeta);
    std::filesystem::create_directory(mixed);
    for (const char* name : {".dropbox", "Icon\r", ".tvlfs.xml"}) writeFile(onlyMeta + "/" + name, "x");
    writeFile(mixed + "/.dropbox", "x");
    writeFile(mixed + "/notes.txt", "x");

    deleteDirectoryMetaData(onlyMeta);
    deleteDirectoryMetaData(mixed);
    deleteDirectoryMetaData(dir / "missing");

    EXPECT_TRUE(std::filesystem::is_empty(onlyMeta));
    EXPECT_TRUE(fileExists(mixed + "/.dropbox"));
    EXPECT_TRUE(fileExists(mixed + "/notes.txt"));
}

TEST(DirectoryMetaData, KeepsDesktopIniSoTheDirectoryStaysNonEmpty) {
    TempDir dir;
    writeFile(dir / ".dropbox", "x");
    writeFile(dir / "desktop.ini", "x");
    deleteDirectoryMetaData(dir.path());
    EXPECT_FALSE(fileExists(dir / ".dropbox"));
    EXPECT_TRUE(fileExists(dir / "desktop.ini"));
}

TEST(ProcessPolicy, BlocksTheCloudClientByExecutablePath) {
    EXPECT_TRUE(isBlockedProcessPath("/Applications/Dropbox.app/Contents/MacOS/Dropbox"));
    EXPECT_TRUE(isBlockedProcessPath("/usr/lib/dbfseventsd"));
    EXPECT_TRUE(isBlockedProcessPath("/home/u/.dropbox-dist/dropbox-lnx.x86_64-190.4.6383/dropbox"));
    EXPECT_FALSE(isBlockedProcessPath("/usr/bin/cat"));
    EXPECT_FALSE(isBlockedProcessPath("/home/u/dropbox-dist/dropbox"));
    EXPECT_FALSE(isBlockedProcess()) << "no request in progress";
    EXPECT_EQ(tvlfs_proc_name(getpid()), std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(tvlfs_proc_name(-1), "");
}

}  // namespace
