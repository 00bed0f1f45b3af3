#pragma once

#include <cstdint>

#include "vksoc/codec/value_form.h"

// The conversions of value_form.h by encoding, for the codec's own loops:
// the field-level functions there and the assembler and disassembler call
// these with the encodings already looked up.

// How a value form is bounded when it becomes wire bytes.
struct ValueBounds {
    bool fixed;        // a fixed field: written whole, `maxLen` units
    int32_t maxLen;    // MAX_LEN in the field's units
    int32_t capacity;  // the most the length prefix carries (variable fields)
    // Whether a variable value above MAX_LEN is refused. The assembler sends
    // it (a received value is answered as it came, as on the plain link);
    // what a person types is refused.
    bool variableMaxLen;
    // Whether a fixed value form ends at a NUL byte (the dialog's text
    // areas); the identifier does not.
    bool cutAtNul;
};

// WireToValueForm for one encoding (inline in value_decode.h).
inline ValueFormResult DecodeValue(ValueEncoding encoding, CodePage page, const unsigned char* wire,
                                   int32_t units, unsigned char* out, int32_t room);

// ValueFormToWire for one encoding; `out` null checks without writing.
ValueFormResult EncodeValue(ValueEncoding encoding, CodePage page, ValueBounds bounds,
                            const unsigned char* value, int32_t length, unsigned char* out,
                            int32_t room);

// How many bytes the first `chars` characters of a UTF-8 value form take
// (all of it when it has fewer), read as EncodeValue reads EBCDIC text.
int32_t TextPrefixBytes(const unsigned char* value, int32_t length, int32_t chars);

// A bitmap of 8 bytes as 16 upper-case hexadecimal characters, in ASCII or
// (ebcdic) in EBCDIC.
void WriteHexBitmap(const unsigned char* bitmap, bool ebcdic, unsigned char* out);
// The 16 hexadecimal characters at `text` (either case) as 8 bytes; false
// when one is not a hexadecimal digit.
bool ReadHexBitmap(const unsigned char* text, bool ebcdic, unsigned char* bitmap);
