#include "Server.h"

#include "Listener.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <iostream>
#include <thread>
#include <vector>

namespace tolvarin::service {

Server::Server(const ServerOptions& options)
    : options_(options), database_(options.database), api_(database_, options.sessionIdleTime)
{
}

int Server::run()
{
    boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address(options_.host), options_.port);
    Listener listener(context_, endpoint, api_, log_);
    boost::asio::signal_set signals(context_, SIGINT, SIGTERM);
    signals.async_wait([&](boost::system::error_code error, int signal) {
        if (error)
            return;
        log_.note(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
        listener.stop();
        context_.stop();
    });
    listener.start();

    auto bound = listener.endpoint();
    // Tests and scripts read this line to learn the port when asked for port 0.
    std::cout << "Listening on " << bound.address().to_string() << ":" << bound.port() << std::endl;

    std::vector<std::thread> workers;
    for (unsigned index = 1; index < options_.threads; ++index)
        workers.emplace_back([this] { context_.run(); });
    context_.run();
    for (auto& worker : workers)
        worker.join();
    log_.note("stopped");
    return 0;
}

}  // namespace tolvarin::service
