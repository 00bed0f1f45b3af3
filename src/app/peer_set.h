#pragma once

#include <cstdint>

#include "diag/message_fields.h"
#include "vksoc/port/connection_limit.h"

// Serves up to `limit` connections of one listening port at once, in the one
// thread: a wait over all of them together, each connection on a port of
// its own (its receive buffer and framing), its requests answered on it in
// the order they arrived. The answering is the caller's (the message dialog,
// or the bare echo of the benchmark).
//
// Costs stay with their connection:
//   - a connection is read only after its wait found it readable, once per
//     wait, so a peer that stops mid-message parks its own connection only;
//     a part of a prefixed record is given READ_TIMEOUT, as RecvMsg gives it;
//   - a request is taken and answered only once the connection can take a
//     response without waiting: a peer that never reads stops being served,
//     and its requests wait in its socket;
//   - a TLS connection's handshake is turned as its socket becomes ready,
//     bounded by HandshakeLimitMs() (vksoc/port/port_tls.h): a peer that
//     stalls in it fails alone; bytes its session holds decrypted are read
//     without a wait on the socket, which does not show them;
//   - a suspended answer holds its own connection, whose later requests
//     wait, until the answerer's wake time.
// A connection beyond the limit waits in the listen backlog until one ends.

enum class PeerAnswer {
    Done,       // answered (or dropped); the connection goes on
    Suspended,  // the answer waits for its wake time
    End,        // the connection must end; its record has been written
};

class PeerAnswerer {
  public:
    virtual ~PeerAnswerer() = default;
    // A whole message was taken on the port into the loop's MessageFields.
    virtual PeerAnswer Answer(int port) = 0;
    // When the port's suspended answer is due (steady-clock milliseconds).
    virtual int64_t WakeTime(int port) const = 0;
    virtual PeerAnswer Resume(int port) = 0;
    // The connection failed: the error state says why. Its port is closed
    // after the call.
    virtual void Failed(int port) = 0;
    // A connection was accepted on the port.
    virtual void Accepted(int /*port*/) {}
    // The connection is gone (failed, ended by request, or the loop stops).
    virtual void Gone(int port) = 0;
    // Accepting a connection failed: the error state says why. The loop
    // accepts again a little later.
    virtual void AcceptFailed() = 0;
};

// Each accepted connection's port is given its peer's name
// (vksoc/port/port_peer_name.h) for its records and dumps until it closes.
//
// listeningPort: an 'L' port that ListenForPeers prepared. Messages are
// taken into *message. Returns 0 when a stop was requested (every
// suspended answer is resumed once, its delay cut short, and every
// connection is closed then; the listening port is left to the caller), or
// -1 when waiting failed while no connection was open (the error recorded).
int ServePeers(int listeningPort, int limit, MessageFields* message, PeerAnswerer& answerer);
