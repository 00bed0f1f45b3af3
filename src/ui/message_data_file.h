#pragma once

#include "ui/dialog_host.h"

// Message data files: one message in the wire form of the current
// controller, written and read through a file port exactly as the connection
// would carry it (length prefix included).

namespace ui {

// "&Save": the edit boxes into a file the operator chooses.
void SaveMessageFile(DialogHost& dialog);
// "&Read": the first message of a file into the edit boxes.
void ReadMessageFile(DialogHost& dialog);

}  // namespace ui
