#pragma once

#include <string>
#include <vector>

// A subcommand's arguments: the optional --keys FILE and the positional ones.
struct CommandLine {
    std::string keysPath;
    std::vector<std::string> positional;
};

// False with a message when an option is unknown or lacks its value.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// Prints "tvlfsctl: message" on standard error and returns the failure status.
int fail(const std::string& message);
// Prints the usage line on standard error and returns the usage status.
int usageError(const char* usage);
