#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace tolvarin::service {

// Outstanding sign-in challenges, each good for one answer within a few minutes. They live
// in memory only: a restart merely makes clients ask for a new one.
class ChallengeBook {
public:
    static constexpr std::chrono::seconds lifetime{300};
    static constexpr std::size_t capacity = 10000;

    std::string issue(const std::string& email);
    // True when `challenge` was issued for `email` and is still fresh; either way it is spent.
    bool redeem(const std::string& challenge, const std::string& email);

private:
    struct Entry {
        std::string email;
        std::chrono::steady_clock::time_point issuedAt;
    };

    void dropStale(std::chrono::steady_clock::time_point now);

    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

}  // namespace tolvarin::service
