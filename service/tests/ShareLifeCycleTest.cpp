#include "TwoUsersTest.h"

#include <gtest/gtest.h>

#include <regex>

namespace tolvarin::service::testing {
namespace {

class ShareLifeCycleTest : public TwoUsersTest {
protected:
    void SetUp() override
    {
        TwoUsersTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(service.addUser("carol@example.org", "Carol", "pw-c"), 0);
        carol = *signIn(client, "carol@example.org", "pw-c");
        ASSERT_EQ(client.put("/user", alice.body({{"user", {{"share_key_id", "shek-a"}}}})).status, 200u);
    }

    std::unique_ptr<PushClient> listen(const Session& session)
    {
        auto push = std::make_unique<PushClient>(service.port(), "/app/" + session.pusherKey + "?protocol=7&client=test&version=1");
        auto established = push->next();
        EXPECT_TRUE(established && (*established)["event"] == "pusher:connection_established");
        push->send({{"event", "pusher:subscribe"}, {"data", {{"channel", "user-" + session.userId}}}});
        auto subscribed = push->next();
        EXPECT_TRUE(subscribed && (*subscribed)["event"] == "pusher_internal:subscription_succeeded");
        return push;
    }

    static void expectMessage(PushClient& push, const Session& to, const char* type, const nlohmann::json& shareId)
    {
        auto event = push.next();
        ASSERT_TRUE(event) << "no " << type << " message arrived";
        EXPECT_EQ((*event)["event"], "tolvarin");
        EXPECT_EQ((*event)["channel"], "user-" + to.userId);
        EXPECT_EQ((*event)["data"], nlohmann::json({{"message_type", type}, {"share_id", std::to_string(shareId.get<long long>())}}));
    }

    Session carol;
};

TEST_F(ShareLifeCycleTest, RequestApproveAndBlockBetweenTwoUsers)
{
    auto alicePush = listen(alice);
    auto bobPush = listen(bob);

    // Bob's client meets a file under Alice's share key and asks for it.
    auto requested = client.post("/shares", bob.body({{"key_id", "shek-a"}, {"sharer_id", bob.userId}, {"path", "Team\\Plans"}, {"key_type", "shek"}}));
    ASSERT_EQ(requested.status, 201u) << requested.body;
    auto share = requested.json();
    auto id = share["id"];
    EXPECT_EQ(share["sharer_id"], alice.userId);
    EXPECT_EQ(share["sharee_id"], bob.userId);
    EXPECT_EQ(share["key_id"], "shek-a");
    EXPECT_EQ(share["key_type"], "shek");
    EXPECT_EQ(share["allowed"], false);
    EXPECT_EQ(share["read"], false);
    EXPECT_EQ(share["hidden"], false);
    EXPECT_EQ(share["incoming"], true);
    EXPECT_EQ(share["outgoing"], false);
    EXPECT_EQ(share["rev"], 1);
    EXPECT_TRUE(share["key"].is_null());
    EXPECT_EQ(share["sharer_full_name"], "Alice");
    EXPECT_EQ(share["sharee_full_name"], "Bob");
    EXPECT_EQ(share["localizedPath"], "Team\\Plans");
    EXPECT_TRUE(std::regex_match(share["created_at"].get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));

    expectMessage(*alicePush, alice, "share_request", id);

    // Alice sees the same share from her side.
    auto aliceList = client.get(alice.with("/shares")).json();
    ASSERT_EQ(aliceList.size(), 1u);
    EXPECT_EQ(aliceList[0]["outgoing"], true);
    EXPECT_EQ(aliceList[0]["incoming"], false);
    EXPECT_EQ(client.get(alice.with("/shares/" + id.dump())).json(), aliceList[0]);

    // Only the two parties read it, and only the sharer changes it.
    EXPECT_EQ(client.get(carol.with("/shares/" + id.dump())).status, 404u);
    EXPECT_TRUE(client.get(carol.with("/shares")).json().empty());
    EXPECT_EQ(client.put("/shares/" + id.dump(), bob.body({{"allowed", true}})).status, 403u);
    EXPECT_EQ(client.put("/shares/" + id.dump(), carol.body({{"allowed", true}})).status, 404u);

    // Read, then approve with the key wrapped for Bob.
    auto read = client.put("/shares/" + id.dump(), alice.body({{"read", true}, {"path", "Team\\Plans"}}));
    ASSERT_EQ(read.status, 200u);
    EXPECT_EQ(read.json()["read"], true);
    EXPECT_EQ(read.json()["rev"], 2);
    expectMessage(*bobPush, bob, "share_updated", id);

    ASSERT_EQ(client.put("/shares/" + id.dump(), alice.body({{"key", "wrapped-for-bob"}, {"allowed", true}})).status, 200u);
    expectMessage(*bobPush, bob, "share_updated", id);
    auto delivered = client.get(bob.with("/shares/" + id.dump())).json();
    EXPECT_EQ(delivered["allowed"], true);
    EXPECT_EQ(delivered["key"], "wrapped-for-bob");
    EXPECT_EQ(delivered["rev"], 3);

    // Blocking keeps the key, so a later approval can send it unchanged.
    ASSERT_EQ(client.put("/shares/" + id.dump(), alice.body({{"path", nullptr}, {"allowed", false}})).status, 200u);
    expectMessage(*bobPush, bob, "share_updated", id);
    auto blocked = client.get(bob.with("/shares/" + id.dump())).json();
    EXPECT_EQ(blocked["allowed"], false);
    EXPECT_EQ(blocked["key"], "wrapped-for-bob");
    EXPECT_EQ(blocked["path"], "Team\\Plans") << "a null path leaves the stored one";

    // Asking again for the same key answers the existing share.
    auto again = client.post("/shares", bob.body({{"key_id", "shek-a"}, {"path", "Team\\Plans"}}));
    EXPECT_EQ(again.status, 200u);
    EXPECT_EQ(again.json()["id"], id);
}

TEST_F(ShareLifeCycleTest, RequestsForOwnOrUnknownKeys)
{
    EXPECT_EQ(client.post("/shares", alice.body({{"key_id", "shek-a"}, {"path", "x"}})).status, 422u);

    auto unknown = client.post("/shares", bob.body({{"key_id", "nobody-holds-this"}, {"path", "Old"}}));
    ASSERT_EQ(unknown.status, 201u);
    EXPECT_TRUE(unknown.json()["sharer_id"].is_null());
    EXPECT_TRUE(unknown.json()["localizedPath"].is_null()) << "no owner known, so no localized path";
    EXPECT_EQ(client.put("/shares/" + unknown.json()["id"].dump(), bob.body({{"allowed", true}})).status, 403u);

    // A share key id Alice used before still leads requests to her after she publishes a new one.
    ASSERT_EQ(client.put("/user", alice.body({{"user", {{"share_key_id", "shek-a2"}}}})).status, 200u);
    auto old = client.post("/shares", carol.body({{"key_id", "shek-a"}, {"path", "Archive"}}));
    ASSERT_EQ(old.status, 201u);
    EXPECT_EQ(old.json()["sharer_id"], alice.userId);
}

}  // namespace
}  // namespace tolvarin::service::testing
