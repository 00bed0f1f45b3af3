#pragma once

#include <string_view>

#include "diag/message_fields.h"
#include "vkstp/link_record.h"

// Where the checks take a received value's value form: the text a person
// and a script see (BCD as its digits, EBCDIC as text, BINARY as upper-case
// hexadecimal). An ASCII field's value form is its wire bytes.

namespace conform {

// Room for one value's value form (a BINARY value is twice its bytes).
inline constexpr int VALUE_FORM_ROOM = 2 * MAX_MESSAGE_LENGTH;

// The value form of field n's received value: the slot's bytes themselves
// for an ASCII field (no copy), else converted into room (VALUE_FORM_ROOM
// bytes). Until the codec converts the other encodings at its edge, their
// slots already hold what the codec made of them, and that is what is
// checked.
std::string_view RequestValueForm(const LinkRecord& link, int fieldNo, const FieldSlot& slot,
                                  char* room);

// The length MAX_LEN counts for a value form of `length` characters:
// bytes for BINARY (two characters each), the characters otherwise.
int CountedLength(const LinkRecord& link, int fieldNo, int length);

}  // namespace conform
