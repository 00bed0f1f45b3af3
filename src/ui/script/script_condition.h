#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vksoc/codec/tlv_path.h"

// One condition of an operator script's "on" line, about the edit box of one
// field as the dialog opened.
//
//   *               always
//   N=TEXT          the box holds exactly TEXT
//   N=TEXT*  N=*TEXT  N=*TEXT*   begins with, ends with, contains TEXT
//   N=              the box is empty (the field is absent)
//   N!=...          the negation of the same form (N!= : the field is present)
//   N<NUMBER  N<=NUMBER  N>NUMBER  N>=NUMBER
//                   the box holds decimal digits only and their value compares
//                   so (leading zeros ignored, up to 18 digits); a box of
//                   anything else never matches
//
// N.PATH instead of N names one data object of a chip data field
// (FIELD_FORMAT TLV) by its tags, as in 55.9F27 or 55.77.9F27: the forms
// above then hold for the object's value in hexadecimal (an absent object
// reads as empty), and N.PATH=* holds when the object is present,
// N.PATH!=* when it is not.
//
//   valid           the request has no findings (conform/findings.h: its
//                   controller's types and rules, and the script's expects)
//   invalid         it has at least one
//   invalid=N       one of them is about field N
//
// TEXT with blanks is written in double quotes: "TERM 001", with \" for a
// quote and \\ for a backslash inside. A star outside the quotes, first or
// last, is a wildcard; a star anywhere else is itself.

namespace ui {

struct ScriptCondition {
    enum Kind {
        Always,
        Equals,
        BeginsWith,
        EndsWith,
        Contains,
        Less,
        LessOrEqual,
        Greater,
        GreaterOrEqual,
        Present,  // N.PATH=*
        Valid,
        Invalid,  // field -1: any field
    };
    Kind kind = Always;
    int field = 0;
    bool negate = false;
    std::string text;    // Equals ... Contains (Equals with "" is "N=")
    int64_t number = 0;  // Less ... GreaterOrEqual
    bool hasObject = false;
    TlvPath object{};  // the data object of field N the condition is about
};

// Parses the condition that starts at line[pos] (not a blank); on success pos
// is past it, at a blank or the end. On failure returns false with the
// reason.
bool ParseCondition(const std::string& line, size_t& pos, ScriptCondition& condition,
                    std::string& why);

// Whether the condition holds for a box holding text. A field that has no
// edit box (hasBox false) holds no condition but "*".
bool ConditionHolds(const ScriptCondition& condition, std::string_view text, bool hasBox);

// Whether a condition is about the request's findings (valid, invalid,
// invalid=N) rather than a box.
inline bool IsFindingCondition(const ScriptCondition& condition) {
    return condition.kind == ScriptCondition::Valid || condition.kind == ScriptCondition::Invalid;
}
// Whether a finding condition holds, given whether the request has findings
// at all and whether one is about the condition's field.
bool FindingConditionHolds(const ScriptCondition& condition, bool anyFinding,
                           bool findingAboutField);

// A whole field number: 1 to 3 digits, 0 to 128.
bool ParseFieldNumber(std::string_view text, int& field);
// "N" or "N.PATH" (a data object of field N, 1 to 128); hasObject says which.
bool ParseFieldOrObject(std::string_view text, int& field, bool& hasObject, TlvPath& object);
// A decimal number of digits only, leading zeros ignored, at most 18 digits
// after them. Returns false for anything else.
bool ParseDecimal(std::string_view text, int64_t& value);

}  // namespace ui
