#include "CommandLine.h"

#include <cstdio>

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--keys") {
            if (i + 1 >= args.size()) {
                error = "--keys needs a file";
                return false;
            }
            out.keysPath = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            error = "unknown option " + args[i];
            return false;
        } else {
            out.positional.push_back(args[i]);
        }
    }
    return true;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "tvlfsctl: %s\n", message.c_str());
    return 1;
}

int usageError(const char* usage) {
    std::fprintf(stderr, "usage: tvlfsctl %s\n", usage);
    return 2;
}
