/* The user key blob: RSA key pair, kek and share key, held as an XML document. */
#ifndef TVL_KEY_BLOB_H
#define TVL_KEY_BLOB_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct key_blob {
    char *private_key; /* PEM, unencrypted PKCS#8 */
    char *public_key;  /* PEM, the self-signed X.509 certificate */
    char *kek;         /* Base64 of 48 key bytes */
    char *shek_id;     /* UUID text */
    char *shek;        /* Base64 of 48 key bytes */
} key_blob;

key_blob *new_key_blob(void);
void free_key_blob(key_blob *blob);
/* Returns the length of the new XML text in *out, or -1. */
int write_key_blob(const key_blob *blob, char **out);
/* Returns 0 and a new record in *out, or -1 when the text is not a key blob. */
int read_key_blob(const char *text, key_blob **out);
/* Returns 36 and a new random UUID text in *out, or -1. */
int get_uuid(char **out);

#ifdef __cplusplus
}
#endif

#endif
