#pragma once

#include "Server.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvarin::service {

// The program's arguments: serving (the default) or adding an account.
struct CommandLine {
    enum class Command { serve, addUser, help };

    Command command = Command::serve;
    ServerOptions server;
    std::string email;
    std::string firstName;

    // Throws std::invalid_argument with a message for the user on bad arguments.
    static CommandLine parse(const std::vector<std::string>& arguments);
    static std::filesystem::path defaultDatabase();
    static const char* usage();
};

}  // namespace tolvarin::service
