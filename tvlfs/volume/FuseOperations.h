#pragma once

#define FUSE_USE_VERSION 31
#include <fuse.h>

// The handler table the mounted volume hands to libfuse; private data is the VolumeContext.
fuse_operations volumeOperations();

int vol_getattr(const char* path, struct stat* stbuf, fuse_file_info* fi);
int vol_readlink(const char* path, char* buf, size_t size);
int vol_readdir(const char* path, void* buf, fuse_fill_dir_t filler, off_t offset,
                fuse_file_info* fi, fuse_readdir_flags flags);
int vol_mknod(const char* path, mode_t mode, dev_t rdev);
int vol_mkdir(const char* path, mode_t mode);
int vol_unlink(const char* path);
int vol_rmdir(const char* path);
int vol_symlink(const char* target, const char* linkPath);
int vol_rename(const char* from, const char* to, unsigned int flags);
int vol_link(const char* from, const char* to);
int vol_chmod(const char* path, mode_t mode, fuse_file_info* fi);
int vol_chown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi);
int vol_truncate(const char* path, off_t size, fuse_file_info* fi);
int vol_utimens(const char* path, const struct timespec ts[2], fuse_file_info* fi);
int vol_open(const char* path, fuse_file_info* fi);
int vol_read(const char* path, char* buf, size_t size, off_t offset, fuse_file_info* fi);
int vol_write(const char* path, const char* buf, size_t size, off_t offset, fuse_file_info* fi);
int vol_statfs(const char* path, struct statvfs* st);
int vol_flush(const char* path, fuse_file_info* fi);
int vol_release(const char* path, fuse_file_info* fi);
int vol_fsync(const char* path, int datasync, fuse_file_info* fi);
int vol_setxattr(const char* path, const char* name, const char* value, size_t size, int flags);
int vol_getxattr(const char* path, const char* name, char* value, size_t size);
int vol_listxattr(const char* path, char* list, size_t size);
int vol_removexattr(const char* path, const char* name);
void* vol_init(fuse_conn_info* conn, fuse_config* cfg);
void vol_destroy(void* privateData);
