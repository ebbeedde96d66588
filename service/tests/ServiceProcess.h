#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tolvarin::service::testing {

// A real tolvarin-service on a free loopback port with a database in a temporary folder.
// The process is stopped and the folder removed when the object goes, also when a test fails.
class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> extraArguments = {});
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;
    ~ServiceProcess();

    unsigned short port() const { return port_; }
    const std::filesystem::path& database() const { return database_; }

    // What the service wrote to standard error so far.
    std::string log() const;

    // Sends SIGTERM and answers the exit status (-1 when it did not exit normally).
    int stop();
    // Stops and starts again on the same database.
    void restart();

    // Runs `tolvarin-service adduser` with the password on standard input; answers its status.
    int addUser(const std::string& email, const std::string& firstName, const std::string& password) const;

private:
    void start();

    std::filesystem::path folder_;
    std::filesystem::path database_;
    std::vector<std::string> extraArguments_;
    pid_t pid_ = -1;
    unsigned short port_ = 0;
};

}  // namespace tolvarin::service::testing
