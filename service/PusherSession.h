#pragma once

#include "PushSubscriber.h"
#include "RequestLog.h"
#include "ServiceApi.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace tolvarin::service {

// One push-channel client speaking the Pusher WebSocket protocol (version 7) at
// /app/<pusher_key>. The key is the signed-in user's own, so the connection belongs to that
// user and may subscribe to that user's channel only.
class PusherSession : public PushSubscriber, public std::enable_shared_from_this<PusherSession> {
public:
    static constexpr int activityTimeoutSeconds = 120;

    PusherSession(boost::asio::ip::tcp::socket socket, ServiceApi& api, RequestLog& log);
    ~PusherSession() override;

    void start(boost::beast::http::request<boost::beast::http::string_body> upgrade);
    void deliver(std::string frame) override;

private:
    void onAccept(boost::beast::error_code error);
    void readFrame();
    void onFrame(boost::beast::error_code error);
    void handleEvent(const std::string& text);
    void subscribe(const std::string& channel);
    void unsubscribe(const std::string& channel);
    void sendError(std::optional<int> code, const std::string& message);
    // Queues a frame; the caller runs on this session's strand.
    void queue(std::string frame);
    void writeNext();
    void refuse(int code, const std::string& message);

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    boost::beast::flat_buffer buffer_;
    ServiceApi& api_;
    RequestLog& log_;
    std::optional<std::int64_t> userId_;
    std::optional<std::pair<int, std::string>> refusal_;
    std::string socketId_;
    std::set<std::string> channels_;
    std::deque<std::string> outbox_;
    bool closing_ = false;
};

}  // namespace tolvarin::service
