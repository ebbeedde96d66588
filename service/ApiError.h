#pragma once

#include <stdexcept>
#include <string>

namespace tolvarin::service {

// A request that cannot be served, with the HTTP status that says why.
class ApiError : public std::runtime_error {
public:
    ApiError(unsigned status, const std::string& message) : std::runtime_error(message), status_(status) {}
    unsigned status() const { return status_; }

private:
    unsigned status_;
};

}  // namespace tolvarin::service
