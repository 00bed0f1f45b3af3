#pragma once

// The Windows Sockets 1.1 vocabulary on POSIX sockets. The connection layer
// is written in that vocabulary; on Windows the names are the system's own.
// Every failure is reported through WSAGetLastError() as a Windows Sockets
// number (platform/wsa_codes.h), so logs read the same on every platform.

#include <arpa/inet.h>   // inet_addr, htons
#include <netinet/in.h>  // sockaddr_in, INADDR_ANY, INADDR_NONE, IPPROTO_TCP
#include <sys/ioctl.h>   // FIONBIO
#include <sys/socket.h>  // socket, setsockopt, bind, listen, accept, connect, MSG_PEEK

#include "platform/keep_alive.h"
#include "platform/wsa_codes.h"

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

struct WSADATA {
    unsigned short wVersion;
};

// Nothing to start on POSIX: always 0.
int WSAStartup(unsigned short versionRequested, WSADATA* data);
// The Windows Sockets number of the last failed socket call.
int WSAGetLastError();
int closesocket(SOCKET s);
// FIONBIO only: *argument non-zero makes the socket non-blocking.
int ioctlsocket(SOCKET s, unsigned long command, unsigned long* argument);

namespace plat {

// recv and send with the Windows contracts: the byte count, or SOCKET_ERROR.
// An interrupted call is repeated; an interrupted recv gives up instead when
// a stop is requested (stop_request.h), as WaitSocket does. send never raises SIGPIPE: a send to a
// peer that has gone fails with WSAECONNRESET instead of ending the process.
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);

// The select of the connection layer on one socket, built on poll. Waits at
// most timeoutSeconds (any negative value: no limit). *readable is set when
// data, the end of the stream or an error is pending (the following recv
// then tells which), *exceptional when urgent data is pending. Returns 0
// (both false on a time-out) or SOCKET_ERROR.
int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional);

// One socket of a wait over several: what is asked, and what was found.
struct WaitEntry {
    SOCKET socket;
    bool wantRead;     // readable and exceptional are asked
    bool wantWrite;    // writable is asked
    bool readable;     // as WaitSocket's; also set for a descriptor that is
                       // not open, so that the following recv reports it
    bool exceptional;  // as WaitSocket's
    bool writable;     // a send of a message's size would not wait, or the
                       // connection failed and the following send says how
};
inline constexpr int MAX_WAIT_SOCKETS = 64;

// Waits on up to MAX_WAIT_SOCKETS sockets together, at most timeoutMs
// milliseconds (any negative value: no limit), until one of them is ready
// for what is asked of it; an entry that asks nothing is passed over, and a
// wait that asks nothing of any entry just sleeps. Returns how many entries
// are ready; 0 on a time-out, and also when a signal interrupted the wait,
// so that the caller can look at its stop flag. SOCKET_ERROR when the wait
// itself failed (too many entries: WSAEINVAL).
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

// Turns TCP keep-alive on with the times of platform/keep_alive.h. Returns
// 0, or SOCKET_ERROR (WSAGetLastError tells why).
int SetKeepAlive(SOCKET s);

// The local port a socket is bound to, or -1 (listeners on port 0 use it to
// learn the port the system chose).
int SocketLocalPort(SOCKET s);

}  // namespace plat
