#include "FuseOperations.h"

#include "VolumeContext.h"

fuse_operations volumeOperations() {
    fuse_operations ops{};
    ops.getattr = vol_getattr;
    ops.readlink = vol_readlink;
    ops.mknod = vol_mknod;
    ops.mkdir = vol_mkdir;
    ops.unlink = vol_unlink;
    ops.rmdir = vol_rmdir;
    ops.symlink = vol_symlink;
    ops.rename = vol_rename;
    ops.link = vol_link;
    ops.chmod = vol_chmod;
    ops.chown = vol_chown;
    ops.truncate = vol_truncate;
    ops.open = vol_open;
    ops.read = vol_read;
    ops.write = vol_write;
    ops.statfs = vol_statfs;
    ops.flush = vol_flush;
    ops.release = vol_release;
    ops.fsync = vol_fsync;
    ops.setxattr = vol_setxattr;
    ops.getxattr = vol_getxattr;
    ops.listxattr = vol_listxattr;
    ops.removexattr = vol_removexattr;
    ops.readdir = vol_readdir;
    ops.init = vol_init;
    ops.destroy = vol_destroy;
    ops.utimens = vol_utimens;
    return ops;
}

void* vol_init(fuse_conn_info* conn, fuse_config* cfg) {
    conn->want |= FUSE_CAP_ASYNC_READ;
    cfg->use_ino = 1;
    cfg->direct_io = 1;
    // A blocked process and everyone else see different sizes and bytes of one file, so
    // the kernel may cache neither data nor attributes.
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    auto* ctx = static_cast<VolumeContext*>(fuse_get_context()->private_data);
    ctx->mount.running = true;
    return ctx;
}

void vol_destroy(void* privateData) {
    static_cast<VolumeContext*>(privateData)->mount.running = false;
}
