#ifndef TVLFS_H
#define TVLFS_H

/* The volume engine's C entry points: mounting, direct file access, share keys and
 * plaintext migration. Texts are NUL-terminated UTF-8; texts returned through pointer
 * arguments are newly allocated and freed by the caller with free(). */

#include <stdbool.h>

#ifdef __cplusplus
#include "FSConfig.h"
typedef FSConfig::KeyMap tvlfs_key_map;
extern "C" {
#else
typedef struct tvlfs_key_map tvlfs_key_map;
#endif

/* User-visible events of the volume; must outlive the mount. */
typedef struct tvlfs_cb {
    void (*notify)(const char *title, const char *text);
} tvlfs_cb;

/* 0 when mounted and served on the engine's own thread, 1 on any failure. */
int tvlfs_mount(const char *iconPath, const char *volumeName, const char *rootDir,
                const char *mountPoint, const char *userKey, const char *volumeOwner,
                const char *ownerId, const char *shareKey, const char *shareKeyId,
                char **volumeOwnerOut, tvlfs_cb *callbacks);
/* As tvlfs_mount, with share keys (by id) to preload; keyMap may be NULL. */
int tvlfs_mount_with_deks(const char *iconPath, const char *volumeName, const char *rootDir,
                          const char *mountPoint, const char *userKey, const char *volumeOwner,
                          const char *ownerId, const char *shareKey, const char *shareKeyId,
                          char **volumeOwnerOut, tvlfs_cb *callbacks,
                          const tvlfs_key_map *keyMap);
/* Set to 1 before the application itself unmounts, so the volume is not mounted again. */
void tvlfs_allow_unmount(int value);
/* Releases the mounted volume; join waits for the engine's thread to end. */
void tvlfs_cleanup(int join);
/* 0 debug, 1 info, 2 warning, 3 error to the system log; any other value silences it. */
unsigned tvlfs_log_level(unsigned level);

int tvlfs_get_file_info(const char *path, bool *isEncrypted, unsigned *version, char **userId,
                        char **shekId);
int tvlfs_is_decipherable_file(const char *path, bool *decipherable);

int tvlfs_get_shek(char **shekId, char **shek);
int tvlfs_load_shek(const char *shekId, const char *shek);
int tvlfs_remove_shek(const char *shekId);
int tvlfs_remove_all_sheks(void);
bool tvlfs_is_dek_loaded(const char *keyId);

bool tvlfs_do_plaintext_fixup(const char *path);
bool tvlfs_migrate_file(const char *path);

#ifdef __cplusplus
}
#endif

#endif
