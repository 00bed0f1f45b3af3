#pragma once

// Waits for the one connection a listening port ('L', not yet accepted)
// serves, turns TCP keep-alive on for it (a peer that vanishes ends as a
// failed connection), closes the listening socket and makes the connection the port's
// handle (state PORT_IDLE, mode stays 'L'). To serve a further connection the
// caller closes the port and opens a new listening port. Returns 0, or -1
// after recording the error; the port then still listens.
// On a TLS listening port (port_tls.h) the handshake follows, bounded by
// HandshakeLimitMs(); when it fails or stalls, HANDSHAKE_FAILED after
// recording why: the connection was the port's and has failed, so the
// caller closes the port and listens again.
int AcceptConn(int port);

inline constexpr int HANDSHAKE_FAILED = -3;
