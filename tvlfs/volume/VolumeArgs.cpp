#include "VolumeArgs.h"

#include <openssl/crypto.h>

VolumeArgs::VolumeArgs() = default;

VolumeArgs::~VolumeArgs() {
    fuse_opt_free_args(&fuseArgs);
    OPENSSL_cleanse(userKey.data(), userKey.size());
}

std::string VolumeArgs::toString() const {
    std::string text = isDaemon ? "(daemon) " : "(fg) ";
    text += isThreaded ? "(threaded) " : "(UP) ";
    if (idleTimeout > 0) text += "(timeout " + std::to_string(idleTimeout) + ") ";
    if (opts) {
        if (opts->keyCheck) text += "(keyCheck) ";
        if (opts->forceDecode) text += "(forceDecode) ";
        if (opts->ownerCreate) text += "(ownerCreate) ";
        if (opts->useStdin) text += "(useStdin) ";
        if (opts->reverseEncryption) text += "(reverseEncryption) ";
        if (opts->mountOnDemand) text += "(mountOnDemand) ";
    }
    for (int i = 0; i < fuseArgc; ++i) {
        text += fuseArgv[i] ? fuseArgv[i] : "";
        text += ' ';
    }
    return text;
}
