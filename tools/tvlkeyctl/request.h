#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

namespace tvlkeyctl {

// The request is not what the operation needs: malformed, or a member missing or mistyped.
class BadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One JSON object read from standard input; members are the operation's inputs.
class Request {
public:
    explicit Request(nlohmann::json body);

    std::string text(const char* member) const;
    int integer(const char* member) const;

private:
    const nlohmann::json& member(const char* name) const;

    nlohmann::json body_;
};

}  // namespace tvlkeyctl
