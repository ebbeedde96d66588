#include "TwoUsersTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tolvarin::service::testing {
namespace {

using UserTest = TwoUsersTest;

TEST_F(UserTest, NewAccountHasSaltAndEmptyKeys)
{
    auto user = client.get(alice.with("/user")).json();
    EXPECT_EQ(std::to_string(user["id"].get<long long>()), alice.userId);
    EXPECT_EQ(user["first_name"], "Alice");
    EXPECT_EQ(user["key_salt"].get<std::string>().size(), 28u) << "Base64 of 20 bytes";
    for (const char* member : {"access_key", "packing_key", "public_key", "share_key_id", "user_blob"})
        EXPECT_TRUE(user[member].is_null()) << member;

    struct stat info {};
    ASSERT_EQ(::stat(service.database().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(UserTest, AccountUploadReadsBack)
{
    nlohmann::json upload = {{"user",
                              {{"access_key", "AK=="},
                               {"packing_key", "PK=="},
                               {"public_key", "-----BEGIN CERTIFICATE-----\n..."},
                               {"user_blob", {{"blob", "<blob/>"}}},
                               {"share_key_id", "shek-a"}}}};
    ASSERT_EQ(client.put("/user", alice.body(upload)).status, 200u);
    auto user = client.get(alice.with("/user")).json();
    EXPECT_EQ(user["access_key"], "AK==");
    EXPECT_EQ(user["packing_key"], "PK==");
    EXPECT_EQ(user["public_key"], "-----BEGIN CERTIFICATE-----\n...");
    EXPECT_EQ(user["user_blob"], nlohmann::json({{"blob", "<blob/>"}}));
    EXPECT_EQ(user["share_key_id"], "shek-a");

    // A partial upload with an empty user_blob changes only what it names and keeps the blob.
    ASSERT_EQ(client.put("/user", alice.body({{"user", {{"access_key", "AK2="}, {"user_blob", nlohmann::json::object()}}}})).status, 200u);
    user = client.get(alice.with("/user")).json();
    EXPECT_EQ(user["access_key"], "AK2=");
    EXPECT_EQ(user["packing_key"], "PK==");
    EXPECT_EQ(user["user_blob"]["blob"], "<blob/>");

    // Another user sees the public view only.
    auto seen = client.get(bob.with("/users/" + alice.userId)).json();
    EXPECT_EQ(seen, nlohmann::json({{"id", std::stoll(alice.userId)}, {"first_name", "Alice"}, {"public_key", user["public_key"]}}));
    EXPECT_EQ(client.get(bob.with("/users/9999")).status, 404u);
    EXPECT_EQ(client.get(bob.with("/users/abc")).status, 404u);
}

TEST_F(UserTest, ShareKeyIdOfAnotherAccountIsRefused)
{
    ASSERT_EQ(client.put("/user", alice.body({{"user", {{"share_key_id", "shek-a"}}}})).status, 200u);
    auto taken = client.put("/user", bob.body({{"user", {{"public_key", "B"}, {"share_key_id", "shek-a"}}}}));
    EXPECT_EQ(taken.status, 409u);
    EXPECT_TRUE(client.get(bob.with("/user")).json()["public_key"].is_null()) << "a refused upload changes nothing";
}

TEST_F(UserTest, RecoveryAndResetKeys)
{
    EXPECT_EQ(client.get(alice.with("/user/recovery_keys/1234567890123456")).status, 404u);
    ASSERT_EQ(client.post("/user/recovery_keys", alice.body({{"key", "wrapped-pk"}, {"key_id", "1234567890123456"}})).status, 201u);
    auto recovery = client.get(alice.with("/user/recovery_keys/1234567890123456"));
    ASSERT_EQ(recovery.status, 200u);
    EXPECT_EQ(recovery.json()["key"], "wrapped-pk");
    EXPECT_EQ(client.get(bob.with("/user/recovery_keys/1234567890123456")).status, 404u) << "recovery keys are per account";

    auto reset = client.get(alice.with("/user/reset_key")).json()["key"].get<std::string>();
    EXPECT_EQ(reset.size(), 44u) << "Base64 of 32 bytes";
    EXPECT_EQ(client.get(alice.with("/user/reset_key")).json()["key"], reset);
    EXPECT_NE(client.get(bob.with("/user/reset_key")).json()["key"], reset);
}

TEST_F(UserTest, SignupPageAndAddUserCreateAccounts)
{
    auto form = client.get("/users/new");
    EXPECT_EQ(form.status, 200u);
    EXPECT_NE(form.contentType.find("text/html"), std::string::npos);
    EXPECT_NE(form.body.find("action=\"/users\""), std::string::npos);

    auto created = client.send("POST", "/users", "application/x-www-form-urlencoded",
                               "email=carol%40example.org&first_name=Carol&password=pw+c%26d");
    EXPECT_EQ(created.status, 201u) << created.body;
    EXPECT_TRUE(signIn(client, "carol@example.org", "pw c&d"));

    auto again = client.send("POST", "/users", "application/x-www-form-urlencoded",
                             "email=carol%40example.org&first_name=<b>&password=x");
    EXPECT_EQ(again.status, 422u);
    EXPECT_EQ(service.addUser("Carol@Example.org", "Carol", "other"), 1) << "e-mail addresses are unique in any case";
    EXPECT_FALSE(signIn(client, "carol@example.org", "other"));
}

TEST_F(UserTest, RestartKeepsAccountsKeysAndSessions)
{
    ASSERT_EQ(client.put("/user", alice.body({{"user", {{"access_key", "AK=="}, {"share_key_id", "shek-a"}}}})).status, 200u);
    ASSERT_EQ(client.post("/user/recovery_keys", alice.body({{"key", "wrapped"}, {"key_id", "42"}})).status, 201u);
    auto share = client.post("/shares", bob.body({{"key_id", "shek-a"}, {"path", "Team/Plans"}, {"key_type", "shek"}}));
    ASSERT_EQ(share.status, 201u);
    auto reset = client.get(alice.with("/user/reset_key")).json()["key"];

    // A push connection still open must not keep the service from stopping cleanly.
    PushClient push(service.port(), "/app/" + alice.pusherKey);
    ASSERT_TRUE(push.next());
    push.send({{"event", "pusher:subscribe"}, {"data", {{"channel", "user-" + alice.userId}}}});
    ASSERT_TRUE(push.next());
    EXPECT_EQ(service.stop(), 0) << "SIGTERM stops the service cleanly, without leaks";
    service.restart();
    HttpClient again(service.port());

    auto user = again.get(alice.with("/user"));
    ASSERT_EQ(user.status, 200u) << "the session survives the restart";
    EXPECT_EQ(user.json()["access_key"], "AK==");
    EXPECT_EQ(again.get(alice.with("/user/recovery_keys/42")).json()["key"], "wrapped");
    EXPECT_EQ(again.get(alice.with("/user/reset_key")).json()["key"], reset);
    auto shares = again.get(alice.with("/shares")).json();
    ASSERT_EQ(shares.size(), 1u);
    EXPECT_EQ(shares[0]["id"], share.json()["id"]);
    EXPECT_TRUE(signIn(again, "bob@example.org", "pw-b"));
}

}  // namespace
}  // namespace tolvarin::service::testing
