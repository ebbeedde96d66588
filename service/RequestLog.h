#pragma once

#include <mutex>
#include <string_view>

namespace tolvarin::service {

// One line per request on standard error. Never given query strings or bodies, which carry
// tokens and keys.
class RequestLog {
public:
    void request(std::string_view peer, std::string_view method, std::string_view path, unsigned status, double milliseconds);
    void note(std::string_view message);

private:
    std::mutex mutex_;
};

}  // namespace tolvarin::service
