#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vksoc/codec/tlv_path.h"

// The text of a script's "set", "read" and "save" lines, with live values
// replaced when the line runs:
//
//   ${N}              the current text of field N's box
//   ${N:FROM:COUNT}   COUNT characters of it from position FROM (0-based),
//                     cut at its end
//   ${N.PATH}         the value in hexadecimal of one data object of chip
//                     data field N (55.9F36, 55.77.9F27); empty when absent;
//                     ${N.PATH:FROM:COUNT} a part of it
//   ${now:FORMAT}     local time, strftime's conversions (%m%d%H%M%S ...)
//   ${utc:FORMAT}     the same in UTC
//   ${rand:K}         K random decimal digits, 1 <= K <= 18
//   ${seq:K}          this message's number since the responder started,
//                     its last K digits, zero-padded (1 <= K <= 18)
//   ${findings}       the text of the request's first finding (its
//                     controller's types and rules, the script's expects);
//                     empty when it has none
//   $$                a dollar sign
//
// A "$" followed by anything else is itself. Forms are checked when the
// script loads; expanding never allocates.

namespace ui {

struct ValuePart {
    enum Kind { Literal, Field, Now, Utc, Rand, Seq, Findings };
    Kind kind = Literal;
    std::string text;  // Literal: the characters; Now, Utc: the format
    int field = 0;     // Field
    int from = 0;      // Field: first position
    int count = -1;    // Field: characters, -1 for all
    int digits = 0;    // Rand, Seq
    bool hasObject = false;
    TlvPath object{};  // Field: the data object of the field, when hasObject
};

struct ScriptValue {
    std::vector<ValuePart> parts;
    // True when the text holds no live value: it reads the same every time.
    bool plain = true;
    std::string written;  // the text as written in the script
};

// Splits text into its parts; false with the reason for an unknown or
// ill-formed "${...}".
bool ParseScriptValue(const std::string& text, ScriptValue& value, std::string& why);

// What a value reads while a message is answered.
class ValueSource {
  public:
    // The current text of field N's box; empty when there is no such box.
    virtual std::string_view FieldText(int field) = 0;
    // This message's number since the responder started, from 1.
    virtual uint64_t Sequence() = 0;
    // The text of the request's first finding; empty when it has none.
    virtual std::string_view FirstFinding() { return {}; }

  protected:
    ~ValueSource() = default;
};

// How the text of a box (${N}, ${N:FROM:COUNT}) goes into the value.
enum class BoxText {
    AsItIs,
    // The box's text is the peer's: in a file's path each of its characters
    // that could lead out of a folder, name a drive, a device or a stream, or
    // end the path (everything but ASCII letters, digits, '-', '_', and '.'
    // after the first character) is written as '_'.
    SafeInAPath,
};

// Writes the value and a NUL into out (room bytes, room >= 1). Returns the
// length of the whole value; when it is room or more, out holds the first
// room - 1 characters.
size_t ExpandScriptValue(const ScriptValue& value, ValueSource& source, char* out, size_t room,
                         BoxText boxes = BoxText::AsItIs);

}  // namespace ui
