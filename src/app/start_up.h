#pragma once

#include "ui/dialog_host.h"

// Loads the configuration, starts the sockets library and checks the
// controller and port tokens, in that order, filling the responder's state.
// Returns 0 when the service loop may start; otherwise the failure's message
// box has been shown and the process is to end (with exit code 0).
// A null token is a token not given.
int StartUp(ui::UiHost& host, char* controllerToken, char* portToken);
