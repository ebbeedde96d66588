#include "PusherSession.h"

#include "ApiError.h"
#include "ApiRequestReader.h"
#include "CryptoText.h"
#include "DatabaseError.h"
#include "FormCodec.h"
#include "JsonBody.h"

#include <boost/asio/post.hpp>

#include <charconv>

namespace tolvarin::service {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

namespace {

constexpr std::size_t frameLimit = 64 * 1024;
constexpr std::size_t outboxLimit = 1024;

// Close codes of the protocol: 4001 unknown application key, 4007 unsupported version.
constexpr int unknownApplication = 4001;
constexpr int unsupportedProtocol = 4007;
constexpr int unauthorized = 4009;

std::string newSocketId()
{
    std::string bytes = crypto_text::randomBytes(8);
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    for (int index = 0; index < 4; ++index) {
        first = first * 256 + static_cast<unsigned char>(bytes[index]);
        second = second * 256 + static_cast<unsigned char>(bytes[index + 4]);
    }
    return std::to_string(first % 1000000000) + "." + std::to_string(second % 1000000000);
}

// Protocol versions this server speaks; a client that names none is taken to speak 7.
bool supportedProtocol(const nlohmann::json& query)
{
    auto version = query.value("protocol", nlohmann::json("7"));
    if (!version.is_string())
        return false;
    const auto& text = version.get_ref<const std::string&>();
    int number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= 5 && number <= 7;
}

// The data member of a client event is an object, or an object encoded as text.
nlohmann::json eventData(const nlohmann::json& message)
{
    auto data = message.value("data", nlohmann::json::object());
    if (data.is_string())
        return json_body::parseObject(data.get<std::string>());
    if (!data.is_object())
        throw ApiError(400, "The event data must be an object");
    return data;
}

std::string frame(const std::string& event, const nlohmann::json& data, const std::string& channel = {})
{
    nlohmann::json message = {{"event", event}, {"data", data}};
    if (!channel.empty())
        message["channel"] = channel;
    return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

PusherSession::PusherSession(boost::asio::ip::tcp::socket socket, ServiceApi& api, RequestLog& log)
    : socket_(std::move(socket)), api_(api), log_(log)
{
}

PusherSession::~PusherSession()
{
    for (const auto& channel : channels_)
        api_.pushHub().unsubscribe(channel, this);
}

void PusherSession::start(beast::http::request<beast::http::string_body> upgrade)
{
    std::string_view target = upgrade.target();
    auto question = target.find('?');
    auto query = form_codec::parseFields(question == std::string_view::npos ? std::string_view() : target.substr(question + 1));
    std::string path(api_request_reader::pathOf(target));

    try {
        constexpr std::string_view prefix = "/app/";
        if (path.rfind(prefix, 0) == 0)
            userId_ = api_.accounts().userForPusherKey(path.substr(prefix.size()));
    } catch (const DatabaseError&) {
        userId_.reset();
    }
    if (!userId_)
        refusal_ = {unknownApplication, "Application does not exist"};
    else if (!query || !supportedProtocol(*query))
        refusal_ = {unsupportedProtocol, "Unsupported protocol version"};
    beast::error_code ignored;
    auto peer = beast::get_lowest_layer(socket_).socket().remote_endpoint(ignored);
    // The key in the path is a credential of its user, so the log shows only the route.
    log_.request(ignored ? "-" : peer.address().to_string(), "GET", "/app/-", 101, 0);

    beast::get_lowest_layer(socket_).expires_never();
    socket_.set_option(websocket::stream_base::timeout{
        std::chrono::seconds(30), std::chrono::seconds(2 * activityTimeoutSeconds), true});
    socket_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { response.set(beast::http::field::server, "tolvarin-service"); }));
    socket_.read_message_max(frameLimit);

