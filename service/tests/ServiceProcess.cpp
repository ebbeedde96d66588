#include "ServiceProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <stdexcept>

namespace tolvarin::service::testing {

namespace {

pid_t spawn(const std::vector<std::string>& arguments, int standardInput, int standardOutput, int standardError)
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (standardInput >= 0)
            ::dup2(standardInput, STDIN_FILENO);
        if (standardOutput >= 0)
            ::dup2(standardOutput, STDOUT_FILENO);
        ::dup2(standardError, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0)
        throw std::runtime_error("fork failed");
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace

ServiceProcess::ServiceProcess(std::vector<std::string> extraArguments) : extraArguments_(std::move(extraArguments))
{
    char pattern[] = "/tmp/tolvarin-service-test-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    database_ = folder_ / "service.db";
    try {
        start();
    } catch (...) {
        std::filesystem::remove_all(folder_);
        throw;
    }
}

ServiceProcess::~ServiceProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ServiceProcess::start()
{
    int output[2];
    if (::pipe(output) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> arguments = {TOLVARIN_SERVICE_BINARY, "--listen", "127.0.0.1:0", "--db", database_.string()};
    arguments.insert(arguments.end(), extraArguments_.begin(), extraArguments_.end());
    int log = ::open((folder_ / "service.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    pid_ = spawn(arguments, -1, output[1], log);
    ::close(log);
    ::close(output[1]);

    // The first line names the bound port: "Listening on 127.0.0.1:PORT".
    std::string line;
    char c;
    while (::read(output[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    ::close(output[0]);
    auto colon = line.rfind(':');
    if (line.rfind("Listening on ", 0) != 0 || colon == std::string::npos) {
        stop();
        throw std::runtime_error("the service did not start: '" + line + "'");
    }
    port_ = static_cast<unsigned short>(std::stoi(line.substr(colon + 1)));
}

int ServiceProcess::stop()
{
    if (pid_ < 0)
        return -1;
    ::kill(pid_, SIGTERM);
    int status = waitFor(pid_);
    pid_ = -1;
    return status;
}

std::string ServiceProcess::log() const
{
    std::ifstream file(folder_ / "service.log");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void ServiceProcess::restart()
{
    stop();
    start();
}

int ServiceProcess::addUser(const std::string& email, const std::string& firstName, const std::string& password) const
{
    int input[2];
    if (::pipe(input) != 0)
        throw std::runtime_error("pipe failed");
    int quiet = ::open("/dev/null", O_WRONLY);
    pid_t pid = spawn({TOLVARIN_SERVICE_BINARY, "adduser", "--db", database_.string(), "--email", email, "--first-name", firstName},
                      input[0], quiet, quiet);
    ::close(quiet);
    ::close(input[0]);
    std::string line = password + "\n";
    (void)::write(input[1], line.data(), line.size());
    ::close(input[1]);
    return waitFor(pid);
}

}  // namespace tolvarin::service::testing
