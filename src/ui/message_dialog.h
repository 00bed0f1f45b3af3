#pragma once

#include <cstdint>

#include "ui/dialog_host.h"
#include "ui/exchange.h"

namespace ui {

// The message dialog's procedure: creates the rows and buttons, scrolls, and
// carries out Respond, Read, Save and Cancel on the exchange its context
// points to (a ui::Exchange, never null).
intptr_t MsgDlgProc(DialogHost& dialog, unsigned message, uintptr_t wParam, intptr_t lParam,
                    void* context);

// Runs the message dialog for the exchange through the host. Returns the
// dialog's end result, DIALOG_SUSPENDED, or -1 when it could not be created.
int RunMessageDialog(UiHost& host, Exchange& exchange);

}  // namespace ui
