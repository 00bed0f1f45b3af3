#pragma once

#include "vksoc/port/port_entry.h"

// The bytes of a socket port go through its transport: the socket itself, or
// the TLS session over it. The port layer's reads, writes and closes ask
// here; framing, codecs and everything above see the same bytes either way.

// What a transport call returns besides a byte count.
inline constexpr int TRANSPORT_FAILED = -1;   // recorded by the caller from *wsa or TLS text
inline constexpr int TRANSPORT_NOTHING = -2;  // nothing to read yet / no room: wait and retry

// A failed transport call: the Windows Sockets number of a socket failure,
// or 0 and the TLS library's reason.
struct TransportFault {
    int wsa = 0;
    const char* tls = nullptr;
};

// One read after the socket was found readable (or the session holds
// bytes): the count (> 0), 0 at the end of the stream (close_notify on a
// TLS port), TRANSPORT_NOTHING when a TLS record is not whole yet, or
// TRANSPORT_FAILED with *fault.
int TransportReceive(const PortEntry& entry, char* buffer, int length, TransportFault* fault);

// One send that never waits: the count taken, TRANSPORT_NOTHING when the
// socket's buffer is full (call again with the same bytes once it is
// writable), or TRANSPORT_FAILED with *fault.
int TransportSend(const PortEntry& entry, const char* buffer, int length, TransportFault* fault);

// Decrypted bytes the TLS session holds: a read takes them although a wait
// on the socket sees nothing. 0 for a plain socket.
int TransportPending(const PortEntry& entry);

// Ends the TLS session (close_notify where it may be sent) and closes the
// socket.
void CloseTransport(PortEntry& entry);

// A TLS socket never blocks: every call returns at once and the caller
// waits. Returns 0, or -1 after recording the error.
int MakeTransportNonBlocking(SOCKET s);

// Puts a server session from `context` on the accepted connection, its
// socket made non-blocking and its handshake to come (handshakeWant
// TLS_WANT_READ). Returns 0, or -1 after recording the error.
int StartServerTls(PortEntry& entry, plat::TlsServerContext* context);
