#include "ChallengeBook.h"

#include "CryptoText.h"

#include <algorithm>
#include <cctype>

namespace tolvarin::service {

namespace {

// E-mail addresses name the same account in any letter case, as the accounts table does.
bool sameEmail(const std::string& left, const std::string& right)
{
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](unsigned char a, unsigned char b) {
        return std::tolower(a) == std::tolower(b);
    });
}

}  // namespace

std::string ChallengeBook::issue(const std::string& email)
{
    std::string challenge = crypto_text::randomHex(32);
    auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    dropStale(now);
    // A flood of requests must not grow memory without bound: the oldest challenge goes first.
    if (entries_.size() >= capacity) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& left, const auto& right) {
            return left.second.issuedAt < right.second.issuedAt;
        });
        entries_.erase(oldest);
    }
    entries_[challenge] = Entry{email, now};
    return challenge;
}

bool ChallengeBook::redeem(const std::string& challenge, const std::string& email)
{
    auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    auto found = entries_.find(challenge);
    if (found == entries_.end())
        return false;
    Entry entry = std::move(found->second);
    entries_.erase(found);
    return now - entry.issuedAt <= lifetime && sameEmail(entry.email, email);
}

void ChallengeBook::dropStale(std::chrono::steady_clock::time_point now)
{
    std::erase_if(entries_, [&](const auto& item) { return now - item.second.issuedAt > lifetime; });
}

}  // namespace tolvarin::service
