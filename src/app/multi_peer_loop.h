#pragma once

#include "app/peer_host.h"
#include "ui/dialog_host.h"

// The service loop for several connections at once (limit 2 to 40): the
// listening port stays open, each message is shown in the message dialog
// with an exchange naming the connection it came on and its peer, and each
// connection that ends gets its own record in the error log and frees its
// port. Each connection's start and end is one line on standard error
// ("peer 127.0.0.1:54321 connected", "... ended"); its records and dumps
// name the peer. A response waits at most a second in all for its peer to
// take bytes, not HOST_TIMEOUT: a peer that does not read loses its
// connection instead of holding the others. A connection's end is told by a box only where
// boxes wait for nobody (the operator script's lines): at the desk a box would hold every other
// connection until it is dismissed.
// A limit of 0 (VELK_PEERS not understood) is refused with a box. Returns
// when a stop is requested, or when listening or waiting failed (after the
// box and the error log): the process then ends with the exit code returned
// (app/exit_codes.h).
int ServeManyPeers(ui::UiHost& host, int limit, PeerHost& peers);
