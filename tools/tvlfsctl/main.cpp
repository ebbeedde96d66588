#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Subcommand.h"
#include "openssl.h"

// Every subcommand, each defined as <name>Subcommand in a source file of its own.
#define TVLFSCTL_SUBCOMMANDS(X) X(keygen) X(info) X(encrypt) X(decrypt) X(mount) X(exportShek)

#define TVLFSCTL_DECLARE(id) extern const Subcommand id##Subcommand;
TVLFSCTL_SUBCOMMANDS(TVLFSCTL_DECLARE)
#undef TVLFSCTL_DECLARE

namespace {

#define TVLFSCTL_ENTRY(id) &id##Subcommand,
const Subcommand* const subcommands[] = {TVLFSCTL_SUBCOMMANDS(TVLFSCTL_ENTRY)};
#undef TVLFSCTL_ENTRY

int usage(FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const Subcommand* command : subcommands) std::fprintf(out, "  tvlfsctl %s\n", command->usage);
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) return usage(stdout);
    for (const Subcommand* command : subcommands) {
        if (std::strcmp(argv[1], command->name) != 0) continue;
        openssl_init(false);
        const int status = command->run(std::vector<std::string>(argv + 2, argv + argc));
        openssl_shutdown(false);
        return status;
    }
    std::fprintf(stderr, "tvlfsctl: unknown subcommand '%s'\n", argv[1]);
    return usage(stderr);
}
