#pragma once

#include <cstdint>

// Block and offset arithmetic of stored files, kept in one place.
namespace BlockLayout {

// Bytes of the encrypted file header in front of the coded data.
constexpr int64_t HeaderSize = 512;

constexpr int64_t blockNumber(int64_t plainOffset, int blockSize) { return plainOffset / blockSize; }
constexpr int offsetInBlock(int64_t plainOffset, int blockSize) {
    return static_cast<int>(plainOffset % blockSize);
}
constexpr int64_t blockStart(int64_t blockNum, int blockSize) { return blockNum * blockSize; }

// Where a plain offset lives in the stored file, and the plain size a stored size stands for.
constexpr int64_t storedOffset(int64_t plainOffset) { return plainOffset + HeaderSize; }
constexpr int64_t storedSize(int64_t plainSize) { return plainSize + HeaderSize; }
constexpr int64_t plainSize(int64_t storedFileSize) { return storedFileSize - HeaderSize; }

// The IV seed of a block: its number mixed with the file's IV.
constexpr uint64_t blockSeed(int64_t blockNum, uint64_t fileIV) {
    return static_cast<uint64_t>(blockNum) ^ fileIV;
}

}  // namespace BlockLayout
