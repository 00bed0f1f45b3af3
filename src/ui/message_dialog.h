#pragma once

#include <cstdint>

#include "ui/dialog_host.h"

namespace ui {

// The message dialog's procedure: creates the rows and buttons, scrolls, and
// carries out Respond, Read, Save and Cancel on the responder's state.
intptr_t MsgDlgProc(DialogHost& dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

}  // namespace ui
