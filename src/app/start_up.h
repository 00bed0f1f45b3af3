#pragma once

#include "ui/dialog_host.h"

// Loads the configuration, starts the sockets library, checks the controller
// and port tokens, in that order, filling the responder's state, and last
// that the process may open the files and sockets VELK_PEERS connections
// need (a VELK_PEERS that is not understood is left to the service loop to
// refuse). Returns EXIT_SERVED (0) when the service loop may start;
// otherwise the failure's message box has been shown and the process is to
// end with the exit code returned (app/exit_codes.h).
// The TLS variables are read after VELK_BIND (app/listener_tls.h): the
// context is left in responderState.tls.
// A null token is a token not given.
int StartUp(ui::UiHost& host, char* controllerToken, char* portToken);
