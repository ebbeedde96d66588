#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace tolvarin::service {

// `tolvarin-service adduser`: creates an account with the password read from `input`, so
// that it never appears on a command line.
class AddUserCommand {
public:
    AddUserCommand(std::filesystem::path database, std::string email, std::string firstName)
        : database_(std::move(database)), email_(std::move(email)), firstName_(std::move(firstName))
    {
    }

    int run(std::istream& input, std::ostream& output, std::ostream& errors);

private:
    std::filesystem::path database_;
    std::string email_;
    std::string firstName_;
};

}  // namespace tolvarin::service
