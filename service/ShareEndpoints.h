#pragma once

#include "ApiRouter.h"
#include "PushHub.h"
#include "ShareStore.h"

namespace tolvarin::service {

// Share requests, listing, reading and the sharer's approval, each change announced to the
// other party on its push channel.
class ShareEndpoints {
public:
    ShareEndpoints(ShareStore& shares, PushHub& pushHub) : shares_(shares), pushHub_(pushHub) {}

    void addRoutes(ApiRouter& router);

private:
    ApiResponse requestShare(const ApiRequest& request);
    ApiResponse updateShare(const ApiRequest& request, const std::string& shareId);

    ShareStore& shares_;
    PushHub& pushHub_;
};

}  // namespace tolvarin::service
