#include "ServiceProcess.h"
#include "TestClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tolvarin::service::testing {
namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(service.addUser("alice@example.org", "Alice", "correct horse"), 0); }

    ServiceProcess service;
    HttpClient client{service.port()};
};

TEST_F(SessionTest, RightPasswordOpensSessionWithTokenAndPusherKey)
{
    auto started = client.get("/sessions/new?email=alice%40example.org");
    ASSERT_EQ(started.status, 200u);
    auto challenge = started.json()["challenge"].get<std::string>();
    auto salt = started.json()["auth_salt"].get<std::string>();
    auto response = passwordHash(passwordHash("correct horse" + salt) + challenge);

    auto answer = client.post("/sessions", {{"email", "alice@example.org"}, {"challenge", challenge}, {"response", response}});
    ASSERT_EQ(answer.status, 200u) << answer.body;
    EXPECT_FALSE(answer.json()["auth_token"].get<std::string>().empty());
    EXPECT_FALSE(answer.json()["pusher_key"].get<std::string>().empty());
    EXPECT_EQ(client.get("/user?auth_token=" + encode(answer.json()["auth_token"])).status, 200u);

    // The challenge is single-use: answering it again, even correctly, fails.
    auto replay = client.post("/sessions", {{"email", "alice@example.org"}, {"challenge", challenge}, {"response", response}});
    EXPECT_EQ(replay.status, 422u);
}

TEST_F(SessionTest, WrongPasswordAndUnknownAccountAnswer422)
{
    EXPECT_FALSE(signIn(client, "alice@example.org", "wrong horse"));
    EXPECT_TRUE(signIn(client, "ALICE@example.org", "correct horse")) << "e-mail addresses ignore letter case";

    // An unknown e-mail gets an answer shaped like a real one, stable across calls, that never succeeds.
    auto first = client.get("/sessions/new?email=nobody%40example.org");
    auto second = client.get("/sessions/new?email=nobody%40example.org");
    auto real = client.get("/sessions/new?email=alice%40example.org");
    ASSERT_EQ(first.status, 200u);
    EXPECT_EQ(first.json()["auth_salt"], second.json()["auth_salt"]);
    EXPECT_EQ(first.json()["auth_salt"].get<std::string>().size(), real.json()["auth_salt"].get<std::string>().size());
    EXPECT_NE(first.json()["challenge"], second.json()["challenge"]);
    EXPECT_FALSE(signIn(client, "nobody@example.org", "correct horse"));
}

TEST_F(SessionTest, EveryAccountEndpointNeedsValidToken)
{
    const std::pair<const char*, const char*> endpoints[] = {
        {"GET", "/user"},           {"PUT", "/user"},           {"POST", "/user/recovery_keys"},
        {"GET", "/user/recovery_keys/1234"}, {"GET", "/user/reset_key"}, {"GET", "/users/1"},
        {"GET", "/shares"},         {"POST", "/shares"},        {"GET", "/shares/1"},
        {"PUT", "/shares/1"},
    };
    for (const auto& [method, path] : endpoints) {
        EXPECT_EQ(client.send(method, path, "application/json", "{}").status, 401u) << method << " " << path;
        EXPECT_EQ(client.send(method, std::string(path) + "?auth_token=forged", "application/json", "{}").status, 401u)
            << method << " " << path;
    }
    // The token may also travel in the JSON body.
    auto session = signIn(client, "alice@example.org", "correct horse");
    ASSERT_TRUE(session);
    EXPECT_EQ(client.put("/user", session->body({{"user", {{"public_key", "PEM"}}}})).status, 200u);
}

TEST_F(SessionTest, RequestLogHasOneLinePerRequestAndNoSecrets)
{
    auto session = signIn(client, "alice@example.org", "correct horse");
    ASSERT_TRUE(session);
    ASSERT_EQ(client.get(session->with("/user")).status, 200u);
    PushClient push(service.port(), "/app/" + session->pusherKey);
    ASSERT_TRUE(push.next());

    auto log = service.log();
    EXPECT_NE(log.find(" GET /sessions/new 200 "), std::string::npos) << log;
    EXPECT_NE(log.find(" POST /sessions 200 "), std::string::npos) << log;
    EXPECT_NE(log.find(" GET /user 200 "), std::string::npos) << log;
    for (const auto& secret : {session->token, session->pusherKey, std::string("alice%40example.org")})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(SessionExpiry, TokenExpiresAfterIdleTime)
{
    ServiceProcess service({"--session-idle", "1"});
    ASSERT_EQ(service.addUser("bob@example.org", "Bob", "pw"), 0);
    HttpClient client(service.port());
    auto session = signIn(client, "bob@example.org", "pw");
    ASSERT_TRUE(session);
    EXPECT_EQ(client.get(session->with("/user")).status, 200u);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(client.get(session->with("/user")).status, 401u);
}

}  // namespace
}  // namespace tolvarin::service::testing
