#include "HttpSession.h"

#include "ApiError.h"
#include "ApiRequestReader.h"
#include "PusherSession.h"

#include <boost/beast/websocket.hpp>

#include <array>
#include <chrono>

namespace tolvarin::service {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr auto readTimeout = std::chrono::seconds(30);

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, ServiceApi& api, RequestLog& log)
    : stream_(std::move(socket)), api_(api), log_(log)
{
    beast::error_code error;
    auto endpoint = stream_.socket().remote_endpoint(error);
    peer_ = error ? "-" : endpoint.address().to_string();
}

void HttpSession::start()
{
    readRequest();
}

void HttpSession::readRequest()
{
    parser_.emplace();
    parser_->body_limit(bodyLimit);
    parser_->header_limit(64 * 1024);
    stream_.expires_after(readTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) { self->onRead(error); });
}

void HttpSession::onRead(beast::error_code error)
{
    if (error == http::error::end_of_stream || error == beast::error::timeout || error == boost::asio::error::operation_aborted)
        return close();
    if (error) {
        // The peer sent something that is not a request we accept; tell it and hang up.
        unsigned status = error == http::error::body_limit ? 413 : 400;
        auto body = ApiResponse::error(status, status == 413 ? "The request body is too large" : "The request is malformed");
        Response response{static_cast<http::status>(status), 11};
        response.set(http::field::content_type, body.contentType);
        response.keep_alive(false);
        response.body() = body.body;
        response.prepare_payload();
        log_.request(peer_, "-", "-", status, 0);
        return sendAndHangUp(std::move(response));
    }

    Request request = parser_->release();
    if (beast::websocket::is_upgrade(request)) {
        std::make_shared<PusherSession>(stream_.release_socket(), api_, log_)->start(std::move(request));
        return;
    }
    send(answer(request));
}

HttpSession::Response HttpSession::answer(const Request& request)
{
    auto started = std::chrono::steady_clock::now();
    ApiResponse result;
    try {
        result = api_.handle(api_request_reader::read(request.method_string(), request.target(),
                                                      request[http::field::content_type], request.body()));
    } catch (const ApiError& error) {
        result = ApiResponse::error(error.status(), error.what());
    }
    Response response{static_cast<http::status>(result.status), request.version()};
    response.set(http::field::server, "tolvarin-service");
    response.set(http::field::content_type, result.contentType);
    response.keep_alive(request.keep_alive());
    response.body() = std::move(result.body);
    response.prepare_payload();

    std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
    log_.request(peer_, request.method_string(), api_request_reader::pathOf(request.target()), result.status, elapsed.count());
    return response;
}

void HttpSession::send(Response response)
{
    auto message = std::make_shared<Response>(std::move(response));
    stream_.expires_after(readTimeout);
    http::async_write(stream_, *message, [self = shared_from_this(), message](beast::error_code error, std::size_t) {
        if (error || message->need_eof())
            return self->close();
        self->readRequest();
    });
}

void HttpSession::sendAndHangUp(Response response)
{
    auto message = std::make_shared<Response>(std::move(response));
    stream_.expires_after(readTimeout);
    http::async_write(stream_, *message, [self = shared_from_this(), message](beast::error_code error, std::size_t) {
        if (error)
            return;
        self->close();
        // Read what the peer still sends before the socket closes, so that closing with
        // unread data does not reset the connection before the peer has read the answer.
        self->stream_.expires_after(std::chrono::seconds(2));
        self->drain();
    });
}

void HttpSession::drain()
{
    auto scratch = std::make_shared<std::array<char, 16384>>();
    stream_.async_read_some(boost::asio::buffer(*scratch), [self = shared_from_this(), scratch](beast::error_code error, std::size_t) {
        if (!error)
            self->drain();
    });
}

void HttpSession::close()
{
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
}

}  // namespace tolvarin::service
