#include "Listener.h"

#include "HttpSession.h"

#include <boost/asio/strand.hpp>

namespace tolvarin::service {

Listener::Listener(boost::asio::io_context& context, const boost::asio::ip::tcp::endpoint& endpoint, ServiceApi& api, RequestLog& log)
    : context_(context), acceptor_(context), api_(api), log_(log)
{
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(boost::asio::socket_base::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(boost::asio::socket_base::max_listen_connections);
}

void Listener::start()
{
    acceptNext();
}

void Listener::stop()
{
    boost::system::error_code ignored;
    acceptor_.close(ignored);
}

void Listener::acceptNext()
{
    acceptor_.async_accept(boost::asio::make_strand(context_), [this](boost::system::error_code error, boost::asio::ip::tcp::socket socket) {
        if (error == boost::asio::error::operation_aborted)
            return;
        if (!error)
            std::make_shared<HttpSession>(std::move(socket), api_, log_)->start();
        acceptNext();
    });
}

}  // namespace tolvarin::service
