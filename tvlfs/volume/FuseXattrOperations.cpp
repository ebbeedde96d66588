// Extended-attribute handlers, on the stored entry itself (links are not followed).
#include <sys/xattr.h>

#include <cstring>

#include "FuseOperations.h"
#include "FuseSupport.h"

int vol_setxattr(const char* path, const char* name, const char* value, size_t size, int flags) {
    // Quarantine marks would only make the desktop refuse to open the plain files.
    if (strstr(name, "com.apple.quarantine") != nullptr) return 0;
    return withCipherPath("setxattr", path, [&](const std::string& cyName) {
        return lsetxattr(cyName.c_str(), name, value, size, flags);
    });
}

int vol_getxattr(const char* path, const char* name, char* value, size_t size) {
    return withCipherPath("getxattr", path, [&](const std::string& cyName) {
        return static_cast<int>(lgetxattr(cyName.c_str(), name, value, size));
    }, true);
}

int vol_listxattr(const char* path, char* list, size_t size) {
    return withCipherPath("listxattr", path, [&](const std::string& cyName) {
        return static_cast<int>(llistxattr(cyName.c_str(), list, size));
    }, true);
}

int vol_removexattr(const char* path, const char* name) {
    return withCipherPath("removexattr", path, [&](const std::string& cyName) {
        return lremovexattr(cyName.c_str(), name);
    });
}
