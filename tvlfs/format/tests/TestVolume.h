#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CipherFileIO.h"
#include "FSConfig.h"
#include "NameIO.h"
#include "RawFileIO.h"

// A temporary directory removed with everything in it, also when a test fails.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tvlfs-format-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<unsigned char> patternBytes(size_t size, unsigned seed = 1) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 131 + seed * 7) ^ (i >> 8));
    return bytes;
}

// The configuration a mount builds: AES-256, 512-byte blocks, holes allowed, keys from bytes.
inline std::shared_ptr<FSConfig> makeTestConfig(const std::string& userKeyText,
                                                const std::string& shareKeyText,
                                                const std::string& shareKeyId,
                                                const std::string& ownerId = "1234") {
    auto config = std::make_shared<FSConfig>();
    config->config = std::make_shared<VolumeConfig>();
    config->config->ownerID = ownerId;
    config->opts = std::make_shared<VolumeOpts>();
    config->cipher = Cipher::New("AES", 256);
    config->nameCoding = NameIO::New(config->config->nameIface, config->cipher, nullptr);
    config->volumeKeyId = config->config->volumeKeyID;
    config->userKey = config->cipher->newKey(reinterpret_cast<const unsigned char*>(userKeyText.data()),
                                             static_cast<int>(userKeyText.size()));
    config->shareKey = config->cipher->newKey(reinterpret_cast<const unsigned char*>(shareKeyText.data()),
                                              static_cast<int>(shareKeyText.size()));
    config->shareKeyId = shareKeyId;
    return config;
}

// One stored file seen through the cipher layer, as a file node holds it.
struct CipherFile {
    CipherFile(const std::string& path, std::shared_ptr<FSConfig> config, int flags = O_RDWR)
        : raw(std::make_shared<RawFileIO>(path)), io(raw, std::move(config)) {
        io.open(flags);
    }
    bool write(int64_t offset, const std::vector<unsigned char>& data) {
        auto copy = data;
        return io.write(IORequest{offset, static_cast<int>(copy.size()), copy.data()});
    }
    std::vector<unsigned char> read(int64_t offset, int length) {
        std::vector<unsigned char> out(static_cast<size_t>(length));
        const ssize_t got = io.read(IORequest{offset, length, out.data()});
        out.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return out;
    }
    std::shared_ptr<RawFileIO> raw;
    CipherFileIO io;
};
