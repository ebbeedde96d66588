#pragma once

#include "ServiceProcess.h"
#include "TestClient.h"

#include <gtest/gtest.h>

namespace tolvarin::service::testing {

// A fresh service with two signed-in accounts, Alice and Bob.
class TwoUsersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(service.addUser("alice@example.org", "Alice", "pw-a"), 0);
        ASSERT_EQ(service.addUser("bob@example.org", "Bob", "pw-b"), 0);
        alice = *signIn(client, "alice@example.org", "pw-a");
        bob = *signIn(client, "bob@example.org", "pw-b");
    }

    ServiceProcess service;
    HttpClient client{service.port()};
    Session alice;
    Session bob;
};

}  // namespace tolvarin::service::testing