    auto request = std::make_shared<beast::http::request<beast::http::string_body>>(std::move(upgrade));
    socket_.async_accept(*request, [self = shared_from_this(), request](beast::error_code error) { self->onAccept(error); });
}

void PusherSession::deliver(std::string message)
{
    boost::asio::post(socket_.get_executor(),
                      [self = shared_from_this(), message = std::move(message)]() mutable { self->queue(std::move(message)); });
}

void PusherSession::onAccept(beast::error_code error)
{
    if (error)
        return;
    if (refusal_)
        return refuse(refusal_->first, refusal_->second);
    socketId_ = newSocketId();
    nlohmann::json established = {{"socket_id", socketId_}, {"activity_timeout", activityTimeoutSeconds}};
    queue(frame("pusher:connection_established", established.dump()));
    readFrame();
}

void PusherSession::readFrame()
{
    socket_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) { self->onFrame(error); });
}

void PusherSession::onFrame(beast::error_code error)
{
    if (error)
        return;
    std::string text = beast::buffers_to_string(buffer_.data());
    buffer_.consume(buffer_.size());
    handleEvent(text);
    readFrame();
}

void PusherSession::handleEvent(const std::string& text)
{
    try {
        auto message = json_body::parseObject(text);
        auto event = message.value("event", nlohmann::json());
        if (!event.is_string())
            return sendError(std::nullopt, "The message has no event name");
        const auto& name = event.get_ref<const std::string&>();
        if (name == "pusher:ping")
            return queue(frame("pusher:pong", "{}"));
        if (name == "pusher:pong")
            return;
        if (name == "pusher:subscribe" || name == "pusher:unsubscribe") {
            auto channel = eventData(message).value("channel", nlohmann::json());
            if (!channel.is_string())
                return sendError(std::nullopt, "The event names no channel");
            return name == "pusher:subscribe" ? subscribe(channel.get<std::string>()) : unsubscribe(channel.get<std::string>());
        }
        if (name.rfind("client-", 0) == 0)
            return sendError(std::nullopt, "Client events are not enabled on this service");
        sendError(std::nullopt, "Unknown event " + name);
    } catch (const ApiError& error) {
        sendError(std::nullopt, error.what());
    }
}

void PusherSession::subscribe(const std::string& channel)
{
    if (channel != PushHub::channelFor(*userId_))
        return sendError(unauthorized, "Subscription to " + channel + " refused: a connection may join only its own user's channel");
    api_.pushHub().subscribe(channel, shared_from_this());
    channels_.insert(channel);
    queue(frame("pusher_internal:subscription_succeeded", "{}", channel));
}

void PusherSession::unsubscribe(const std::string& channel)
{
    if (channels_.erase(channel))
        api_.pushHub().unsubscribe(channel, this);
}

void PusherSession::sendError(std::optional<int> code, const std::string& message)
{
    queue(frame("pusher:error", {{"code", code ? nlohmann::json(*code) : nlohmann::json(nullptr)}, {"message", message}}));
}

void PusherSession::refuse(int code, const std::string& message)
{
    sendError(code, message);
    closing_ = true;
}

void PusherSession::queue(std::string message)
{
    if (closing_)
        return;
    // A client that stops reading must not make the service hoard its frames.
    if (outbox_.size() >= outboxLimit) {
        beast::get_lowest_layer(socket_).close();
        return;
    }
    outbox_.push_back(std::move(message));
    if (outbox_.size() == 1)
        writeNext();
}

void PusherSession::writeNext()
{
    socket_.text(true);
    socket_.async_write(boost::asio::buffer(outbox_.front()), [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error)
            return;
        self->outbox_.pop_front();
        if (!self->outbox_.empty())
            return self->writeNext();
        if (self->closing_ && self->refusal_) {
            websocket::close_reason reason(static_cast<websocket::close_code>(self->refusal_->first), self->refusal_->second);
            self->socket_.async_close(reason, [self](beast::error_code) {});
        }
    });
}

}  // namespace tolvarin::service
