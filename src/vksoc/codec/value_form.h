#pragma once

#include <cstdint>

#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// One field's wire form (its bytes on the link, without the length prefix)
// and its value form (what a person and a script see and type):
//   ASCII   the same bytes
//   EBCDIC  the text, as UTF-8, in the controller's CODE_PAGE
//   BCD, BCD_RIGHT, BCD_F  the digits; the track-data separator (nibble D)
//           is `=` (`D` and `d` are taken for it too)
//   BINARY  upper-case hexadecimal, two characters a byte (lower case taken)
// `link` null means the plain link: every field ASCII with an ASCII prefix.
// Every function writes only into the caller's buffer, never allocates and
// never reads the value past `length`.
//
// The units MAX_LEN and the length prefix count are characters for ASCII
// and EBCDIC, digits for the BCD forms, bytes for BINARY.
//
// EBCDIC value forms: a character is one code point up to U+00FF; a byte
// that does not begin a well-formed UTF-8 sequence is taken as the code
// point of its value (so Latin-1 text is taken too). What is written is
// always UTF-8, at most 2 bytes a character.

enum class ValueFormRefusal : uint8_t {
    None,
    NotDigit,         // a BCD value form holds a character other than 0-9, =, D; detail: it
    NotBcdNibble,     // received BCD holds a nibble A-F other than D; detail: the nibble
    PadNibble,        // received BCD of an odd count has a pad other than 0 (F for BCD_F)
    OddHexCount,      // a BINARY value form of an odd number of characters; detail: the count
    NotHex,           // a BINARY value form holds a character other than 0-9, A-F; detail: it
    NotInCodePage,    // a character with no place in the code page; detail: its code point
    AboveMaxLen,      // detail: the length in the field's units
    AbovePrefix,      // more than the length prefix can carry; detail: the length
    FixedIncomplete,  // a fixed BINARY value form short of MAX_LEN bytes; detail: bytes given
    NoRoom,           // the caller's buffer is too small; detail: the bytes it would need
};

struct ValueFormResult {
    ValueFormRefusal refusal;  // None: converted
    int32_t length;            // bytes written (None only)
    // What the length prefix of the wire form counts (None only): characters,
    // digits or bytes; for a fixed field MAX_LEN.
    int32_t units;
    int32_t at;       // offset in the input of the refused character or byte, else -1
    uint32_t detail;  // as the refusal says
};

// The field's encodings as the link record gives them (ASCII for a null link).
ValueEncoding ValueEncodingOf(const LinkRecord* link, int fieldNo);
LengthEncoding LengthEncodingOf(const LinkRecord* link, int fieldNo);
CodePage CodePageOf(const LinkRecord* link);

// Whether the field's value form is its wire form (an ASCII value): such a
// field is shown and taken as its bytes, with no conversion.
bool ValueFormIsWireForm(const LinkRecord* link, int fieldNo);

// How many characters a person may type for the field: MAX_LEN, or 2 x
// MAX_LEN for BINARY (the box's input limit).
int32_t ValueFormLimit(const LinkRecord* link, int fieldNo, const FieldSpec& spec);
// How many bytes its value form may take: MAX_LEN for ASCII and BCD, 2 x
// MAX_LEN for EBCDIC (UTF-8) and BINARY. A buffer this large holds any value
// form WireToValueForm writes for the field.
int32_t ValueFormRoom(const LinkRecord* link, int fieldNo, const FieldSpec& spec);
// The bytes a value of `units` takes on the wire: units / 2 rounded up for
// BCD, else `units`.
inline int32_t WireBytesOfUnits(ValueEncoding encoding, int32_t units) {
    const bool packed = encoding == ValueEncoding::Bcd || encoding == ValueEncoding::BcdRight ||
                        encoding == ValueEncoding::BcdF;
    return packed ? units / 2 + (units & 1) : units;  // no overflow at the 32-bit limit
}
// The longest length the field's prefix can carry (0 for a fixed field):
// 10^LENGTH_BYTES - 1 in ASCII or EBCDIC, 99 or 9999 in BCD, 255 or 65535 in
// BINARY.
int32_t LengthPrefixCapacityOf(const LinkRecord* link, int fieldNo, const FieldSpec& spec);

// The value form of a received value: `units` (the prefix's value, MAX_LEN
// for a fixed field) from WireBytesOfUnits bytes at `wire`, written at `out`
// (`room` bytes). Refusals: NotBcdNibble, PadNibble, NoRoom.
ValueFormResult WireToValueForm(const LinkRecord* link, int fieldNo, const unsigned char* wire,
                                int32_t units, unsigned char* out, int32_t room);

// The wire form of a value form of `length` bytes, written at `out` (`room`
// bytes); `units` is what its length prefix must say. A fixed field is
// written whole: its value form is cut at a NUL byte, then ASCII is cut at
// MAX_LEN and blank-padded (as the plain link always did), EBCDIC is
// padded with the EBCDIC blank, BCD with leading zeros; a fixed BINARY value
// form must give all MAX_LEN bytes. Refusals: NotDigit, OddHexCount, NotHex,
// NotInCodePage, AboveMaxLen (not for a fixed ASCII value, which is cut),
// AbovePrefix, FixedIncomplete, NoRoom.
ValueFormResult ValueFormToWire(const LinkRecord* link, int fieldNo, const FieldSpec& spec,
                                const unsigned char* value, int32_t length, unsigned char* out,
                                int32_t room);

// ValueFormToWire's verdict without writing anything (out of room never).
ValueFormResult CheckValueForm(const LinkRecord* link, int fieldNo, const FieldSpec& spec,
                               const unsigned char* value, int32_t length);

// The reason of a refusal as a line fragment without a newline, e.g.
// "non-digit 'A' in a BCD value", "character U+20AC has no place in code
// page 037", "length 300 above what a BINARY length prefix carries (255)".
// Writes at most `room` bytes, NUL-terminated; returns `text`.
const char* DescribeValueFormRefusal(const ValueFormResult& result, const LinkRecord* link,
                                     int fieldNo, const FieldSpec& spec, char* text, int room);
