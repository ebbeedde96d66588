#include "PushHub.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tolvarin::service {

std::string PushHub::channelFor(std::int64_t userId)
{
    return "user-" + std::to_string(userId);
}

void PushHub::subscribe(const std::string& channel, const std::shared_ptr<PushSubscriber>& subscriber)
{
    std::lock_guard lock(mutex_);
    auto& subscribers = channels_[channel];
    std::erase_if(subscribers, [&](const auto& weak) {
        auto live = weak.lock();
        return !live || live == subscriber;
    });
    subscribers.push_back(subscriber);
}

void PushHub::unsubscribe(const std::string& channel, const PushSubscriber* subscriber)
{
    std::lock_guard lock(mutex_);
    auto found = channels_.find(channel);
    if (found == channels_.end())
        return;
    std::erase_if(found->second, [&](const auto& weak) {
        auto live = weak.lock();
        return !live || live.get() == subscriber;
    });
    if (found->second.empty())
        channels_.erase(found);
}

void PushHub::publish(std::int64_t userId, std::string_view messageType, std::int64_t shareId)
{
    std::string channel = channelFor(userId);
    nlohmann::json data = {{"message_type", messageType}, {"share_id", std::to_string(shareId)}};
    std::string frame = nlohmann::json{{"event", eventName}, {"channel", channel}, {"data", data.dump()}}.dump();

    std::vector<std::shared_ptr<PushSubscriber>> receivers;
    {
        std::lock_guard lock(mutex_);
        auto found = channels_.find(channel);
        if (found == channels_.end())
            return;
        for (const auto& weak : found->second) {
            if (auto live = weak.lock())
                receivers.push_back(std::move(live));
        }
    }
    for (const auto& receiver : receivers)
        receiver->deliver(frame);
}

}  // namespace tolvarin::service
