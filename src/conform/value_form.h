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
// (no copy). The codec converts BCD, EBCDIC and BINARY values at its edge,
// so a received slot already holds the value form; room (VALUE_FORM_ROOM
// bytes) is for a conversion made here, should a caller hold wire bytes.
std::string_view RequestValueForm(const LinkRecord& link, int fieldNo, const FieldSlot& slot,
                                  char* room);

// The length MAX_LEN counts for a value form: bytes for BINARY (two
// hexadecimal characters each), characters for EBCDIC (its value form is
// UTF-8), the characters (digits) otherwise.
int CountedLength(const LinkRecord& link, int fieldNo, std::string_view value);

}  // namespace conform
