#pragma once

#include <cstdint>

#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_path.h"

// Changes to a decoded field that keep every other object where it was:
// what a host that echoes chip data, or adds to it, must do. Encode the
// table afterwards (EncodeTlv) to get the field's new bytes.

enum class TlvEdit : uint8_t {
    Done,
    Malformed,  // the table carries a finding: its raw rest cannot be kept in place
    Full,       // the objects would pass TLV_MAX_OBJECTS or TLV_MAX_DEPTH
    BadValue,   // the value of a constructed object is not whole BER-TLV
    Absent,     // nothing to remove
    NoRoom,     // the field would be longer than its room
};

// The text of an outcome, e.g. "the field is malformed"; "" for Done.
const char* TlvEditText(TlvEdit edit);

// Gives the object the path names the `length` bytes at `value`, in place
// when the table has it; otherwise appends it as the last child of the
// deepest object of the path that exists (or last on the top level), with
// any constructed objects of the path between them. The value of a
// constructed object is decoded into its children. The table then points
// into `value`, which must outlive its use.
TlvEdit SetTlvObject(TlvTable* table, const TlvPath& path, const unsigned char* value,
                     int32_t length);

// Removes the object the path names, with its children.
TlvEdit RemoveTlvObject(TlvTable* table, const TlvPath& path);
