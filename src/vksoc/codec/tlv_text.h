#pragma once

#include <cstdint>
#include <string_view>

#include "vksoc/codec/tlv_edit.h"
#include "vksoc/codec/tlv_path.h"

// One data object of a chip data field whose value form (hexadecimal) is at
// hand, as the operator script reads and changes it: "${55.9F36}",
// "on 55.9F27=80", "set 55.91 HEX", "clear 55.71". Nothing is allocated.

// Writes the value form of the object `path` names into out (room
// characters, no NUL) and returns its length; -1 when the field holds no
// such object (objects before a malformed part are found), is not
// hexadecimal, or the value does not fit.
int32_t TlvObjectText(std::string_view fieldHex, const TlvPath& path, char* out, int32_t room);

// Gives the object the path names the value `valueHex` (SetTlvObject), or
// removes it when valueHex is null (RemoveTlvObject), and writes the field's
// new value form into out (room characters, no NUL), its length in
// *length. Done, or why not (the field then stays as it was): Malformed for
// a field that is not whole BER-TLV in hexadecimal, BadValue for a value that
// is not hexadecimal, NoRoom when the field would not fit in room.
TlvEdit EditTlvText(std::string_view fieldHex, const TlvPath& path,
                    const std::string_view* valueHex, char* out, int32_t room, int32_t* length);
