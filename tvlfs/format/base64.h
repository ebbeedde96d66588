#pragma once

// Standard Base64 (RFC 4648, padded, no line breaks) into newly malloc'ed buffers the caller frees.
// base64_encode returns the text length plus one (0 when out of memory);
// base64_decode returns the number of decoded bytes (<= 0 on failure).
int base64_encode(const unsigned char* data, int length, char** out);
int base64_decode(const char* text, int length, unsigned char** out);

// Regroups a stream of srcBits-bit digits (one per byte, lowest bits first) into dstBits-bit digits.
void changeBase2(const unsigned char* src, int srcLength, int srcBits,
                 unsigned char* dst, int dstLength, int dstBits);
void changeBase2Inline(unsigned char* buffer, int length, int srcBits, int dstBits,
                       bool keepPartial);

// The file-name alphabet: 0 -> ',', 1 -> '-', 2..11 -> '0'..'9', 12..37 -> 'A'..'Z', 38..63 -> 'a'..'z'.
void B64ToAscii(unsigned char* buffer, int length);
void AsciiToB64(unsigned char* buffer, int length);
