#pragma once

#include <string>
#include <vector>

// One tvlfsctl subcommand: its name, a usage line and its entry, which gets the arguments
// after the subcommand name and returns the exit status.
struct Subcommand {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& args);
};
