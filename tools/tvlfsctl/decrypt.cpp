#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "CipherFileIO.h"
#include "CommandLine.h"
#include "KeyFile.h"
#include "RawFileIO.h"
#include "StoredFile.h"
#include "Subcommand.h"

namespace {

constexpr const char* Usage = "decrypt --keys FILE STORED PLAIN";
constexpr int ChunkSize = 64 * 1024;

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Reads STORED back through the cipher layer into PLAIN. A file that is not encrypted, or that
// no key opens, is refused before PLAIN is created: the cipher layer would hand its raw bytes out.
int run(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    if (!parseCommandLine(args, line, error)) return fail(error);
    if (line.keysPath.empty() || line.positional.size() != 2) return usageError(Usage);
    const std::string& stored = line.positional[0];
    const std::string& plain = line.positional[1];

    std::shared_ptr<FSConfig> config = loadVolumeConfig(line.keysPath, error);
    if (!config) return fail(error);

    StoredFileHeader header;
    if (!inspectStoredFile(stored, *config, true, header, error)) return fail(error);
    if (!header.empty && !header.encrypted)
        return fail(stored + ": not an encrypted file (no Tolvarin header); nothing written");
    if (!header.empty && !header.fields.fek)
        return fail(stored + ": no key in " + line.keysPath + " opens this file (share key id " +
                    uuidText(header.fields.shareKeyId) + "); nothing written");

    auto raw = std::make_shared<RawFileIO>(stored);
    CipherFileIO file(raw, config);
    if (file.open(O_RDONLY) < 0) return fail(stored + ": cannot open for reading");
    const int64_t size = file.getSize();

    const int out = ::open(plain.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (out < 0) return fail(plain + ": " + std::strerror(errno));
    std::vector<unsigned char> chunk(ChunkSize);
    std::string failure;
    for (int64_t offset = 0; offset < size && failure.empty();) {
        const int want = static_cast<int>(std::min<int64_t>(ChunkSize, size - offset));
        const ssize_t got = file.read(IORequest{offset, want, chunk.data()});
        if (got <= 0) {
            failure = stored + ": decoding failed at offset " + std::to_string(offset);
            break;
        }
        if (!writeAll(out, chunk.data(), static_cast<size_t>(got)))
            failure = plain + ": " + std::strerror(errno);
        offset += got;
    }
    ::close(out);
    if (!failure.empty()) {
        ::unlink(plain.c_str());
        return fail(failure);
    }
    return 0;
}

}  // namespace

extern const Subcommand decryptSubcommand{"decrypt", Usage, &run};
