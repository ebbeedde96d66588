#pragma once

#include <string>

#include "CipherKey.h"

// The transport text of a share key: base64 of the key encoded under a key derived from
// its id. Empty on failure.
std::string encodeShareKey(const CipherKey& key, const std::string& shareKeyId);

// The transport text of the share key a volume derives from this base64 share key.
std::string shareKeyTransportText(const std::string& shareKeyBase64, const std::string& shareKeyId);
