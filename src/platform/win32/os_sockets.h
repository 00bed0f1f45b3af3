#pragma once

// Windows Sockets: here the connection layer's vocabulary is the system's
// own (socket, bind, select, WSAGetLastError, ...), and every failure already
// carries its Windows Sockets number. This header adds the few helpers that
// every backend offers under the same names.
//
// Hazard: the system headers define many short macros. The window manager's
// part (WM_*, IDOK, WS_*, SB_*) and the drawing part are kept out, because
// the dialog logic names the same constants in its own namespace; "near" and
// "far", empty macros of the 16-bit era, are undefined again, because they
// are ordinary words in the callers.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef NOUSER
#define NOUSER
#endif
#ifndef NOGDI
#define NOGDI
#endif
#include <winsock2.h>
#include <ws2tcpip.h>  // socklen_t
#undef near
#undef far

#include "platform/keep_alive.h"
#include "platform/wsa_codes.h"

// ioctlsocket with the command as the callers spell it: FIONBIO is an
// unsigned constant of the headers, the system's parameter a long. The
// conversion is the one the system's callers always make; here it is said
// once, out loud.
inline int ioctlsocket(SOCKET s, unsigned long command, u_long* argument) {
    return ::ioctlsocket(s, static_cast<long>(command), argument);
}

namespace plat {

// recv and send as the system has them: the byte count, or SOCKET_ERROR.
// A send to a peer that has gone fails with WSAECONNRESET; Windows has no
// signal to suppress.
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);

// The select of the connection layer on one socket: waits at most
// timeoutSeconds (any negative value: no limit). *readable is set when data,
// the end of the stream or a reset is pending (the following recv then tells
// which), *exceptional when urgent data is pending. Returns 0 (both false on
// a time-out) or SOCKET_ERROR.
int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional);

// One socket of a wait over several: what is asked, and what was found.
struct WaitEntry {
    SOCKET socket;
    bool wantRead;     // readable and exceptional are asked
    bool wantWrite;    // writable is asked
    bool readable;     // as WaitSocket's
    bool exceptional;  // as WaitSocket's
    bool writable;     // a send would not wait, or the connection failed and
                       // the following send says how
};
inline constexpr int MAX_WAIT_SOCKETS = FD_SETSIZE;

// Waits on up to MAX_WAIT_SOCKETS sockets together, at most timeoutMs
// milliseconds (any negative value: no limit), until one of them is ready
// for what is asked of it; an entry that asks nothing is passed over, and a
// wait that asks nothing of any entry just sleeps. Returns how many entries
// are ready (0 on a time-out), or SOCKET_ERROR when the wait itself failed
// (too many entries: WSAEINVAL).
int WaitSockets(WaitEntry* entries, int count, int timeoutMs);

// Sends what the system takes at once, without waiting: the count taken,
// 0 when its send buffer is full, or SOCKET_ERROR. Never raises SIGPIPE.
int SendNow(SOCKET s, const char* buffer, int length);

// Waits at most timeoutSeconds (negative: no limit) until s can take more
// bytes or has an error pending (the next send then reports it). Returns 1,
// 0 on a time-out, or SOCKET_ERROR.
int WaitWritable(SOCKET s, int timeoutSeconds);

// Turns TCP keep-alive on with the times of platform/keep_alive.h through
// the system's own keep-alive control. Returns 0, or SOCKET_ERROR
// (WSAGetLastError tells why).
int SetKeepAlive(SOCKET s);

// The local port a socket is bound to, or -1 (listeners on port 0 use it to
// learn the port the system chose).
int SocketLocalPort(SOCKET s);

}  // namespace plat
