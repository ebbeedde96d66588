#include "AddUserCommand.h"
#include "CommandLine.h"
#include "Server.h"

#include <sys/stat.h>

#include <iostream>
#include <stdexcept>

using tolvarin::service::AddUserCommand;
using tolvarin::service::CommandLine;
using tolvarin::service::Server;

int main(int argc, char** argv)
{
    CommandLine line;
    try {
        line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        std::cerr << "tolvarin-service: " << error.what() << "\n" << CommandLine::usage();
        return 2;
    }
    if (line.command == CommandLine::Command::help) {
        std::cout << CommandLine::usage();
        return 0;
    }
    // Anything the service creates (database, journal, folders) is private to its user.
    ::umask(077);
    if (line.command == CommandLine::Command::addUser)
        return AddUserCommand(line.server.database, line.email, line.firstName).run(std::cin, std::cout, std::cerr);
    try {
        std::filesystem::create_directories(line.server.database.parent_path().empty() ? "." : line.server.database.parent_path());
        Server server(line.server);
        return server.run();
    } catch (const std::exception& error) {
        std::cerr << "tolvarin-service: " << error.what() << std::endl;
        return 1;
    }
}
