#pragma once

#include "platform/tls_contract.h"

// TLS ports: a listening port whose connections speak TLS, and a connected
// port that becomes a TLS client. A TLS port carries the same bytes as a
// plain one: RecvMsg, GetMsg, ReadPort and SendMsg work on it unchanged, and
// ClosePort ends the session (close_notify) before the socket.
//
// The handshake never waits inside one port: its turns are driven by the
// caller's wait on the port's socket (PortSocket), so one stalled peer holds
// nobody else; FinishHandshake is the waiting loop for a caller that serves
// one connection.

// Makes the connections that AcceptConn or AcceptPeer take from the
// listening port TLS connections made from `context` (null: plain again).
// The context stays the caller's and must outlive the port's connections.
void SetPortTlsServer(int listeningPort, plat::TlsServerContext* context);

// Whether the port's transport is a TLS session.
bool PortIsTls(int port);

// Decrypted bytes the port's TLS session holds: a read takes them without
// the socket being readable, and a wait on the socket does not show them.
// A caller that waits on the socket reads first when this is above 0.
int PortPendingBytes(int port);

// What the port's handshake waits for: plat::TLS_WANT_READ or
// plat::TLS_WANT_WRITE while it is not complete; 0 once it is, and for a
// plain port.
int PortHandshakeWant(int port);

// One turn of the handshake, without waiting: 0 once it is complete, 1 when
// it needs another turn (PortHandshakeWant tells after what), -1 after
// recording the failure with the TLS library's reason.
int ContinueHandshake(int port);

// The longest a handshake may take: READ_TIMEOUT seconds, or 10 s when
// READ_TIMEOUT is below 1 (no limit would let a silent peer hold the port).
int HandshakeLimitMs();

// Records a handshake that did not complete within limitMs.
void FailHandshakeTimeout(int limitMs);

// Turns and waits until the handshake is complete: 0, or -1 after recording
// why (it failed, it did not complete within limitMs, the wait failed, or a
// stop was requested).
int FinishHandshake(int port, int limitMs);

// Makes the connected socket port a TLS client of `context` and completes
// the handshake within limitMs. serverName: the name sent and verified (a
// DNS name or an address literal). Returns 0, or -1 after recording the
// error; the port stays open either way and ClosePort ends it.
int StartClientTls(int port, plat::TlsClientContext* context, const char* serverName, int limitMs);

// The protocol the port's handshake agreed ("TLSv1.3"); "" for a plain port.
const char* PortTlsProtocol(int port);
