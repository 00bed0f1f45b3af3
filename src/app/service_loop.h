#pragma once

#include "ui/dialog_host.h"

// Listens on the port, accepts one connection, shows every message received
// on it in the message dialog, and listens again when the connection ends.
// Returns when listening or accepting failed (after the message box and the
// error log), or, between messages, when a stop was requested: the process
// then ends.
void ServiceLoop(ui::UiHost& host);
