#pragma once

// The sockets every backend offers under the same names and contracts, on
// top of the system's own calls (socket, bind, accept, closesocket, ...,
// declared by the backend's os_sockets.h). Every failure is reported through
// WSAGetLastError() as a Windows Sockets number (platform/wsa_codes.h), so
// logs read the same on every platform. Include "os_sockets.h", which ends
// by including this header.

#include "os_sockets.h"
#include "platform/keep_alive.h"
#include "platform/wsa_codes.h"

namespace plat {

// recv and send with the Windows contracts: the byte count, or SOCKET_ERROR.
// On POSIX an interrupted call is repeated, except that an interrupted recv
// gives up when a stop is requested (stop_request.h), as WaitSocket does.
// send never raises SIGPIPE: a send to a peer that has gone fails with
// WSAECONNRESET instead of ending the process.
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);

// The select of the connection layer on one socket. Waits at most
// timeoutSeconds (any negative value: no limit). *readable is set when data,
// the end of the stream or an error (a reset) is pending (the following recv
// then tells which), *exceptional when urgent data is pending. Returns 0
// (both false on a time-out) or SOCKET_ERROR; on POSIX also SOCKET_ERROR
// (WSAEINTR) when a signal that requested a stop interrupted the wait.
int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional);

// One socket of a wait over several: what is asked, and what was found.
struct WaitEntry {
    SOCKET socket;
    bool wantRead;     // readable and exceptional are asked
    bool wantWrite;    // writable is asked
    bool readable;     // as WaitSocket's; on POSIX also set for a descriptor
                       // that is not open, so that the following recv reports
                       // it (Windows fails the wait instead: WSAENOTSOCK)
    bool exceptional;  // as WaitSocket's
    bool writable;     // a send of a message's size would not wait, or the
                       // connection failed and the following send says how
};

// The most sockets one WaitSockets takes: the responder's connections and its
// listener, or velkctl's connections. Windows keeps them in fd_set arrays of
// FD_SETSIZE entries (64 unless defined before the system headers), so the
// same value holds on every platform; the Windows backend checks it.
inline constexpr int MAX_WAIT_SOCKETS = 64;

// Waits on up to MAX_WAIT_SOCKETS sockets together, at most timeoutMs
// milliseconds (any negative value: no limit), until one of them is ready
// for what is asked of it; an entry that asks nothing is passed over, and a
// wait that asks nothing of any entry just sleeps. Returns how many entries
// are ready: 0 on a time-out, and on POSIX also when a signal interrupted the
// wait, so that the caller can look at its stop flag (on Windows a stop
// arrives on another thread and the wait runs to its time-out). SOCKET_ERROR
// when the wait itself failed (too many entries: WSAEINVAL).
int WaitSockets(WaitEntry* entries, int count, int timeoutMs);

// Sends what the system takes at once, without waiting: the count taken,
// 0 when its send buffer is full, or SOCKET_ERROR. Never raises SIGPIPE.
int SendNow(SOCKET s, const char* buffer, int length);

// Waits at most timeoutSeconds (negative: no limit) until s can take more
// bytes or has an error pending (the next send then reports it). Returns 1,
// 0 on a time-out, or SOCKET_ERROR.
int WaitWritable(SOCKET s, int timeoutSeconds);

// A connect that gives up after timeoutMs milliseconds (a peer whose listen
// queue is full answers nothing, and a blocking connect would wait for the
// system's own limit of about two minutes). Returns 0 with s connected and
// blocking again, or SOCKET_ERROR: WSAGetLastError() tells why, WSAETIMEDOUT
// when the time ran out.
int ConnectWithin(SOCKET s, const sockaddr* address, int length, int timeoutMs);

// The options of every accepted and connected socket:
// - TCP keep-alive with the times of platform/keep_alive.h (on Windows
//   through the system's own keep-alive control), so that a peer that
//   vanishes ends as a failed connection;
// - TCP_NODELAY: every message is one write and goes on the wire at once. A
//   small write after an unacknowledged one is otherwise held until the
//   peer's acknowledgement, which the peer delays (about 40 ms): a second
//   answer to one request would arrive that much late.
// Returns 0, or SOCKET_ERROR (WSAGetLastError tells why).
int SetConnectionOptions(SOCKET s);

// The local port a socket is bound to, or -1 (listeners on port 0 use it to
// learn the port the system chose).
int SocketLocalPort(SOCKET s);

}  // namespace plat
