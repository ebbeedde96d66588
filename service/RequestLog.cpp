#include "RequestLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>

namespace tolvarin::service {

namespace {

std::string timestamp()
{
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

void RequestLog::request(std::string_view peer, std::string_view method, std::string_view path, unsigned status, double milliseconds)
{
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fms", milliseconds);
    std::string line = timestamp() + " " + std::string(peer) + " " + std::string(method) + " " + std::string(path) + " " +
                       std::to_string(status) + " " + duration + "\n";
    std::lock_guard lock(mutex_);
    std::cerr << line << std::flush;
}

void RequestLog::note(std::string_view message)
{
    std::string line = timestamp() + " " + std::string(message) + "\n";
    std::lock_guard lock(mutex_);
    std::cerr << line << std::flush;
}

}  // namespace tolvarin::service
