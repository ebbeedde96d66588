#pragma once

#include "Database.h"
#include "RequestLog.h"
#include "ServiceApi.h"

#include <boost/asio/io_context.hpp>

#include <chrono>
#include <filesystem>
#include <string>

namespace tolvarin::service {

struct ServerOptions {
    std::string host = "127.0.0.1";
    unsigned short port = 8086;
    std::filesystem::path database;
    std::chrono::seconds sessionIdleTime{24 * 60 * 60};
    unsigned threads = 4;
};

// The running service: listens, serves on a few threads, and stops on SIGINT or SIGTERM.
class Server {
public:
    explicit Server(const ServerOptions& options);
    // Blocks until a stop signal; answers the process's exit status.
    int run();

private:
    ServerOptions options_;
    RequestLog log_;
    Database database_;
    ServiceApi api_;
    // Declared last, so pending connections end before the stores they use.
    boost::asio::io_context context_;
};

}  // namespace tolvarin::service
