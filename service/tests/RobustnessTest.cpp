#include "ServiceProcess.h"
#include "TestClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tolvarin::service::testing {
namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(service.addUser("alice@example.org", "Alice", "pw-a"), 0);
        alice = *signIn(client, "alice@example.org", "pw-a");
        ASSERT_EQ(client.put("/user", alice.body({{"user", {{"access_key", "AK=="}}}})).status, 200u);
    }

    ServiceProcess service;
    HttpClient client{service.port()};
    Session alice;
};

TEST_F(RobustnessTest, BadInputGetsClearClientErrorAndChangesNothing)
{
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        unsigned status;
    };
    std::string deep = "{\"user\":" + std::string(10000, '[') + std::string(10000, ']') + "}";
    const Case cases[] = {
        {"POST", "/shares", "{not json", 400},
        {"POST", "/shares", "[1,2]", 400},
        {"POST", "/shares", R"({"key_id": 5})", 400},
        {"POST", "/shares", R"({"key_id": ""})", 400},
        {"PUT", "/user", R"({"user": "text"})", 400},
        {"PUT", "/user", R"({"user": {"packing_key": "ok", "access_key": 12}})", 400},
        {"PUT", "/user", R"({"user": {"user_blob": {"blob": []}}})", 400},
        {"PUT", "/user", deep, 400},
        {"PUT", "/shares/1", R"({"allowed": "yes"})", 400},
        {"PUT", "/shares/1", "{}", 400},
        {"POST", "/user/recovery_keys", R"({"key": "k"})", 400},
        {"GET", "/shares/abc", "", 404},
        {"GET", "/shares/99999999999999999999", "", 404},
        {"GET", "/shares/%ZZ", "", 400},
        {"GET", "/nothing/here", "", 404},
        {"DELETE", "/user", "", 405},
    };
    for (const auto& item : cases) {
        auto reply = client.send(item.method, alice.with(item.path), "application/json", item.body);
        EXPECT_EQ(reply.status, item.status) << item.method << " " << item.path << " " << item.body.substr(0, 60);
        EXPECT_TRUE(reply.json().contains("error")) << reply.body;
    }
    EXPECT_EQ(client.post("/sessions", {{"email", nlohmann::json::array({"a"})}, {"challenge", "c"}, {"response", "r"}}).status, 400u);
    EXPECT_EQ(client.get("/user?auth_token=%FF").status, 400u) << "bytes that are not UTF-8";

    auto user = client.get(alice.with("/user")).json();
    EXPECT_EQ(user["access_key"], "AK==");
    EXPECT_TRUE(user["packing_key"].is_null()) << "a request refused for one member stores none";
}

TEST_F(RobustnessTest, OversizedBodyIsRefused)
{
    std::string huge = R"({"user": {"public_key": ")" + std::string(2 * 1024 * 1024, 'x') + R"("}})";
    EXPECT_EQ(client.send("PUT", alice.with("/user"), "application/json", huge).status, 413u);
    EXPECT_TRUE(client.get(alice.with("/user")).json()["public_key"].is_null());
}

TEST(ConcurrentRequests, FiftyAtOnceGiveCorrectResults)
{
    ServiceProcess service;
    HttpClient client(service.port());
    constexpr int users = 5;
    std::vector<Session> sessions;
    for (int index = 0; index < users; ++index) {
        std::string email = "user" + std::to_string(index) + "@example.org";
        ASSERT_EQ(service.addUser(email, "User" + std::to_string(index), "pw"), 0);
        sessions.push_back(*signIn(client, email, "pw"));
        ASSERT_EQ(client.put("/user", sessions.back().body({{"user", {{"share_key_id", "shek-" + std::to_string(index)}}}})).status, 200u);
    }

    // Ten requests race for each share; exactly one share per pair may result.
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int index = 0; index < 50; ++index) {
        threads.emplace_back([&, index] {
            const auto& session = sessions[index % users];
            auto keyId = "shek-" + std::to_string((index + 1) % users);
            auto reply = client.post("/shares", session.body({{"key_id", keyId}, {"path", "Shared"}}));
            auto user = client.get(session.with("/user"));
            if ((reply.status != 200 && reply.status != 201) || user.status != 200)
                ++failures;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    for (const auto& session : sessions) {
        auto shares = client.get(session.with("/shares")).json();
        EXPECT_EQ(shares.size(), 2u) << "one request made and one received by user " << session.userId;
    }
}

}  // namespace
}  // namespace tolvarin::service::testing
