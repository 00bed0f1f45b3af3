#pragma once

#include "diag/message_fields.h"
#include "ui/dialog_host.h"

namespace ui {

// Rebuilds message from the edit boxes, texts packed back to
// back into the format's text area. Returns 1, or 0 when an ISO 8583 message
// has no message identifier, or a box holds a value form its field cannot
// take (a non-digit in a BCD value, an odd count of hexadecimal digits, ...),
// after telling the operator which field and why; the message then stays
// cleared.
int CollectFields(DialogHost& dialog, MessageFields& message);
// Writes the message's values into the edit boxes of every row; an absent
// field empties its box. Returns 1.
int ShowFields(DialogHost& dialog, const MessageFields& message);

}  // namespace ui
