#pragma once

// Releases the receive buffer, ends a TLS session (close_notify where the
// handshake completed and nothing failed), closes the socket or file and
// frees the entry.
// Always 0; the result of the close is not examined. Only an open port may be
// given.
int ClosePort(int port);
