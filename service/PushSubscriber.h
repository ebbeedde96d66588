#pragma once

#include <string>

namespace tolvarin::service {

// Something that forwards push frames to one connected client.
class PushSubscriber {
public:
    virtual ~PushSubscriber() = default;
    // Called from any thread; must not block.
    virtual void deliver(std::string frame) = 0;
};

}  // namespace tolvarin::service
