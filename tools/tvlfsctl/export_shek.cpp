#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "KeyFile.h"
#include "ShareKeyTransport.h"
#include "Subcommand.h"

namespace {

constexpr const char* Usage = "export-shek --keys FILE";

// Prints the share key of a volume mounted with these keys as one "ID TEXT" line.
int run(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    if (!parseCommandLine(args, line, error)) return fail(error);
    if (line.keysPath.empty() || !line.positional.empty()) return usageError(Usage);
    KeySet keys;
    if (!readKeyFile(line.keysPath, keys, error)) return fail(error);
    std::string text = shareKeyTransportText(keys.shareKey, keys.shareKeyId);
    if (text.empty()) return fail(line.keysPath + ": the share key does not decode");
    std::printf("%s %s\n", keys.shareKeyId.c_str(), text.c_str());
    return 0;
}

}  // namespace

extern const Subcommand exportShekSubcommand = {"export-shek", Usage, run};
