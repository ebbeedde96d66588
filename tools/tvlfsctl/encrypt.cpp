#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "CipherFileIO.h"
#include "CommandLine.h"
#include "KeyFile.h"
#include "RawFileIO.h"
#include "Subcommand.h"

namespace {

constexpr const char* Usage = "encrypt --keys FILE PLAIN STORED";
constexpr int ChunkSize = 64 * 1024;

// Creates STORED empty (refusing to replace a file) and writes PLAIN through the cipher layer.
int run(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    if (!parseCommandLine(args, line, error)) return fail(error);
    if (line.keysPath.empty() || line.positional.size() != 2) return usageError(Usage);
    const std::string& plain = line.positional[0];
    const std::string& stored = line.positional[1];

    std::shared_ptr<FSConfig> config = loadVolumeConfig(line.keysPath, error);
    if (!config) return fail(error);

    const int in = ::open(plain.c_str(), O_RDONLY);
    if (in < 0) return fail(plain + ": " + std::strerror(errno));
    const int created = ::open(stored.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (created < 0) {
        const int createError = errno;
        ::close(in);
        return fail(stored + ": " + std::strerror(createError));
    }
    ::close(created);

    auto raw = std::make_shared<RawFileIO>(stored);
    CipherFileIO file(raw, config);
    std::string failure;
    if (file.open(O_RDWR) < 0) failure = stored + ": cannot open for writing";
    std::vector<unsigned char> chunk(ChunkSize);
    int64_t offset = 0;
    while (failure.empty()) {
        const ssize_t got = ::read(in, chunk.data(), chunk.size());
        if (got < 0) failure = plain + ": " + std::strerror(errno);
        if (got <= 0) break;
        if (!file.write(IORequest{offset, static_cast<int>(got), chunk.data()}))
            failure = stored + ": writing through the cipher layer failed";
        offset += got;
    }
    ::close(in);
    if (!failure.empty()) {
        ::unlink(stored.c_str());
        return fail(failure);
    }
    return 0;
}

}  // namespace

extern const Subcommand encryptSubcommand{"encrypt", Usage, &run};
