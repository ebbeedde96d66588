#include "TestClient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <openssl/evp.h>

#include <sys/socket.h>

#include <cstdio>

namespace tolvarin::service::testing {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

Reply HttpClient::send(const std::string& method, const std::string& target, const std::string& contentType, const std::string& body) const
{
    net::io_context context;
    beast::tcp_stream stream(context);
    stream.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port_));
    http::request<http::string_body> request{http::string_to_verb(method), target, 11};
    request.set(http::field::host, "127.0.0.1");
    request.set(http::field::accept, "application/json");
    if (!contentType.empty())
        request.set(http::field::content_type, contentType);
    request.body() = body;
    request.prepare_payload();
    http::write(stream, request);

    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(16 * 1024 * 1024);
    http::read(stream, buffer, parser);
    auto response = parser.release();
    beast::error_code ignored;
    stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    return Reply{response.result_int(), std::string(response[http::field::content_type]), response.body()};
}

std::string passwordHash(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha512(), nullptr);
    unsigned char encoded[200];
    int size = EVP_EncodeBlock(encoded, digest, static_cast<int>(length));
    return std::string(reinterpret_cast<char*>(encoded), static_cast<std::size_t>(size));
}

std::string encode(const std::string& text)
{
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            encoded.push_back(static_cast<char>(c));
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            encoded += escape;
        }
    }
    return encoded;
}

std::string Session::with(const std::string& target) const
{
    return target + (target.find('?') == std::string::npos ? "?" : "&") + "auth_token=" + encode(token);
}

nlohmann::json Session::body(nlohmann::json members) const
{
    members["auth_token"] = token;
    return members;
}

std::optional<Session> signIn(const HttpClient& client, const std::string& email, const std::string& password)
{
    auto started = client.get("/sessions/new?email=" + encode(email)).json();
    std::string challenge = started.value("challenge", "");
    std::string response = passwordHash(passwordHash(password + started.value("auth_salt", "")) + challenge);
    auto answer = client.post("/sessions", {{"email", email}, {"challenge", challenge}, {"response", response}});
    if (answer.status != 200)
        return std::nullopt;
    auto session = answer.json();
    return Session{session["auth_token"].get<std::string>(), session["pusher_key"].get<std::string>(),
                   std::to_string(session["user_id"].get<long long>())};
}

struct PushClient::Connection {
    net::io_context context;
    beast::websocket::stream<tcp::socket> socket{context};
};

PushClient::PushClient(unsigned short port, const std::string& target) : connection_(std::make_unique<Connection>())
{
    auto& socket = connection_->socket;
    socket.next_layer().connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port));
    timeval timeout{5, 0};
    ::setsockopt(socket.next_layer().native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    socket.handshake("127.0.0.1", target);
}

PushClient::~PushClient() = default;

void PushClient::send(const nlohmann::json& message)
{
    connection_->socket.text(true);
    connection_->socket.write(net::buffer(message.dump()));
}

std::optional<nlohmann::json> PushClient::next()
{
    beast::flat_buffer buffer;
    beast::error_code error;
    connection_->socket.read(buffer, error);
    if (error)
        return std::nullopt;
    auto message = nlohmann::json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
    if (message.is_object() && message.contains("data") && message["data"].is_string())
        message["data"] = nlohmann::json::parse(message["data"].get<std::string>(), nullptr, false);
    return message;
}

int PushClient::closeCode() const
{
    return connection_->socket.reason().code;
}

}  // namespace tolvarin::service::testing
