#pragma once

#include <string>

#include "diag/message_fields.h"

// What `velkctl make` and `send` refuse to write: a value that breaks its
// field's declared FIELD_TYPE, or is longer than its MAX_LEN (a fixed field's
// value is padded or cut by the assembler, so only a variable one can be too
// long; a fixed one must not be longer either). Messages of ISO 8583
// controllers only; the ZTR host has no such declarations.

// True when every present element 2 to 128 keeps to its field; otherwise
// tells each one that does not on standard error ("velkctl: field 2 ...")
// and returns false, unless force (then it tells them as warnings and
// returns true).
bool FieldsConform(const std::string& controller, const MessageFields& fields, bool force);
