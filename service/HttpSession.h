#pragma once

#include "RequestLog.h"
#include "ServiceApi.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <memory>
#include <optional>

namespace tolvarin::service {

// One HTTP connection: reads requests one after another, answers each through the API, and
// hands a WebSocket upgrade on to the push channel.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    static constexpr std::size_t bodyLimit = 1024 * 1024;

    HttpSession(boost::asio::ip::tcp::socket socket, ServiceApi& api, RequestLog& log);
    void start();

private:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;
    using Response = boost::beast::http::response<boost::beast::http::string_body>;

    void readRequest();
    void onRead(boost::beast::error_code error);
    Response answer(const Request& request);
    void send(Response response);
    void sendAndHangUp(Response response);
    void drain();
    void close();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    ServiceApi& api_;
    RequestLog& log_;
    std::string peer_;
};

}  // namespace tolvarin::service
