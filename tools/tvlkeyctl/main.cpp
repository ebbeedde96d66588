// tvlkeyctl OPERATION: runs one key-library function on the JSON object read from standard
// input and writes its outputs as one JSON object to standard output. Secrets never travel on
// the command line. Exit status: 0 success, 1 the function failed, 2 a bad request.
#include "diagnostics_capture.h"
#include "operations.h"
#include "request.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <iterator>
#include <string>

namespace {

constexpr int kFailed = 1;
constexpr int kBadRequest = 2;

// The library's messages, one line each, joined into one reason.
std::string reasonFrom(const std::string& operation, const std::string& diagnostics)
{
    std::string reason = operation + " failed";
    std::string joined;
    for (char c : diagnostics) {
        if (c == '\n')
            c = ';';
        joined += c;
    }
    while (!joined.empty() && (joined.back() == ';' || joined.back() == ' '))
        joined.pop_back();
    if (!joined.empty())
        reason += ": " + joined;
    return reason;
}

int answer(const nlohmann::json& body, int status)
{
    std::cout << body.dump() << std::endl;
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: tvlkeyctl OPERATION < request.json" << std::endl;
        return kBadRequest;
    }
    const std::string operation = argv[1];
    try {
        const std::string input{std::istreambuf_iterator<char>(std::cin),
                                std::istreambuf_iterator<char>()};
        const tvlkeyctl::Request request(nlohmann::json::parse(input));
        tvlkeyctl::Answer outputs;
        std::string diagnostics;
        {
            tvlkeyctl::DiagnosticsCapture capture;
            outputs = tvlkeyctl::runOperation(operation, request);
            diagnostics = capture.text();
        }
        if (!outputs)
            return answer({{"error", reasonFrom(operation, diagnostics)}}, kFailed);
        return answer(*outputs, 0);
    } catch (const nlohmann::json::exception& error) {
        std::cerr << "tvlkeyctl: malformed request: " << error.what() << std::endl;
        return answer({{"error", std::string("malformed request: ") + error.what()}}, kBadRequest);
    } catch (const tvlkeyctl::BadRequest& error) {
        std::cerr << "tvlkeyctl: " << error.what() << std::endl;
        return answer({{"error", error.what()}}, kBadRequest);
    } catch (const std::exception& error) {
        std::cerr << "tvlkeyctl: " << error.what() << std::endl;
        return answer({{"error", error.what()}}, kFailed);
    }
}
