#pragma once

// Several connections on one listening port at once. Unlike AcceptConn, the
// listening port ('L', PORT_LISTENING) keeps listening: each accepted
// connection gets a port of its own.

// Makes the listening port's accepts return at once and lets as many
// connections wait to be accepted as the system's listen queue holds
// (SOMAXCONN): connections beyond the ones served wait there, never refused
// or dropped while the queue has room. Returns 0, or -1 after recording the
// error.
int ListenForPeers(int port);

inline constexpr int NO_PEER_WAITING = -2;

// Takes one waiting connection into a new port: a free table entry with its
// own receive buffer, the listening port's format and length prefix, mode
// 'L' and state PORT_IDLE, its socket blocking. From a TLS listening port
// (port_tls.h) the connection's socket is non-blocking and its handshake is
// to come: the caller drives it (PortHandshakeWant, ContinueHandshake)
// before anything is read or sent. Returns the new port;
// NO_PEER_WAITING when nobody waits (nothing is recorded); -1 after
// recording the error (no free entry: the connection keeps waiting).
int AcceptPeer(int listeningPort);
