#pragma once

#include <cstdint>

namespace tvlkey {

// How many password keys (the costly 20000-round derivation) this process has derived; lets
// callers observe that the packing-key cache spares them.
std::uint64_t passwordKeyDerivations();
void countPasswordKeyDerivation();

}  // namespace tvlkey
