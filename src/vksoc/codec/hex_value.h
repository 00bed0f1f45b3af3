#pragma once

#include <cstdint>

// Bytes as people read and type them: two upper-case hexadecimal characters
// a byte (either case when read).

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// Writes 2 * length characters at out (no NUL) and returns their count.
int32_t BytesToHex(const unsigned char* bytes, int32_t length, char* out);

// Reads `length` characters into length / 2 bytes at out and returns their
// count; -1 for an odd count or a character that is not hexadecimal (out is
// then unspecified).
int32_t HexToBytes(const char* text, int32_t length, unsigned char* out);
