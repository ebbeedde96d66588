#include "CommandLine.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

namespace tolvarin::service {

namespace {

unsigned long number(const std::string& text, const std::string& option, unsigned long maximum)
{
    unsigned long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > maximum)
        throw std::invalid_argument(option + " needs a number up to " + std::to_string(maximum) + ", not '" + text + "'");
    return value;
}

void parseListen(const std::string& text, ServerOptions& options)
{
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw std::invalid_argument("--listen needs HOST:PORT, not '" + text + "'");
    options.host = text.substr(0, colon);
    options.port = static_cast<unsigned short>(number(text.substr(colon + 1), "--listen", 65535));
}

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    std::size_t index = 0;
    if (!arguments.empty() && arguments[0] == "adduser") {
        line.command = Command::addUser;
        index = 1;
    }
    for (; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        if (option == "-h" || option == "--help") {
            line.command = Command::help;
            return line;
        }
        if (index + 1 >= arguments.size())
            throw std::invalid_argument("unknown option or missing value: " + option);
        const std::string& value = arguments[++index];
        if (option == "--db")
            line.server.database = value;
        else if (option == "--listen" && line.command == Command::serve)
            parseListen(value, line.server);
        else if (option == "--session-idle" && line.command == Command::serve)
            line.server.sessionIdleTime = std::chrono::seconds(number(value, option, 365UL * 24 * 60 * 60));
        else if (option == "--email" && line.command == Command::addUser)
            line.email = value;
        else if (option == "--first-name" && line.command == Command::addUser)
            line.firstName = value;
        else
            throw std::invalid_argument("unknown option: " + option);
    }
    if (line.command == Command::addUser && (line.email.empty() || line.firstName.empty()))
        throw std::invalid_argument("adduser needs --email and --first-name");
    if (line.server.database.empty())
        line.server.database = defaultDatabase();
    return line;
}

std::filesystem::path CommandLine::defaultDatabase()
{
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        base = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = ".";
    return base / "tolvarin-service" / "service.db";
}

const char* CommandLine::usage()
{
    return "usage: tolvarin-service [--listen HOST:PORT] [--db FILE] [--session-idle SECONDS]\n"
           "       tolvarin-service adduser [--db FILE] --email EMAIL --first-name NAME   (password on standard input)\n"
           "Defaults: --listen 127.0.0.1:8086, --db $XDG_DATA_HOME/tolvarin-service/service.db,\n"
           "          --session-idle 86400. Port 0 picks a free port; the first line printed names it.\n";
}

}  // namespace tolvarin::service
