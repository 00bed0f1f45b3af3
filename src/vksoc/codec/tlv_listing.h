#pragma once

#include <cstdint>

// Chip data for people to read, wherever fields are shown: one line per
// data object, indented two blanks a level under the field's own line,
// named by the field's number and the object's path (tlv_path.h) as a
// script addresses it, with its EMV name where it has one and its value
// form (hexadecimal):
//   "  55.9F02 Amount, Authorised: 000000012345"
//   "  55.77 Response Message Template Format 2"   (constructed: its children follow)
//   "    55.77.9F27 Cryptogram Information Data: 80"
//   "  55.DF01: 0102"                              (a tag without a name)
//   "  55 padding: 0000"
// A malformed field ends with its finding and the undecoded rest:
//   "  55 malformed at byte 12: length past the field's end"
//   "  55 raw from byte 10: 9F0206000000"
// With `mask`, card data objects are masked (tlv_card_mask.h) and the raw
// rest, which may hold card data nobody can find, is not shown.

// Receives one line, NUL-terminated, without a line end.
using TlvLineSink = void (*)(void* context, const char* line);

// Decodes the `length` bytes of field `fieldNo` and passes its lines to
// sink. Nothing is allocated; a field of no bytes has no lines.
void ListTlvObjects(int fieldNo, const unsigned char* bytes, int32_t length, bool mask,
                    TlvLineSink sink, void* context);
