/* AES-256 key objects of the key library: making, wrapping, stream and block coding, MACs,
 * buffer encryption to text, digests and random bytes. Any thread may use any key. */
#ifndef TVL_AES_H
#define TVL_AES_H

#include <openssl/evp.h>
#include <pthread.h>
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct aes_key {
    pthread_mutex_t lock;  /* serialises every use of the contexts below */
    uint32_t keySize;      /* 32 for every key the library makes */
    uint32_t ivLength;     /* 16 for every key the library makes */
    unsigned char *buffer; /* keySize key bytes followed by ivLength IV bytes */
    EVP_CIPHER_CTX *block_enc;
    EVP_CIPHER_CTX *block_dec;
    EVP_CIPHER_CTX *stream_enc;
    EVP_CIPHER_CTX *stream_dec;
    EVP_MAC_CTX *mac_ctx; /* HMAC-SHA1 keyed with the first keySize bytes of buffer */
} aes_key;

aes_key *allocateNewKey(int keySize, int ivLength);
/* Returns 0, or -1 when a context cannot be prepared. */
int initKey(aes_key *key, const EVP_CIPHER *blockCipher, const EVP_CIPHER *streamCipher,
            int keyLength);
void freeKey(aes_key *key);
void destroyKey(aes_key *key);

aes_key *newRandomKey(void);
aes_key *newKey(const unsigned char *password, int length);
/* Reads exactly 20 salt bytes. */
aes_key *newKeyWithSalt(const unsigned char *password, int length, const unsigned char *salt);

/* encoded holds 52 bytes: a big-endian MAC_32 checksum, then the 48 key bytes stream-coded
 * under the wrapping key. */
aes_key *readKey(const unsigned char *encoded, aes_key *wrappingKey, int checkKey);
int writeKey(aes_key *key, unsigned char *encoded, aes_key *wrappingKey);
aes_key *copyKey(aes_key *key);
int compareKey(const aes_key *a, const aes_key *b);

unsigned char *getKeyData(const aes_key *key);
unsigned char *getIVData(const aes_key *key);
int keySize(const aes_key *key);
int encodedKeySize(void);
int cipherBlockSize(const aes_key *key);

bool streamEncode(unsigned char *buffer, int size, uint64_t seed, aes_key *key);
bool streamDecode(unsigned char *buffer, int size, uint64_t seed, aes_key *key);
bool blockEncode(unsigned char *buffer, int size, uint64_t seed, aes_key *key);
bool blockDecode(unsigned char *buffer, int size, uint64_t seed, aes_key *key);
/* Expects the key's lock to be held. */
int setIVec(unsigned char *ivec, uint64_t seed, aes_key *key);

uint64_t MAC_64(const unsigned char *data, int length, aes_key *key, uint64_t *chainedIV);
uint32_t MAC_32(const unsigned char *data, int length, aes_key *key, uint64_t *chainedIV);
uint16_t MAC_16(const unsigned char *data, int length, aes_key *key, uint64_t *chainedIV);

/* Stream-codes a copy of the bytes and writes it as Base16 (base16 != 0) or Base64 text. */
int encrypt_buffer(const unsigned char *bytes, int length, aes_key *key, int base16, char **out);
/* Reverses encrypt_buffer; in Base64 mode the output is zero beyond the decoded bytes. */
int decrypt_buffer(const char *text, int length, aes_key *key, int base16, unsigned char **out);

int aes_init(const unsigned char *material, int length, const unsigned char *salt,
             EVP_CIPHER_CTX *encryptContext, EVP_CIPHER_CTX *decryptContext);
unsigned char *aes_encrypt(EVP_CIPHER_CTX *context, const unsigned char *input, int *length);
unsigned char *aes_decrypt(EVP_CIPHER_CTX *context, const unsigned char *input, int *length);

int sha256_hex(const char *text, char *out);
int sha256(const char *text, unsigned char *out, int outLength);
bool randomize(unsigned char *buffer, int length);

#ifdef __cplusplus
}
#endif

#endif
