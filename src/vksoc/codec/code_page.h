#pragma once

#include <cstdint>

#include "vkstp/link_record.h"

// The EBCDIC code pages of CODE_PAGE. Each maps the 256 byte values one to
// one onto the first 256 Unicode code points (ISO 8859-1), so every byte
// received has a character and every character up to U+00FF has a byte;
// characters above U+00FF have no place in any of them. The pages differ in
// a few places only, among them `[` (AD in 1047, BA in 037, 4A in 500).
// Digits, upper-case letters A to F and the blank (40) are the same in all.

inline constexpr unsigned char EBCDIC_BLANK = 0x40;
inline constexpr unsigned char EBCDIC_ZERO = 0xF0;

// Entry b is the code point of EBCDIC byte b.
const uint8_t* EbcdicToLatin1(CodePage page);
// Entry c is the EBCDIC byte of code point c (0 to 255).
const uint8_t* Latin1ToEbcdic(CodePage page);
// "1047", "037" or "500".
const char* CodePageNumber(CodePage page);
