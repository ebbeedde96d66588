#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "BlockFileIO.h"

namespace {

// A block layer over memory that records every block the layer above hands down.
class RecordingBlockIO : public BlockFileIO {
public:
    struct BlockWrite { int64_t offset; int length; std::vector<unsigned char> data; };

    RecordingBlockIO(bool allowHoles) : BlockFileIO(512, allowHoles) {}

    rel::Interface interface() const override { return rel::Interface("test", 1, 0, 0); }
    void setFileName(const char*) override {}
    const char* getFileName() const override { return "memory"; }
    int open(int) override { return 0; }
    int getAttr(struct stat*) override { return 0; }
    int64_t getSize() override { return static_cast<int64_t>(bytes.size()); }
    int truncate(int64_t size) override {
        const int result = BlockFileIO::truncate(size, nullptr);
        bytes.resize(static_cast<size_t>(size));
        return result;
    }
    bool isWritable() const override { return true; }
    bool isOpen() const override { return true; }

    std::vector<unsigned char> bytes;
    std::vector<BlockWrite> writes;
    int blockReads = 0;

protected:
    ssize_t readOneBlock(const IORequest& req) override {
        ++blockReads;
        if (req.offset >= static_cast<int64_t>(bytes.size())) return 0;
        const int n = std::min<int64_t>(req.length, static_cast<int64_t>(bytes.size()) - req.offset);
        std::memcpy(req.data, bytes.data() + req.offset, static_cast<size_t>(n));
        return n;
    }
    bool writeOneBlock(const IORequest& req) override {
        writes.push_back({req.offset, req.length, std::vector<unsigned char>(req.data, req.data + req.length)});
        if (bytes.size() < static_cast<size_t>(req.offset + req.length)) bytes.resize(req.offset + req.length);
        std::memcpy(bytes.data() + req.offset, req.data, static_cast<size_t>(req.length));
        return true;
    }
};

bool writeAt(RecordingBlockIO& io, int64_t offset, std::vector<unsigned char> data) {
    return io.write(IORequest{offset, static_cast<int>(data.size()), data.data()});
}

}  // namespace

TEST(BlockFileIOTest, ReadsStopAtTheEndOfFile) {
    RecordingBlockIO io(true);
    io.bytes.assign(700, 7);
    unsigned char buffer[1024];
    EXPECT_EQ(io.read(IORequest{0, 0, buffer}), 0);
    EXPECT_EQ(io.read(IORequest{800, 100, buffer}), 0);
    EXPECT_EQ(io.read(IORequest{600, 300, buffer}), 100);
    EXPECT_EQ(io.read(IORequest{100, 1024, buffer}), 600);
}

TEST(BlockFileIOTest, SparseWriteLeavesAHoleOnlyWhenAllowed) {
    RecordingBlockIO holes(true);
    ASSERT_TRUE(writeAt(holes, 1000, std::vector<unsigned char>(10, 0xaa)));
    ASSERT_EQ(holes.writes.size(), 1u);
    EXPECT_EQ(holes.writes[0].offset, 512);
    EXPECT_EQ(holes.writes[0].length, 498);
    EXPECT_TRUE(std::all_of(holes.writes[0].data.begin(), holes.writes[0].data.begin() + 488,
                            [](unsigned char b) { return b == 0; }));

    RecordingBlockIO padded(false);
    ASSERT_TRUE(writeAt(padded, 1000, std::vector<unsigned char>(10, 0xaa)));
    ASSERT_EQ(padded.writes.size(), 2u);
    EXPECT_EQ(padded.writes[0].offset, 0);
    EXPECT_EQ(padded.writes[0].data, std::vector<unsigned char>(512, 0));
}

TEST(BlockFileIOTest, PartialWriteMergesWithTheExistingBlock) {
    RecordingBlockIO io(true);
    io.bytes.assign(1024, 1);
    ASSERT_TRUE(writeAt(io, 100, {9, 9, 9}));
    ASSERT_EQ(io.writes.size(), 1u);
    EXPECT_EQ(io.writes[0].offset, 0);
    EXPECT_EQ(io.writes[0].length, 512);
    EXPECT_EQ(io.bytes[99], 1);
    EXPECT_EQ(io.bytes[100], 9);
    EXPECT_EQ(io.bytes[103], 1);
}

TEST(BlockFileIOTest, TruncateRewritesOnlyAPartialLastBlock) {
    RecordingBlockIO io(true);
    io.bytes.assign(1500, 3);
    ASSERT_EQ(io.truncate(1024), 0);
    EXPECT_TRUE(io.writes.empty());
    ASSERT_EQ(io.truncate(600), 0);
    ASSERT_EQ(io.writes.size(), 1u);
    EXPECT_EQ(io.writes[0].offset, 512);
    EXPECT_EQ(io.writes[0].length, 88);
}

TEST(BlockFileIOTest, TruncateDropsACachedBlockBeyondTheNewEnd) {
    RecordingBlockIO io(true);
    io.bytes.assign(1024, 5);
    unsigned char buffer[512];
    ASSERT_EQ(io.read(IORequest{512, 512, buffer}), 512);  // block 1 now cached
    ASSERT_EQ(io.truncate(512), 0);
    EXPECT_EQ(io.read(IORequest{512, 512, buffer}), 0);
}
