#pragma once

#include "diag/message_fields.h"
#include "ui/dialog_host.h"
#include "ui/exchange.h"

// Message data files: one message in the wire form of the current
// controller, written and read through a file port exactly as the connection
// would carry it (length prefix included).

namespace ui {

// "&Save": the edit boxes, collected into message, into a file the operator
// chooses. A failure is told in a box.
FileOutcome SaveMessageFile(DialogHost& dialog, MessageFields& message);
// "&Read": the first message of a file into message and the edit boxes. A
// failure is told in a box; message may then be partly overwritten.
FileOutcome ReadMessageFile(DialogHost& dialog, MessageFields& message);

}  // namespace ui
