#include "AddUserCommand.h"

#include "AccountStore.h"
#include "ApiError.h"
#include "Database.h"
#include "SecureBuffer.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace tolvarin::service {

namespace {

// Turns terminal echo off while the password is typed, and back on however reading ends.
class HiddenInput {
public:
    HiddenInput() : active_(::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved_) == 0)
    {
        if (active_) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~HiddenInput()
    {
        if (active_)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    bool active() const { return active_; }

private:
    termios saved_{};
    bool active_;
};

SecureBuffer readPassword(std::istream& input, std::ostream& errors)
{
    HiddenInput hidden;
    if (hidden.active())
        errors << "Password: " << std::flush;
    std::string line;
    std::getline(input, line);
    if (hidden.active())
        errors << std::endl;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    SecureBuffer password(line);
    OPENSSL_cleanse(line.data(), line.size());
    return password;
}

}  // namespace

int AddUserCommand::run(std::istream& input, std::ostream& output, std::ostream& errors)
{
    try {
        SecureBuffer password = readPassword(input, errors);
        std::filesystem::create_directories(database_.parent_path().empty() ? "." : database_.parent_path());
        Database database(database_);
        AccountStore accounts(database);
        auto id = accounts.createUser(email_, firstName_, password);
        output << "Created user " << id << " <" << email_ << ">" << std::endl;
        return 0;
    } catch (const std::exception& error) {
        errors << "tolvarin-service adduser: " << error.what() << std::endl;
        return 1;
    }
}

}  // namespace tolvarin::service
