#pragma once

#include "PushSubscriber.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tolvarin::service {

// Who listens on which user channel, and the publishing of share events to them.
class PushHub {
public:
    static constexpr std::string_view eventName = "tolvarin";

    static std::string channelFor(std::int64_t userId);

    void subscribe(const std::string& channel, const std::shared_ptr<PushSubscriber>& subscriber);
    void unsubscribe(const std::string& channel, const PushSubscriber* subscriber);
    // Sends {"message_type": type, "share_id": id} to every subscriber of the user's channel.
    void publish(std::int64_t userId, std::string_view messageType, std::int64_t shareId);

private:
    std::mutex mutex_;
    std::map<std::string, std::vector<std::weak_ptr<PushSubscriber>>> channels_;
};

}  // namespace tolvarin::service
