#pragma once

#include <cstdint>
#include <string>

namespace volume_test {

constexpr std::size_t kHeaderSize = 512;
constexpr const char* kSignature = "141ABEC8043A411086E9E50F46D5D24B";

bool hasSignature(const std::string& stored);
uint32_t headerVersion(const std::string& stored);
std::string randomBytes(std::size_t count);

}  // namespace volume_test
