/* Base16 text: upper-case digits, two per byte, high nibble first. */
#ifndef TVL_B16_H
#define TVL_B16_H

#ifdef __cplusplus
extern "C" {
#endif

/* capacity 0 allocates 2n + 1 bytes into *out; otherwise *out must hold 2n + 1 bytes.
 * Returns 2n, or -1. */
int base16_encode(const unsigned char *bytes, int count, char **out, int capacity);

/* Decodes up to the first NUL or white space. Returns length / 2, or -1 for an odd length,
 * a short output area or a character that is not a hex digit. */
int base16_decode(const char *text, int length, unsigned char *out, int capacity);

#ifdef __cplusplus
}
#endif

#endif
