/* Base64 text: the standard alphabet with '=' padding and no line breaks. */
#ifndef TVL_B64_H
#define TVL_B64_H

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates the text and its NUL into *out. Returns the text length + 1, or 0. */
int base64_encode(const unsigned char *bytes, int count, char **out);

/* Allocates a zero-filled area of length + 1 bytes into *out (released by the caller with free)
 * and decodes into it, so decoded text is always NUL-terminated. Returns the number of decoded
 * bytes, 0 when the text is not valid Base64, or -1 when the area cannot be allocated. */
int base64_decode(const char *text, int length, unsigned char **out);

#ifdef __cplusplus
}
#endif

#endif
