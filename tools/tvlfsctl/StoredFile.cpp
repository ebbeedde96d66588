#include "StoredFile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "FSConfig.h"
#include "RawFileIO.h"

bool inspectStoredFile(const std::string& path, const FSConfig& config, bool loadKey,
                       StoredFileHeader& out, std::string& error) {
    RawFileIO raw(path);
    const int fd = raw.open(O_RDONLY);
    if (fd < 0) {
        error = path + ": " + std::strerror(-fd);
        return false;
    }
    unsigned char header[CipherHeaderLayout::Size] = {};
    const ssize_t got = raw.read(IORequest{0, CipherHeaderLayout::Size, header});
    if (got < 0) {
        error = path + ": cannot read the file";
        return false;
    }
    out.empty = got == 0;
    out.encrypted = got == CipherHeaderLayout::Size &&
                    std::memcmp(header + CipherHeaderLayout::SignatureOffset,
                                CipherHeaderLayout::Signature,
                                CipherHeaderLayout::SignatureLength) == 0;
    if (out.encrypted) extractHeaderFields(header, out.fields, loadKey, config);
    return true;
}
