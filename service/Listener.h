#pragma once

#include "RequestLog.h"
#include "ServiceApi.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace tolvarin::service {

// Accepts connections and gives each its own HTTP session on a strand of its own.
class Listener {
public:
    Listener(boost::asio::io_context& context, const boost::asio::ip::tcp::endpoint& endpoint, ServiceApi& api, RequestLog& log);

    void start();
    void stop();
    boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

private:
    void acceptNext();

    boost::asio::io_context& context_;
    boost::asio::ip::tcp::acceptor acceptor_;
    ServiceApi& api_;
    RequestLog& log_;
};

}  // namespace tolvarin::service
