// Routes the engine's log channels to the system log.
#include <rlog/RLogChannel.h>
#include <rlog/SyslogNode.h>
#include <rlog/rloginit.h>

#include <vector>
#include <mutex>

#include "Assert.h"
#include "tvlfs.h"

namespace {

std::mutex gLogLock;

rlog::SyslogNode& systemLogNode() {
    static rlog::SyslogNode* node = [] {
        int argc = 0;
        rlog::RLogInit(argc, nullptr);
        return new rlog::SyslogNode("tvlfs");
    }();
    return *node;
}

}  // namespace

extern "C" unsigned tvlfs_log_level(unsigned level) {
    std::lock_guard<std::mutex> lock(gLogLock);
    rlog::SyslogNode& node = systemLogNode();
    node.clear();
    std::vector<const char*> channels;
    switch (level) {
        case 0: channels = {"warning", "error", "info", "debug"}; break;
        case 1: channels = {"warning", "error", "info"}; break;
        case 2: channels = {"warning", "error"}; break;
        case 3: channels = {"error"}; break;
        default: break;
    }
    for (const char* channel : channels) node.subscribeTo(rlog::GetGlobalChannel(channel));
    return level;
}
