#include "password_key_derivations.h"
#include "test_account.h"

#include "tvl_keygen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using tvlkey::passwordKeyDerivations;
using tvlkey::test::generateAccount;
using tvlkey::test::randomKeySalt;
using tvlkey::test::TestAccount;

// The cache is process-wide; every test leaves it disabled.
struct CacheOff {
    ~CacheOff() { disable_cached_keys(); }
};

TEST(PackingKeyCache, RepeatedUnwrapDerivesThePasswordKeyOnce)
{
    const CacheOff cacheOff;
    const TestAccount account = generateAccount("carol-5", "carol pw", randomKeySalt());
    const std::string kek = account.kek();

    enable_cached_keys();
    std::uint64_t before = passwordKeyDerivations();
    EXPECT_EQ(account.kek(), kek);
    EXPECT_EQ(passwordKeyDerivations(), before + 1) << "a miss derives";
    EXPECT_EQ(account.kek(), kek);
    EXPECT_EQ(account.check(account.password), 0);
    EXPECT_EQ(passwordKeyDerivations(), before + 1) << "hits derive nothing";

    testing::internal::CaptureStdout();
    EXPECT_EQ(account.check("not carol's"), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(passwordKeyDerivations(), before + 2) << "another password misses";
    EXPECT_EQ(account.kek(), kek) << "a failed unwrap leaves the entry";
    EXPECT_EQ(passwordKeyDerivations(), before + 2);

    enable_cached_keys();
    before = passwordKeyDerivations();
    EXPECT_EQ(account.kek(), kek);
    EXPECT_EQ(passwordKeyDerivations(), before + 1) << "enabling starts empty";

    disable_cached_keys();
    before = passwordKeyDerivations();
    EXPECT_EQ(account.kek(), kek);
    EXPECT_EQ(account.kek(), kek);
    EXPECT_EQ(passwordKeyDerivations(), before + 2) << "disabled, every unwrap derives";
}

TEST(PackingKeyCache, ConcurrentCallersGetTheirOwnKeys)
{
    const CacheOff cacheOff;
    const TestAccount accounts[] = {generateAccount("dave-1", "dave pw", randomKeySalt()),
                                    generateAccount("erin-2", "erin pw", randomKeySalt())};
    const std::string keks[] = {accounts[0].kek(), accounts[1].kek()};
    ASSERT_NE(keks[0], keks[1]);

    enable_cached_keys();
    std::atomic<int> wrong{0};
    testing::internal::CaptureStdout();
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 6; ++round) {
                const TestAccount& account = accounts[(t + round) % 2];
                const std::string& expected = keks[(t + round) % 2];
                if (account.kek() != expected)
                    ++wrong;
                if ((t + round) % 3 == 0 && account.check("wrong pw") != -1)
                    ++wrong;
                // Sign-in and share loading switch the cache while others use it.
                if (t == 0 && round % 2 == 1)
                    enable_cached_keys();
                if (t == 1 && round == 3)
                    disable_cached_keys();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
