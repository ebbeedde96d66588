#include "password_key_derivations.h"

#include <atomic>

namespace tvlkey {
namespace {
std::atomic<std::uint64_t> derivations{0};
}

std::uint64_t passwordKeyDerivations() { return derivations.load(); }

void countPasswordKeyDerivation() { derivations.fetch_add(1); }

}  // namespace tvlkey
