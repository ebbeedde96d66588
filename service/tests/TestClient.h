#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>

namespace tolvarin::service::testing {

struct Reply {
    unsigned status = 0;
    std::string contentType;
    std::string body;
    nlohmann::json json() const { return nlohmann::json::parse(body, nullptr, false); }
};

// One HTTP request per call on a fresh loopback connection, as the client's REST layer sends them.
class HttpClient {
public:
    explicit HttpClient(unsigned short port) : port_(port) {}

    Reply get(const std::string& target) const { return send("GET", target, "", ""); }
    Reply post(const std::string& target, const nlohmann::json& body) const { return send("POST", target, "application/json; charset=utf-8", body.dump()); }
    Reply put(const std::string& target, const nlohmann::json& body) const { return send("PUT", target, "application/json; charset=utf-8", body.dump()); }
    Reply send(const std::string& method, const std::string& target, const std::string& contentType, const std::string& body) const;

private:
    unsigned short port_;
};

// H(x) of the sign-in exchange, written here on its own so a fault in the service's is seen.
std::string passwordHash(const std::string& text);
// Percent-encodes a query value.
std::string encode(const std::string& text);

struct Session {
    std::string token;
    std::string pusherKey;
    std::string userId;
    // `target` with the session's auth_token added to its query.
    std::string with(const std::string& target) const;
    // `members` with the session's auth_token added.
    nlohmann::json body(nlohmann::json members) const;
};

// Signs in with the challenge–response exchange; nothing when the service refuses.
std::optional<Session> signIn(const HttpClient& client, const std::string& email, const std::string& password);

// A Pusher-protocol client on the push channel; reads time out after a few seconds.
class PushClient {
public:
    PushClient(unsigned short port, const std::string& target);
    ~PushClient();

    void send(const nlohmann::json& message);
    // The next event from the service, with its data decoded when it is a text; nothing on timeout or close.
    std::optional<nlohmann::json> next();
    // The close code the service sent, after next() came back empty.
    int closeCode() const;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace tolvarin::service::testing
