#pragma once

#include "diag/error_state.h"

// What a failed socket call's Windows Sockets number means for the
// connection layer: the error code it is recorded with, the fault it names
// (which the caller's text says), and whether the connection is gone.
//
// Each call tells apart only the numbers its own failure table names: bind
// names an address in use, a send names neither a time-out nor a full
// descriptor table. A number the call does not tell apart is an internal
// error of that call (ERR_INTERNAL, SocketFault::Other), so the same number
// may give different codes on different calls: WSAETIMEDOUT is
// ERR_CONNECTION on a receive or a connect and ERR_INTERNAL on a send. A
// number that the call tells apart means the same on every call. Whether the
// connection is lost depends on the number alone: a connection that timed
// out, was reset or aborted is gone, whichever call found out.

// The socket call that failed.
enum class SocketCall {
    Create,   // socket
    Bind,     // bind
    Listen,   // listen
    Connect,  // connect
    Accept,   // accept
    Receive,  // recv, also the probe of an idle connection
    Send,     // send, and the wait for room to send
    Wait,     // select: every failure is internal
};

// The faults a call may tell apart.
enum class SocketFault {
    Other,               // not told apart by this call
    NoResources,         // WSAEMFILE, WSAENOBUFS
    AddressInUse,        // WSAEADDRINUSE
    AddressUnavailable,  // WSAEADDRNOTAVAIL
    WrongProtocol,       // WSAEPROTOTYPE: another program's protocol answered
    NetworkDown,         // WSAENETDOWN
    NetworkUnreachable,  // WSAENETUNREACH
    HostUnreachable,     // WSAEHOSTUNREACH
    Refused,             // WSAECONNREFUSED: no program at the address
    Reset,               // WSAECONNRESET, WSAENETRESET
    Aborted,             // WSAECONNABORTED
    TimedOut,            // WSAETIMEDOUT
};

struct SocketError {
    ErrorCode code;       // ERR_INTERNAL, ERR_CONNECTION, ERR_INVALID or ERR_RESOURCE
    SocketFault fault;    // Other when the call does not tell the number apart
    bool connectionLost;  // the connection is gone
};

SocketError ErrorCodeOfSocketError(SocketCall call, int wsaNumber);
