/* The account key hierarchy: password key -> access key -> packing key -> key blob (RSA key
 * pair, kek, share key), recovery and reset wrappings of the packing key, and share keys wrapped
 * for other users. Inputs are NUL-terminated texts; every output text is newly allocated and
 * released with free. Functions return 0 on success and -1 on failure; outputs are set only on
 * success. */
#ifndef TVL_KEYGEN_H
#define TVL_KEYGEN_H

#ifdef __cplusplus
extern "C" {
#endif

int generate_user_data(const char *user_id, const char *password, const char *key_salt,
                       char **key_blob, char **certificate, char **wrapped_ak, char **wrapped_pk,
                       char **shek_id);

/* 0 when the password opens this account data. */
int check_user_data(const char *password, const char *key_salt, const char *key_blob,
                    const char *wrapped_ak, const char *wrapped_pk);

int get_kek(const char *password, const char *key_salt, const char *key_blob,
            const char *wrapped_ak, const char *wrapped_pk, char **kek);

int get_shek(const char *password, const char *key_salt, const char *key_blob,
             const char *wrapped_ak, const char *wrapped_pk, char **shek_id, char **shek);

/* A new share key in a re-sealed blob; key pair and kek are carried over. */
int update_shek(const char *password, const char *key_salt, const char *key_blob,
                const char *wrapped_ak, const char *wrapped_pk, char **new_key_blob,
                char **new_shek_id);

int wrap_pk_for_recovery(const char *password, const char *key_salt, const char *wrapped_ak,
                         const char *wrapped_pk, const char *recovery_code, char **recovery_key,
                         char **key_id);

int get_recovery_key_id(const char *recovery_code, char **key_id);

/* Writes length - 1 random characters of the recovery alphabet and a NUL into area. */
int gen_random_string(char *area, int length);

int generate_reset_pk(const char *password, const char *key_salt, const char *reset_key,
                      const char *wrapped_ak, const char *wrapped_pk, char **reset_pk);

/* Re-wraps the packing key held in reset_pk under a new access key for this password. */
int reset_user_data(const char *password, const char *key_salt, const char *reset_key,
                    const char *reset_pk, char **wrapped_ak, char **wrapped_pk);

/* RSA PKCS#1 v1.5 of the text and its NUL under the certificate's key, as Base64. */
int wrap_dek(const char *certificate, const char *text, char **wrapped);

int unwrap_dek(const char *password, const char *key_salt, const char *key_blob,
               const char *wrapped_ak, const char *wrapped_pk, const char *wrapped, char **text);

/* While enabled, an unwrapped packing key is kept for the same four inputs, so the password
 * key is derived once. Each enable starts from an empty cache. */
void enable_cached_keys(void);
void disable_cached_keys(void);

#ifdef __cplusplus
}
#endif

#endif
