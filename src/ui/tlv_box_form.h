#pragma once

#include "diag/message_fields.h"
#include "ui/dialog_host.h"

// Chip data fields (FIELD_FORMAT TLV) whose slots hold the wire bytes are
// shown and typed in their boxes as hexadecimal (vksoc/codec/tlv_field.h):
// the bytes become hexadecimal where values go into boxes and the boxes'
// hexadecimal becomes bytes again where they are read back. Every other
// field, and every controller without such a field, passes unchanged.

namespace ui {

// The input limit of field n's box: twice MAX_LEN for such a field.
int BoxLimit(int n, int maxLen);

// A copy of `message` in which each such field points to its hexadecimal
// (kept until the next call). Returns `message` itself when there is none.
const MessageFields& InBoxForm(const MessageFields& message);

// Gives a chip data box its decoded data objects as its note (SetItemTip),
// from the box's text (hexadecimal); nothing for any other box.
void ShowChipDataTip(DialogHost& dialog, int editId, const char* text);

// Whether field n's box holds such hexadecimal.
bool BoxHoldsTlvHex(int n);

// Turns the hexadecimal text of such a box, read back into `text` (length
// characters), into its bytes in place. Returns their count, or -1 when the
// text is not whole bytes of hexadecimal.
int BoxTextToBytes(char* text, int length);

}  // namespace ui
