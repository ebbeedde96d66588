#pragma once

#include <memory>

#include "CipherKey.h"

// A separately shared holder of a loaded key, so that whoever looked it up keeps a usable
// reference after the key map drops it.
struct KeySlot {
    CipherKey key;
};

using KeySlotHandle = std::shared_ptr<KeySlot>;
