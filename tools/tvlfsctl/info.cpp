#include <cstdio>

#include "CommandLine.h"
#include "FSConfig.h"
#include "KeyFile.h"
#include "StoredFile.h"
#include "Subcommand.h"

namespace {

constexpr const char* Usage = "info [--keys FILE] STORED";

int run(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    if (!parseCommandLine(args, line, error)) return fail(error);
    if (line.positional.size() != 1) return usageError(Usage);
    const std::string& stored = line.positional[0];

    const bool withKeys = !line.keysPath.empty();
    std::shared_ptr<FSConfig> config =
        withKeys ? loadVolumeConfig(line.keysPath, error) : makeVolumeConfig(KeySet{}, error);
    if (!config) return fail(error);

    StoredFileHeader header;
    if (!inspectStoredFile(stored, *config, withKeys, header, error)) return fail(error);
    if (header.empty) return fail(stored + ": empty stored file, it has no header yet");
    if (!header.encrypted) return fail(stored + ": not an encrypted file (no Tolvarin header)");

    std::printf("version: %u\nkey-id: %s\nuser-id: %s\nshare-key-id: %s\n", header.fields.version,
                uuidText(header.fields.keyId).c_str(), uuidText(header.fields.userId).c_str(),
                uuidText(header.fields.shareKeyId).c_str());
    if (withKeys) std::printf("decipherable: %s\n", header.fields.fek ? "yes" : "no");
    return 0;
}

}  // namespace

extern const Subcommand infoSubcommand{"info", Usage, &run};
