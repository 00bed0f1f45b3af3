#pragma once

#include <cstdint>

#include "vksoc/codec/tlv.h"

// Card data inside chip data (emv_tags.h: IsEmvCardDataTag), hidden like
// ISO 8583 elements 2 and 35 when DUMP_MASK_PAN is on (diag/card_mask.h).

// Writes the value form (hexadecimal, `length` characters) of one object,
// masked, to out (`length` characters, no NUL): an account number (5A)
// keeps its first 6 and last 4 digits; track data (57, 9F6B) keeps the
// masked number and its separator D, the rest becomes '*'; a name or other
// track data (56, 5F20, 9F1F, 9F20) becomes '*' throughout. Other tags are
// copied unchanged.
void MaskTlvValueText(uint32_t tag, const char* hex, int32_t length, char* out);

// For a dump of the wire bytes: `shown` holds a copy of the decoded field
// (`table` decoded from `field`); every byte of a card data object's value
// whose digits the masking above hides becomes '*' (or '.' where the byte
// was '*'), so that the dump's hexadecimal column spells none of it.
void MaskTlvCardBytes(const TlvTable& table, const unsigned char* field, unsigned char* shown);

// The same over the value form of the whole field: `hex` holds the field's
// `length` bytes in hexadecimal (two characters a byte); the characters of
// each card data object's value are masked in place as MaskTlvValueText
// masks them, and those of a malformed field's raw rest, which may hold card
// data nobody can find, become '*'.
void MaskTlvFieldHex(const TlvTable& table, const unsigned char* field, int32_t length, char* hex);
