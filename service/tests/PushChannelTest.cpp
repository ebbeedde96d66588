#include "TwoUsersTest.h"

#include <gtest/gtest.h>

namespace tolvarin::service::testing {
namespace {

using PushChannelTest = TwoUsersTest;

TEST_F(PushChannelTest, ConnectionPingAndOwnChannelOnly)
{
    PushClient push(service.port(), "/app/" + alice.pusherKey + "?protocol=7");
    auto established = push.next();
    ASSERT_TRUE(established);
    EXPECT_EQ((*established)["event"], "pusher:connection_established");
    EXPECT_FALSE((*established)["data"]["socket_id"].get<std::string>().empty());
    EXPECT_EQ((*established)["data"]["activity_timeout"], 120);

    push.send({{"event", "pusher:ping"}, {"data", nlohmann::json::object()}});
    auto pong = push.next();
    ASSERT_TRUE(pong);
    EXPECT_EQ((*pong)["event"], "pusher:pong");

    // Another user's channel is refused; the connection stays usable.
    push.send({{"event", "pusher:subscribe"}, {"data", {{"channel", "user-" + bob.userId}}}});
    auto refused = push.next();
    ASSERT_TRUE(refused);
    EXPECT_EQ((*refused)["event"], "pusher:error");
    EXPECT_EQ((*refused)["data"]["code"], 4009);

    // Data encoded as a text, as some clients send it, works too.
    push.send({{"event", "pusher:subscribe"}, {"data", nlohmann::json({{"channel", "user-" + alice.userId}}).dump()}});
    auto subscribed = push.next();
    ASSERT_TRUE(subscribed);
    EXPECT_EQ((*subscribed)["event"], "pusher_internal:subscription_succeeded");
    EXPECT_EQ((*subscribed)["channel"], "user-" + alice.userId);

    push.send({{"event", "client-hello"}, {"channel", "user-" + alice.userId}, {"data", "{}"}});
    auto clientEvent = push.next();
    ASSERT_TRUE(clientEvent);
    EXPECT_EQ((*clientEvent)["event"], "pusher:error");
}

TEST_F(PushChannelTest, UnknownKeyOrProtocolIsClosed)
{
    const std::pair<std::string, int> cases[] = {
        {"/app/not-a-key?protocol=7", 4001},
        {"/app/" + alice.pusherKey + "?protocol=3", 4007},
    };
    for (const auto& [target, code] : cases) {
        PushClient push(service.port(), target);
        auto error = push.next();
        ASSERT_TRUE(error) << target;
        EXPECT_EQ((*error)["event"], "pusher:error");
        EXPECT_EQ((*error)["data"]["code"], code);
        EXPECT_FALSE(push.next()) << "the service closes the connection";
        EXPECT_EQ(push.closeCode(), code);
    }
}

}  // namespace
}  // namespace tolvarin::service::testing
