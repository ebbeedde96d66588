#pragma once

#include <memory>

class FSConfig;
class VolumeContext;

// The one mounted volume of the process, reachable by the C entry points.
std::shared_ptr<VolumeContext> currentVolume();
void setCurrentVolume(std::shared_ptr<VolumeContext> ctx);

// The mounted volume's configuration, logging why when there is none.
std::shared_ptr<FSConfig> currentFSConfig();
