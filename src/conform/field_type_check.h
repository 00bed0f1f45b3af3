#pragma once

#include <string_view>

#include "vkstp/link_record.h"

// The ISO 8583 data types a value is checked against, on its value form:
//   n    decimal digits
//   a    letters (A-Z, a-z)
//   an   letters and digits
//   ans  printable characters (blank to tilde)
//   ns   digits and special characters (printable, no letters)
//   as   letters and special characters (printable, no digits)
//   b    any byte
//   z    track data: digits, and '=' or 'D' as the separator
//   xn   'C' (credit) or 'D' (debit), then at least one digit
// An empty value breaks no type (absence is the rules' concern).

namespace conform {

// The position (from 1) of the first character that breaks the type, or 0
// when the value has the type (always for FieldType::Absent and B).
int FirstBreakOfType(FieldType type, std::string_view value);

}  // namespace conform
