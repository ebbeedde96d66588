#pragma once

#include <mutex>

// The engine's plain (non-recursive) mutex and its scoped lock.
using Mutex = std::mutex;
using Lock = std::lock_guard<std::mutex>;
