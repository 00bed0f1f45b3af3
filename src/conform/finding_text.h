#pragma once

#include <cstddef>
#include <string_view>

#include "conform/findings.h"
#include "vkstp/link_record.h"

// A finding as people read it, one line without a line end:
//   field 2 "4000001234567890123456": 22 characters, longer than MAX_LEN 19
//   field 3 "12A456": not n (character 3)
//   field 41 absent: mandatory in 0200
//   field 60 present: in neither MANDATORY nor OPTIONAL of 0200
// Card data (fields 2, 35, 45) is masked in it when DUMP_MASK_PAN is on;
// a value longer than 40 characters is shown by its first 40 and "...".

namespace conform {

// Writes the text into out (room bytes, NUL-terminated, cut) and returns
// its length. value: the field's value form (unused for the rule kinds);
// type: the field's type (WrongType); mti: the request's (the rule kinds).
size_t FormatFinding(const Finding& finding, std::string_view value, FieldType type,
                     std::string_view mti, char* out, size_t room);

// The value as findings and reports show it: masked card data when
// DUMP_MASK_PAN is on, cut to `most` characters with "..." after, bytes
// outside printable ASCII and the backslash as \xhh (as velkctl show prints
// them). room: 4 * most + 4 holds any value. NUL-terminated; returns the
// length.
size_t ShownValue(int field, std::string_view value, bool mask, size_t most, char* out,
                  size_t room);

}  // namespace conform
