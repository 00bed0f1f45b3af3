#pragma once

#include "app/peer_host.h"
#include "ui/dialog_host.h"

// Listens on the port, accepts one connection, shows every message received
// on it in the message dialog, and listens again when the connection ends.
// Returns when listening or accepting failed (after the message box and the
// error log), or, between messages, when a stop was requested: the process
// then ends with the exit code returned (app/exit_codes.h).
// With VELK_PEERS above 1, several connections are served at once instead
// (app/multi_peer_loop.h), with `peers` keeping the host's suspended answers.
int ServiceLoop(ui::UiHost& host, PeerHost& peers = DeskPeers());
